// The start-up piece that an MSVC-ABI module or program needs when it is
// linked against the Universal C runtime alone (see runtime.cpp).
#pragma once

// Initialises the stack cookie and runs the C++ dynamic initialisers. Called
// once, by the image's entry point, before anything else of the image runs.
void kelvaneRuntimeStart();
