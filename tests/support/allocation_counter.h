// Counts calls of the global allocation functions while switched on, and can
// make nothrow array allocations fail. The replacement functions are in
// allocation_counter.cpp; a program that links it has them for all its code.
#pragma once

namespace testing_support {

void startCountingAllocations();
// Stops counting and returns how many allocations were made since the start.
int stopCountingAllocations();
// While counting: every nothrow array allocation returns null.
void failNothrowArrayAllocations(bool fail);

} // namespace testing_support
