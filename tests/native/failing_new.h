#pragma once

// This test binary's operator new, which can be made to fail as a process
// out of memory does: FailAllocation(n) makes the n-th allocation from then
// on, on any thread, throw std::bad_alloc (or give null, for the nothrow
// forms). malloc is left alone.
void FailAllocation(long n);
// Whether the chosen allocation came, and failed, since FailAllocation.
bool AllocationFailed();
void StopFailingAllocations();
