// Counts calls of the global allocation functions while switched on, and can
// make nothrow array allocations, or throwing single ones, fail. The replacement functions are in
// allocation_counter.cpp; a program that links it has them for all its code.
#pragma once

namespace testing_support {

void startCountingAllocations();
// Stops counting and returns how many allocations were made since the start.
int stopCountingAllocations();
// While counting: every nothrow array allocation returns null.
void failNothrowArrayAllocations(bool fail);
// While counting: every throwing (non-array) allocation throws std::bad_alloc.
void failThrowingAllocations(bool fail);

} // namespace testing_support
