// Helpers shared by the store tests: a fake host buffer suite that can refuse
// allocations, an image record that releases itself, and whole-pixel reads.
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>
#include <set>

#include <gtest/gtest.h>

#include "PIFilter.h"
#include "store/HostUtil.h"
#include "store/ImageStore.h"

// A buffer suite that serves `allowed` allocations from the C heap, then refuses, and
// counts what is still outstanding. Installing it makes it the current call's suite.
class FakeBufferHost {
public:
    explicit FakeBufferHost(int allowed) {
        instance = this;
        allowedLeft = allowed;
        procs.bufferProcsVersion = kCurrentBufferProcsVersion;
        procs.numBufferProcs = kCurrentBufferProcsCount;
        procs.allocateProc = [](int32_t size, BufferID* id) -> OSErr {
            if (instance->allowedLeft <= 0) return memFullErr;
            --instance->allowedLeft;
            *id = std::calloc(1, std::size_t(size));
            instance->outstanding.insert(*id);
            return noErr;
        };
        procs.lockProc = [](BufferID id, Boolean) -> Ptr { return static_cast<Ptr>(id); };
        procs.unlockProc = [](BufferID) {};
        procs.freeProc = [](BufferID id) {
            instance->outstanding.erase(id);
            std::free(id);
        };
        procs.spaceProc = []() -> int32_t { return 1 << 30; };
        record.bufferProcs = &procs;
        previous = Current().filterRecord;
        Current().filterRecord = &record;
    }
    ~FakeBufferHost() {
        Current().filterRecord = previous;
        instance = nullptr;
    }
    std::size_t Outstanding() const { return outstanding.size(); }
    bool Owns(BufferID id) const { return outstanding.count(id) != 0; }

private:
    static inline FakeBufferHost* instance = nullptr;
    int allowedLeft = 0;
    std::set<BufferID> outstanding;
    BufferProcs procs{};
    FilterRecord record{};
    FilterRecord* previous = nullptr;
};

// An initialised image record released at scope exit; given a size and kind it is
// created at once, and a failed creation fails the test.
struct ScopedImage {
    ImageStore image;
    ScopedImage() { InitialiseImage(&image, nullptr); }
    ScopedImage(int32_t width, int32_t height, PixelKind kind) : ScopedImage() { Create(width, height, kind); }
    void Create(int32_t width, int32_t height, PixelKind kind) {
        EXPECT_TRUE(CreateImage(&image, width, height, kind, 0)) << width << " x " << height << " kind " << kind;
    }
    ~ScopedImage() { ReleaseImage(&image); }
    ImageStore* operator->() { return &image; }
    ImageStore* get() { return &image; }
};

// A pixel as an array, so one assertion compares (and prints) all four channels.
using Px = std::array<int32_t, 4>;
inline Px AsPx(const IntRGBA& p) { return {p.red, p.green, p.blue, p.alpha}; }
inline Px PixelAt(const ImageStore* image, int32_t x, int32_t y, int level = 0) {
    IntRGBA p{};
    getRGBA(x, y, image, level, p);
    return AsPx(p);
}
