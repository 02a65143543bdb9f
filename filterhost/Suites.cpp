// The handle, buffer and descriptor suites served to modules.
#include "Suites.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <memory>
#include <unordered_set>

namespace filterhost::suites {
namespace {

struct HostHandle {
    std::vector<uint8_t> bytes;
    int32_t locks = 0;
};

struct HandleCounts {
    std::unordered_set<const HostHandle*> live;
    int32_t locked = 0;
};

HandleCounts& Counts() {
    static HandleCounts counts;
    return counts;
}

HostHandle* AsHandle(Handle handle) { return reinterpret_cast<HostHandle*>(handle); }

// ---- handle procedures ----

Handle NewProc(int32_t size) { return size < 0 ? nullptr : NewHostHandle(size); }
void DisposeProc(Handle handle) { DisposeHostHandle(handle); }
int32_t GetSizeProc(Handle handle) { return HandleSize(handle); }
OSErr SetSizeProc(Handle handle, int32_t size) {
    if (!handle || size < 0) return memFullErr;
    AsHandle(handle)->bytes.resize(std::size_t(size), 0);
    return noErr;
}
Ptr LockProc(Handle handle, Boolean) {
    if (!handle) return nullptr;
    if (AsHandle(handle)->locks++ == 0) ++Counts().locked;
    return reinterpret_cast<Ptr>(HandleData(handle));
}
void UnlockProc(Handle handle) {
    if (handle && AsHandle(handle)->locks > 0 && --AsHandle(handle)->locks == 0) --Counts().locked;
}
void RecoverSpace(int32_t) {}
void DisposeRegularHandle(Handle handle) { DisposeHostHandle(handle); }

// ---- buffer procedures ----

struct HostBuffer {
    std::vector<uint8_t> bytes;
};

OSErr AllocateProc(int32_t size, BufferID* id) {
    BufferCounters& counters = Buffers();
    if (size < 0 || (counters.failAfter >= 0 && counters.allocations >= counters.failAfter)) {
        *id = nullptr;
        return memFullErr;
    }
    // Host buffers are not cleared, as on a real host: fill with a pattern so that a
    // module that relies on zeroed memory shows it.
    *id = new HostBuffer{std::vector<uint8_t>(std::size_t(size), 0xA5)};
    ++counters.allocations;
    ++counters.outstanding;
    return noErr;
}
Ptr LockBufferProc(BufferID id, Boolean) {
    return id ? reinterpret_cast<Ptr>(static_cast<HostBuffer*>(id)->bytes.data()) : nullptr;
}
void UnlockBufferProc(BufferID) {}
void FreeBufferProc(BufferID id) {
    if (!id) return;
    delete static_cast<HostBuffer*>(id);
    --Buffers().outstanding;
}
int32_t SpaceProc() { return 1 << 30; }

// ---- descriptor procedures ----

struct ReadToken {
    Descriptor items;
    std::string paths;             // the alias items' bytes
    std::size_t next = 0;          // the item getKeyProc returns next
    const DescriptorItem* current = nullptr;
    bool allKeysPresent = true;
};

struct WriteToken {
    Descriptor items;
};

ReadToken* AsRead(PIReadDescriptor token) { return reinterpret_cast<ReadToken*>(token); }
WriteToken* AsWrite(PIWriteDescriptor token) { return reinterpret_cast<WriteToken*>(token); }

// The descriptor holds no value of the type asked for.
constexpr OSErr errAEWrongDataType = -1703;

PIReadDescriptor OpenRead(PIDescriptorHandle descriptor, DescriptorKeyIDArray keys) {
    if (!descriptor) return nullptr;
    auto token = std::make_unique<ReadToken>();
    token->items = ReadDescriptorHandle(descriptor, &token->paths);
    for (const DescriptorKeyID* key = keys; key && *key; ++key) {
        bool found = false;
        for (const DescriptorItem& item : token->items) found = found || item.key == *key;
        token->allKeysPresent = token->allKeysPresent && found;
    }
    return reinterpret_cast<PIReadDescriptor>(token.release());
}

OSErr CloseRead(PIReadDescriptor token) {
    std::unique_ptr<ReadToken> owned(AsRead(token));
    return owned && !owned->allKeysPresent ? OSErr(errAEParamMissed) : OSErr(noErr);
}

Boolean GetKey(PIReadDescriptor token, DescriptorKeyID* key, DescType* type, int32_t* flags) {
    ReadToken* read = AsRead(token);
    if (!read || read->next >= read->items.size()) return 0;
    read->current = &read->items[read->next++];
    *key = read->current->key;
    *type = read->current->type;
    if (flags) *flags = 0;
    return 1;
}

OSErr GetInteger(PIReadDescriptor token, int32_t* value) {
    const DescriptorItem* item = AsRead(token) ? AsRead(token)->current : nullptr;
    if (!item || item->type != typeInteger) return errAEWrongDataType;
    *value = item->value;
    return noErr;
}

OSErr GetBoolean(PIReadDescriptor token, Boolean* value) {
    const DescriptorItem* item = AsRead(token) ? AsRead(token)->current : nullptr;
    if (!item || item->type != typeBoolean) return errAEWrongDataType;
    *value = item->value ? 1 : 0;
    return noErr;
}

OSErr GetEnumerated(PIReadDescriptor token, DescriptorEnumID* value) {
    const DescriptorItem* item = AsRead(token) ? AsRead(token)->current : nullptr;
    if (!item || item->type != typeEnumerated) return errAEWrongDataType;
    *value = item->enumValue;
    return noErr;
}

OSErr GetPinnedInteger(PIReadDescriptor token, int32_t min, int32_t max, int32_t* value) {
    const OSErr err = GetInteger(token, value);
    if (err == noErr) *value = *value < min ? min : *value > max ? max : *value;
    return err;
}

// Value kinds this host never stores: every read of them reports a type mismatch.
OSErr GetFloat(PIReadDescriptor, double*) { return errAEWrongDataType; }
OSErr GetUnitFloat(PIReadDescriptor, OSType*, double*) { return errAEWrongDataType; }
OSErr GetHandleValue(PIReadDescriptor, Handle*) { return errAEWrongDataType; }
// An alias is handed over as a new handle holding the path's bytes.
OSErr GetAlias(PIReadDescriptor token, Handle* value) {
    const ReadToken* read = AsRead(token);
    const DescriptorItem* item = read ? read->current : nullptr;
    if (!item || item->type != typeAlias) return errAEWrongDataType;
    const std::size_t offset = std::size_t(item->value), length = item->enumValue;
    if (offset > read->paths.size() || length > read->paths.size() - offset) return errAEWrongDataType;
    *value = NewHostHandle(int32_t(length));
    if (length) std::memcpy(HandleData(*value), read->paths.data() + offset, length);
    return noErr;
}
OSErr GetClass(PIReadDescriptor, OSType*) { return errAEWrongDataType; }
OSErr GetSimpleReference(PIReadDescriptor, void*) { return errAEWrongDataType; }
OSErr GetObject(PIReadDescriptor, OSType*, PIDescriptorHandle*) { return errAEWrongDataType; }
OSErr GetCount(PIReadDescriptor, uint32_t*) { return errAEWrongDataType; }
OSErr GetString(PIReadDescriptor, unsigned char*) { return errAEWrongDataType; }
OSErr GetPinnedFloat(PIReadDescriptor, const double*, const double*, double*) { return errAEWrongDataType; }
OSErr GetPinnedUnitFloat(PIReadDescriptor, const double*, const double*, OSType*, double*) {
    return errAEWrongDataType;
}

PIWriteDescriptor OpenWrite() { return reinterpret_cast<PIWriteDescriptor>(new WriteToken); }

OSErr CloseWrite(PIWriteDescriptor token, PIDescriptorHandle* descriptor) {
    std::unique_ptr<WriteToken> owned(AsWrite(token));
    if (!owned) return errAEWrongDataType;
    *descriptor = MakeDescriptorHandle(owned->items, {});
    return noErr;
}

OSErr PutInteger(PIWriteDescriptor token, DescriptorKeyID key, int32_t value) {
    AsWrite(token)->items.push_back({key, typeInteger, value, 0, 0});
    return noErr;
}

OSErr PutBoolean(PIWriteDescriptor token, DescriptorKeyID key, Boolean value) {
    AsWrite(token)->items.push_back({key, typeBoolean, value ? 1 : 0, 0, 0});
    return noErr;
}

OSErr PutEnumerated(PIWriteDescriptor token, DescriptorKeyID key, DescType type, DescriptorEnumID value) {
    AsWrite(token)->items.push_back({key, typeEnumerated, 0, type, value});
    return noErr;
}

// Value kinds this host does not store.
OSErr PutFloat(PIWriteDescriptor, DescriptorKeyID, const double*) { return errAEWrongDataType; }
OSErr PutUnitFloat(PIWriteDescriptor, DescriptorKeyID, OSType, const double*) { return errAEWrongDataType; }
OSErr PutHandleValue(PIWriteDescriptor, DescriptorKeyID, Handle) { return errAEWrongDataType; }
OSErr PutClass(PIWriteDescriptor, DescriptorKeyID, OSType) { return errAEWrongDataType; }
OSErr PutSimpleReference(PIWriteDescriptor, DescriptorKeyID, const void*) { return errAEWrongDataType; }
OSErr PutObject(PIWriteDescriptor, DescriptorKeyID, DescType, PIDescriptorHandle) { return errAEWrongDataType; }
OSErr PutCount(PIWriteDescriptor, DescriptorKeyID, uint32_t) { return errAEWrongDataType; }
OSErr PutString(PIWriteDescriptor, DescriptorKeyID, const unsigned char*) { return errAEWrongDataType; }

constexpr std::size_t kItemBytes = sizeof(DescriptorItem);

}  // namespace

Handle NewHostHandle(int32_t size) {
    auto* handle = new HostHandle{std::vector<uint8_t>(std::size_t(size), 0), 0};
    Counts().live.insert(handle);
    return reinterpret_cast<Handle>(handle);
}

void DisposeHostHandle(Handle handle) {
    if (!handle) return;
    Counts().live.erase(AsHandle(handle));
    if (AsHandle(handle)->locks > 0) --Counts().locked;
    delete AsHandle(handle);
}

int32_t LiveHandles() { return int32_t(Counts().live.size()); }

bool OwnsHandle(Handle handle) { return Counts().live.count(AsHandle(handle)) != 0; }
int32_t LockedHandles() { return Counts().locked; }

uint8_t* HandleData(Handle handle) { return handle ? AsHandle(handle)->bytes.data() : nullptr; }

int32_t HandleSize(Handle handle) { return handle ? int32_t(AsHandle(handle)->bytes.size()) : 0; }

BufferCounters& Buffers() {
    static BufferCounters counters;
    return counters;
}

void FillHandleProcs(HandleProcs& procs, int16_t version) {
    procs = HandleProcs{version,       kCurrentHandleProcsCount, NewProc,      DisposeProc,
                        GetSizeProc,   SetSizeProc,              LockProc,     UnlockProc,
                        RecoverSpace,  DisposeRegularHandle};
}

void FillBufferProcs(BufferProcs& procs, int16_t version, bool withSpaceProc) {
    procs = BufferProcs{version,          kCurrentBufferProcsCount, AllocateProc, LockBufferProc,
                        UnlockBufferProc, FreeBufferProc,           withSpaceProc ? SpaceProc : nullptr};
}

void FillDescriptorProcs(ReadDescriptorProcs& read, WriteDescriptorProcs& write) {
    read = ReadDescriptorProcs{kCurrentReadDescriptorProcsVersion,
                               kCurrentReadDescriptorProcsCount,
                               OpenRead,
                               CloseRead,
                               GetKey,
                               GetInteger,
                               GetFloat,
                               GetUnitFloat,
                               GetBoolean,
                               GetHandleValue,
                               GetAlias,
                               GetEnumerated,
                               GetClass,
                               GetSimpleReference,
                               GetObject,
                               GetCount,
                               GetString,
                               GetPinnedInteger,
                               GetPinnedFloat,
                               GetPinnedUnitFloat};
    write = WriteDescriptorProcs{kCurrentWriteDescriptorProcsVersion,
                                 kCurrentWriteDescriptorProcsCount,
                                 OpenWrite,
                                 CloseWrite,
                                 PutInteger,
                                 PutFloat,
                                 PutUnitFloat,
                                 PutBoolean,
                                 PutHandleValue,
                                 PutHandleValue,
                                 PutEnumerated,
                                 PutClass,
                                 PutSimpleReference,
                                 PutObject,
                                 PutCount,
                                 PutString,
                                 PutClass,
                                 PutObject};
}

// The handle holds the item count, the items, then the alias paths' bytes; an alias
// item's value is its path's offset in those bytes and its enumValue the length.
Handle MakeDescriptorHandle(const Descriptor& descriptor, const std::vector<DescriptorAlias>& aliases) {
    Descriptor items = descriptor;
    std::string paths;
    for (const DescriptorAlias& alias : aliases) {
        items.push_back({alias.key, typeAlias, int32_t(paths.size()), 0, OSType(alias.path.size())});
        paths += alias.path;
    }
    const uint32_t count = uint32_t(items.size());
    Handle handle = NewHostHandle(int32_t(sizeof count + count * kItemBytes + paths.size()));
    auto* at = reinterpret_cast<uint8_t*>(HandleData(handle));
    std::memcpy(at, &count, sizeof count);
    if (count) std::memcpy(at + sizeof count, items.data(), count * kItemBytes);
    if (!paths.empty()) std::memcpy(at + sizeof count + count * kItemBytes, paths.data(), paths.size());
    return handle;
}

Descriptor ReadDescriptorHandle(Handle handle, std::string* paths) {
    const auto* at = reinterpret_cast<const uint8_t*>(HandleData(handle));
    const std::size_t size = std::size_t(HandleSize(handle));
    uint32_t count = 0;
    if (size >= sizeof count) std::memcpy(&count, at, sizeof count);
    count = uint32_t(std::min<std::size_t>(count, (size - std::min(size, sizeof count)) / kItemBytes));
    Descriptor items(count);
    if (count) std::memcpy(items.data(), at + sizeof count, count * kItemBytes);
    const std::size_t text = sizeof count + count * kItemBytes;
    if (paths && size > text) paths->assign(reinterpret_cast<const char*>(at + text), size - text);
    return items;
}

}  // namespace filterhost::suites
