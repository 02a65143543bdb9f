// The host's handle, buffer and descriptor suites (internal to filterhost).
//
// The protocol's callbacks carry no context, so the suites keep their state
// process-wide: one run at a time per process, as with a real host.
#pragma once

#include <cstdint>
#include <vector>

#include "FilterHost.h"

namespace filterhost::suites {

// Handles: zero-filled byte blocks.
Handle NewHostHandle(int32_t size);
void DisposeHostHandle(Handle handle);
uint8_t* HandleData(Handle handle);
int32_t HandleSize(Handle handle);
int32_t LiveHandles();
// Whether the handle came from this host's suite (and not from a module's own heap).
bool OwnsHandle(Handle handle);
int32_t LockedHandles();

// Buffer accounting for the current run.
struct BufferCounters {
    int32_t allocations = 0;   // successful allocations so far
    int32_t failAfter = -1;    // allocations after this many fail; -1 never
    int32_t outstanding = 0;   // allocated and not yet freed
};
BufferCounters& Buffers();

void FillHandleProcs(HandleProcs& procs, int16_t version);
void FillBufferProcs(BufferProcs& procs, int16_t version, bool withSpaceProc);
void FillDescriptorProcs(ReadDescriptorProcs& read, WriteDescriptorProcs& write);

// Descriptors travel as handles holding their items.
// A descriptor handle of the items and the alias items; reading it back gives the
// items (aliases included) and, when asked, the aliases' path bytes.
Handle MakeDescriptorHandle(const Descriptor& descriptor, const std::vector<DescriptorAlias>& aliases);
Descriptor ReadDescriptorHandle(Handle handle, std::string* paths = nullptr);

}  // namespace filterhost::suites
