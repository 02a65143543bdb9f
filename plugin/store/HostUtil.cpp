// Host memory wrappers with platform-heap fallbacks.
#include "store/HostUtil.h"

#include <algorithm>
#include <cstring>

#include "platform/Heap.h"

CurrentCall& Current() {
    static CurrentCall current;
    return current;
}

void SetResult(OSErr code) {
    if (Current().result) *Current().result = code;
}

OSErr CurrentResult() { return Current().result ? *Current().result : OSErr(noErr); }

namespace {

// The fallback handle: a small block holding the data address and the tag "OTOF".
struct FallbackHandle {
    void* data;
    char tag[4];
};
static_assert(sizeof(void*) + 4 <= 12, "the fallback handle block is 12 bytes on this platform");

OSErr handleFallbackError = noErr;

const FilterRecord* Record() { return Current().filterRecord; }

FallbackHandle* AsFallback(Handle handle) { return reinterpret_cast<FallbackHandle*>(handle); }

}  // namespace

bool HandleSuiteUsable(const FilterRecord* record) {
    const HandleProcs* procs = record ? record->handleProcs : nullptr;
    return procs && procs->handleProcsVersion == kCurrentHandleProcsVersion && procs->numHandleProcs >= 8 &&
           procs->newProc && procs->disposeProc && procs->getSizeProc && procs->setSizeProc;
}

Handle NewHandle(int32_t size) {
    if (HandleSuiteUsable(Record())) return Record()->handleProcs->newProc(size);
    auto* block = static_cast<FallbackHandle*>(platform::HeapAllocate(sizeof(FallbackHandle)));
    void* data = block ? platform::HeapAllocate(std::size_t(std::max(size, 0))) : nullptr;
    if (!data) {
        platform::HeapFree(block);
        handleFallbackError = memFullErr;
        return nullptr;
    }
    block->data = data;
    std::memcpy(block->tag, "OTOF", 4);
    handleFallbackError = noErr;
    return reinterpret_cast<Handle>(block);
}

void DisposeHandle(Handle handle) {
    if (!handle) return;
    if (HandleSuiteUsable(Record())) {
        Record()->handleProcs->disposeProc(handle);
        return;
    }
    platform::HeapFree(AsFallback(handle)->data);
    platform::HeapFree(AsFallback(handle));
}

Ptr LockHandle(Handle handle, bool moveHigh) {
    if (!handle) return nullptr;
    if (HandleSuiteUsable(Record())) {
        LockPIHandleProc lock = Record()->handleProcs->lockProc;
        return lock ? lock(handle, moveHigh) : nullptr;
    }
    return static_cast<Ptr>(AsFallback(handle)->data);
}

void UnlockHandle(Handle handle) {
    if (!handle || !HandleSuiteUsable(Record())) return;
    if (UnlockPIHandleProc unlock = Record()->handleProcs->unlockProc) unlock(handle);
}

OSErr HandleFallbackError() { return handleFallbackError; }

bool BufferSuiteUsable(const FilterRecord* record) {
    const BufferProcs* procs = record ? record->bufferProcs : nullptr;
    return procs && procs->bufferProcsVersion == kCurrentBufferProcsVersion && procs->numBufferProcs >= 5 &&
           procs->allocateProc && procs->lockProc && procs->unlockProc && procs->freeProc && procs->spaceProc;
}

OSErr AllocateBuffer(int32_t size, Buffer& buffer) {
    buffer = {};
    if (BufferSuiteUsable(Record())) {
        const BufferProcs* procs = Record()->bufferProcs;
        BufferID id = nullptr;
        if (procs->allocateProc(size, &id) == noErr) {
            if (void* data = procs->lockProc(id, 1)) {
                buffer = {id, data};
                return noErr;
            }
            procs->freeProc(id);
        }
    }
    buffer.data = platform::HeapAllocate(std::size_t(std::max(size, 0)));
    return buffer.data ? noErr : memFullErr;
}

void ReleaseBuffer(Buffer& buffer) {
    if (buffer.id && BufferSuiteUsable(Record())) {
        Record()->bufferProcs->unlockProc(buffer.id);
        Record()->bufferProcs->freeProc(buffer.id);
    } else if (buffer.data) {
        platform::HeapFree(buffer.data);
    }
    buffer = {};
}

OSErr CallAdvanceState(FilterRecord* record) { return record->advanceState(); }
