// The checks made before a run.
#pragma once

#include <cstdint>

namespace kelvane {

// Lexicographic, as signed integers; equal triples pass.
bool isVersionAtLeast(std::int32_t a1, std::int32_t a2, std::int32_t a3, std::int32_t b1, std::int32_t b2,
                      std::int32_t b3);

// The body of Kelvane::initPlugin(): binds the host afresh, refuses hosts
// older than 3.0.0 or lacking a function the plugin calls, announces the run
// and refuses unless the current document is a VMR with maps on it. Without
// the host module or its version function it refuses without a word, having
// nothing to speak through; every other refusal goes to the host's message box
// (docs/design.md, "Refusals").
bool startPlugin();

} // namespace kelvane
