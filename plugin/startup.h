// The checks made before a run.
#pragma once

#include <cstdint>

namespace kelvane {

// Lexicographic, as signed integers; equal triples pass.
bool isVersionAtLeast(std::int32_t a1, std::int32_t a2, std::int32_t a3, std::int32_t b1, std::int32_t b2,
                      std::int32_t b3);

// The body of Kelvane::initPlugin(): binds the host afresh, refuses hosts
// older than 3.0.0, announces the run and refuses unless the current document
// is a VMR with maps on it. Every refusal the user can act on is shown in the
// host's message box.
bool startPlugin();

} // namespace kelvane
