#include "failing_new.h"

#include <stdlib.h>

#include <atomic>
#include <new>

namespace {

std::atomic<long> Countdown{0};  // 0: none fails
std::atomic<bool> Failed{false};

bool ThisOneFails() {
    if (Countdown.load(std::memory_order_relaxed) == 0) return false;
    if (Countdown.fetch_sub(1) != 1) return false;
    Failed = true;
    return true;
}

void* Allocate(size_t size) {
    if (ThisOneFails()) return nullptr;
    return malloc(size == 0 ? 1 : size);
}

void* AllocateOrThrow(size_t size) {
    void* block = Allocate(size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

}  // namespace

void FailAllocation(long n) {
    Failed = false;
    Countdown = n;
}

bool AllocationFailed() { return Failed; }

void StopFailingAllocations() { Countdown = 0; }

void* operator new(size_t size) { return AllocateOrThrow(size); }
void* operator new[](size_t size) { return AllocateOrThrow(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* block) noexcept { free(block); }
void operator delete[](void* block) noexcept { free(block); }
void operator delete(void* block, size_t) noexcept { free(block); }
void operator delete[](void* block, size_t) noexcept { free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { free(block); }
