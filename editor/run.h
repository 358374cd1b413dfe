// One run over every map loaded on the current VMR.
#pragma once

namespace kelvane {

// The body of Kelvane::execute(). Relies on startPlugin() having returned
// true. False only when no option is selected or the overlay flags cannot be
// allocated; every map is then left as it was.
bool runEditor();

} // namespace kelvane
