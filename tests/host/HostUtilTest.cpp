// The module's heap fallbacks and settings codes, in process.
#include <cstring>

#include <gtest/gtest.h>

#include "host/Globals.h"
#include "settings/Parameters.h"
#include "store/HostUtil.h"
#include "support/Environment.h"

TEST(HostUtil, FallbackHandlesAreZeroedAndHeapFailureIsReported) {
    FilterRecord record{};
    Current() = {&record, nullptr, nullptr};
    Handle handle = NewHandle(64);
    ASSERT_NE(handle, nullptr);
    const Ptr data = LockHandle(handle, false);
    ASSERT_NE(data, nullptr);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(data[i], 0);
    UnlockHandle(handle);
    DisposeHandle(handle);

    Buffer buffer;
    const testsupport::ScopedEnv heap("TESSELUME_HEAP_FAIL_AFTER", "0");
    EXPECT_EQ(NewHandle(8), nullptr);
    EXPECT_EQ(HandleFallbackError(), memFullErr);
    EXPECT_EQ(AllocateBuffer(8, buffer), memFullErr);
    Current() = {};
}

TEST(Settings, FactoryResetAndEnumerationCodes) {
    Settings settings;
    std::memset(&settings, 0x5A, sizeof settings);
    InitialiseSettings(settings, nullptr);
    settings.zoom = 3;
    settings.runMode = RunMode::store;
    FactoryReset(settings);
    EXPECT_EQ(settings.zoom, 55);
    EXPECT_EQ(settings.runMode, RunMode::store);  // not a parameter

    // Codes the module must refuse; the accepted ones go through the scripting tests.
    int32_t index = -1;
    for (const char* bad : {"GL00", "GL63", "GLUE", "SY01", "gl01", "<NO>"}) {
        EXPECT_FALSE(CodeToIndex(EnumType::glue, PIFourCC(bad), index)) << bad;
        EXPECT_EQ(index, 0);
    }
    EXPECT_FALSE(CodeToIndex(EnumType::symmetry, PIFourCC("SY05"), index));
    EXPECT_EQ(IndexToCode(0, EnumType::glue), PIFourCC("<NO>"));
    EXPECT_EQ(IndexToCode(63, EnumType::glue), PIFourCC("<NO>"));
    EXPECT_EQ(IndexToCode(5, EnumType::symmetry), PIFourCC("<NO>"));
}
