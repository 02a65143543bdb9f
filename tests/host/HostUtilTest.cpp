// The module's host utility layer, buffer plan, render tables and settings codes, in process.
#include <cstring>

#include <gtest/gtest.h>

#include "host/Globals.h"
#include "store/HostUtil.h"
#include "host/RowLoop.h"
#include "settings/Parameters.h"

namespace {

// Makes the given record the current call's for the length of a scope.
struct CurrentRecord {
    explicit CurrentRecord(FilterRecord* record) { Current() = {record, nullptr, nullptr}; }
    ~CurrentRecord() { Current() = {}; }
};

Handle NewProc(int32_t) { return nullptr; }
void DisposeProc(Handle) {}
int32_t GetSizeProc(Handle) { return 0; }
OSErr SetSizeProc(Handle, int32_t) { return noErr; }
OSErr Allocate(int32_t, BufferID*) { return noErr; }
Ptr LockBuffer(BufferID, Boolean) { return nullptr; }
void UnlockBuffer(BufferID) {}
void FreeBuffer(BufferID) {}

}  // namespace

TEST(HostUtil, SuitesAreCheckedBeforeUse) {
    FilterRecord record{};
    HandleProcs handles{1, 8, NewProc, DisposeProc, GetSizeProc, SetSizeProc, nullptr, nullptr, nullptr, nullptr};
    record.handleProcs = &handles;
    EXPECT_TRUE(HandleSuiteUsable(&record));
    handles.handleProcsVersion = 2;
    EXPECT_FALSE(HandleSuiteUsable(&record));
    handles.handleProcsVersion = 1;
    handles.numHandleProcs = 7;
    EXPECT_FALSE(HandleSuiteUsable(&record));

    BufferProcs buffers{2, 5, Allocate, LockBuffer, UnlockBuffer, FreeBuffer, nullptr};
    record.bufferProcs = &buffers;
    EXPECT_FALSE(BufferSuiteUsable(&record));  // no spaceProc
    buffers.spaceProc = [] { return int32_t(1); };
    EXPECT_TRUE(BufferSuiteUsable(&record));
    buffers.bufferProcsVersion = 1;
    EXPECT_FALSE(BufferSuiteUsable(&record));
}

TEST(HostUtil, FallbackHandlesAndBuffersComeFromTheHeap) {
    FilterRecord record{};
    CurrentRecord scope(&record);
    Handle handle = NewHandle(64);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(std::memcmp(reinterpret_cast<const char*>(handle) + sizeof(void*), "OTOF", 4), 0);
    const Ptr data = LockHandle(handle, false);
    ASSERT_NE(data, nullptr);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(data[i], 0);
    UnlockHandle(handle);
    DisposeHandle(handle);

    Buffer buffer;
    EXPECT_EQ(AllocateBuffer(100, buffer), noErr);
    EXPECT_EQ(buffer.id, nullptr);
    ASSERT_NE(buffer.data, nullptr);
    ReleaseBuffer(buffer);
    EXPECT_EQ(buffer.data, nullptr);

    ::setenv("TESSELUME_HEAP_FAIL_AFTER", "0", 1);
    EXPECT_EQ(NewHandle(8), nullptr);
    EXPECT_EQ(HandleFallbackError(), memFullErr);
    EXPECT_EQ(AllocateBuffer(8, buffer), memFullErr);
    ::unsetenv("TESSELUME_HEAP_FAIL_AFTER");
}

TEST(Settings, InitialValuesAndCodes) {
    Settings settings;
    std::memset(&settings, 0x5A, sizeof settings);
    InitialiseSettings(settings, nullptr);
    EXPECT_STREQ(settings.settingsFileName, "Tesselume settings.q1r");
    EXPECT_EQ(settings.previewScale, 1);
    EXPECT_EQ(settings.renderMarks[0], -1);
    EXPECT_EQ(settings.fileNames[2][0], '\0');

    settings.zoom = 3;
    settings.runMode = RunMode::store;
    FactoryReset(settings);
    EXPECT_EQ(settings.zoom, 55);
    EXPECT_EQ(settings.runMode, RunMode::store);  // not a parameter

    int32_t index = -1;
    EXPECT_TRUE(CodeToIndex(EnumType::glue, PIFourCC("GL01"), index));
    EXPECT_EQ(index, 1);
    EXPECT_TRUE(CodeToIndex(EnumType::glue, PIFourCC("GL62"), index));
    EXPECT_EQ(index, 62);
    for (const char* bad : {"GL00", "GL63", "GLUE", "SY01", "gl01", "<NO>"}) {
        char code[5];
        std::memcpy(code, bad, 5);
        EXPECT_FALSE(CodeToIndex(EnumType::glue, PIFourCC(code), index)) << bad;
        EXPECT_EQ(index, 0);
    }
    EXPECT_TRUE(CodeToIndex(EnumType::symmetry, PIFourCC("SY04"), index));
    EXPECT_EQ(index, 4);
    EXPECT_FALSE(CodeToIndex(EnumType::symmetry, PIFourCC("SY05"), index));
    EXPECT_EQ(IndexToCode(7, EnumType::glue), PIFourCC("GL07"));
    EXPECT_EQ(IndexToCode(0, EnumType::glue), PIFourCC("<NO>"));
    EXPECT_EQ(IndexToCode(63, EnumType::glue), PIFourCC("<NO>"));
    EXPECT_EQ(IndexToCode(5, EnumType::symmetry), PIFourCC("<NO>"));
}
