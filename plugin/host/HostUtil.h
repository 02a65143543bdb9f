// The host utility layer: the host's memory suites with a platform-heap fallback,
// the process-wide pointers of the current call, and small shared helpers.
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
// The dialog toolkit's millisecond clock divided by 17: about sixty ticks a second.
// Headless, that clock is the toolkit's virtual one, so dialog timing is repeatable.
uint32_t Ticks();
// top <= v < bottom and left <= h < right.
bool PointInRect(Point point, Rect rect);
// The pixel kind of an image-store copy of the host image: 4 for 16-bit images,
// 9 for 32-bit float, 3 otherwise.
int StoreKindForImage(const FilterRecord* record);

// Places a window of the given outer size over its parent, as every dialog of the
// module does when it opens: centred horizontally less a caption-button offset,
// a third of the way down, kept on the screen. Returns the top-left corner.
struct WindowPlacement {
    int32_t x, y;
};
WindowPlacement CenterDialogRect(const PIWindowGeometry* parent, int32_t width, int32_t height, bool hasSystemMenu);
