// SPDX-License-Identifier: MIT
// Proves the audio callback never touches the heap. This replaces the global
// allocation functions, so it must be an executable of its own.
#include "accordion/AccordionEngine.h"
#include "support/Doubles.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <vector>

namespace {

thread_local bool counting = false;
thread_local long allocations = 0;

void* allocate(std::size_t size) {
    if (counting) {
        ++allocations;
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

void* allocateAligned(std::size_t size, std::align_val_t alignment) {
    if (counting) {
        ++allocations;
    }
    const auto align = static_cast<std::size_t>(alignment);
    const std::size_t rounded = (size + align - 1) / align * align;
    if (void* p = std::aligned_alloc(align, rounded == 0 ? align : rounded)) {
        return p;
    }
    throw std::bad_alloc();
}

} // namespace

void* operator new(std::size_t size) {
    return allocate(size);
}
void* operator new[](std::size_t size) {
    return allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new(std::size_t size, std::align_val_t a) {
    return allocateAligned(size, a);
}
void* operator new[](std::size_t size, std::align_val_t a) {
    return allocateAligned(size, a);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}

using namespace orvane;
using namespace orvane::test;

TEST_CASE("the audio callback allocates nothing while the lid moves, reverses and shakes") {
    FakeOutput output;
    ManualScheduler scheduler;
    AccordionEngine engine({output, scheduler, scheduler.clock()});
    engine.setEnabled(true, 0.8);

    std::vector<float> buffer(2 * 512);
    double angle = 120, t = 0;
    int callbacks = 0;
    // Four seconds: closing and opening through every zone, reversing often.
    for (int step = 0; step < 480; ++step) {
        const double speed = (step / 20) % 2 == 0 ? -70.0 : 85.0;
        angle = std::clamp(angle + speed / 120, 10.0, 130.0);
        t += 1.0 / 120;
        scheduler.advanceTo(t);
        engine.update(angle, speed, t);
        counting = true;
        callbacks += output.pullInto(buffer.data(), 400) ? 1 : 0;
        counting = false;
    }
    CHECK(engine.running());
    CHECK(callbacks > 400);
    CHECK(allocations == 0);

    SUBCASE("the counter sees an allocation when there is one") {
        counting = true;
        auto* probe = new std::vector<float>(16);
        counting = false;
        delete probe;
        CHECK(allocations >= 1);
        allocations = 0;
    }
}
