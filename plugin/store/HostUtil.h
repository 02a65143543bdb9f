// The host utility layer: the host's memory suites with a platform-heap fallback,
// and the process-wide pointers of the current call. It sits at the bottom of the
// module so that every part can take memory the way the host prefers.
//
// Every wrapper checks the host's suite before use and falls back to the platform
// heap when it is missing or unusable, so callers never ask which one they got.
// Failures are reported as in the rest of the module: a null address or handle, and
// the protocol's result codes.
#pragma once

#include <cstdint>

#include "PIFilter.h"

// The pointers of the current PluginMain call, set on every entry. Code running
// inside host callbacks or window procedures reaches the host through them.
struct CurrentCall {
    FilterRecord* filterRecord = nullptr;
    intptr_t* data = nullptr;
    int16_t* result = nullptr;
};
CurrentCall& Current();

// Sets the current call's result slot (no effect without one).
void SetResult(OSErr code);
// The current result, 0 when there is no slot.
OSErr CurrentResult();

// Handles: the host's handle suite when usable (version 1, at least 8 procedures,
// the first four present), else a zero-filled "OTOF" block from the platform heap.
bool HandleSuiteUsable(const FilterRecord* record);
Handle NewHandle(int32_t size);
void DisposeHandle(Handle handle);
Ptr LockHandle(Handle handle, bool moveHigh);
void UnlockHandle(Handle handle);
// 0, or memFullErr after the fallback heap was exhausted.
OSErr HandleFallbackError();

// A buffer: the host's identifier (null for a platform block) and the data address.
struct Buffer {
    BufferID id = nullptr;
    void* data = nullptr;
};

// Buffers: the host's buffer suite when usable (version 2, five procedures all
// present), else a zero-filled platform block. On failure buffer.data stays null
// and memFullErr is returned.
bool BufferSuiteUsable(const FilterRecord* record);
OSErr AllocateBuffer(int32_t size, Buffer& buffer);
void ReleaseBuffer(Buffer& buffer);

// Whether the host offers a procedure (advanceState, displayPixels, ...).
template <typename Proc>
bool HostHasProc(Proc proc) {
    return proc != nullptr;
}
// Calls advanceState and returns its result.
OSErr CallAdvanceState(FilterRecord* record);
