// Selector dispatch, result codes and the host-service fallbacks, through filterhost.
#include <cstring>
#include <tuple>
#include <utility>

#include "HostTestSupport.h"

using filterhost::Host;

TEST(Dispatch, AboutFullRunAndBadSelectors) {
    auto host = LoadModule();
    ASSERT_TRUE(host);
    // About touches nothing.
    const int32_t handlesBefore = Host::LiveHandles();
    EXPECT_EQ(host->About(), noErr);
    EXPECT_EQ(std::tuple(host->DataSlot(), Host::LiveHandles(), host->Record().parameters),
              std::tuple(0, handlesBefore, nullptr));

    // A full run calls every selector and gives back everything it took.
    auto image = RampImage(40, 30, 3, 8);
    filterhost::Job job;
    job.showDialog = true;
    job.playInfo = plugInDialogDontDisplay;
    std::string error;
    const auto report = host->Run(image, job, error);
    EXPECT_EQ(report.result, noErr);
    const std::vector<int16_t> expected = {filterSelectorParameters, filterSelectorPrepare, filterSelectorStart,
                                           filterSelectorContinue, filterSelectorFinish};
    EXPECT_EQ(report.selectors, expected);
    EXPECT_EQ(report.advanceStateCalls, 30);  // one per row, the first inside Start
    EXPECT_GT(report.bufferAllocations, 0);
    EXPECT_EQ(std::pair(report.buffersOutstanding, Host::LockedHandles()), std::pair(0, 0));
    EXPECT_TRUE(host->DataSlot() != 0 && host->Record().parameters != nullptr && report.recorded.has_value());

    // The globals and settings survive into the next run.
    const intptr_t globals = host->DataSlot();
    EXPECT_EQ(host->Run(image, {}, error).result, noErr);
    EXPECT_EQ(host->DataSlot(), globals);

    // Unknown selectors are refused and still unlock what the call locked.
    ASSERT_TRUE(host->Begin(image, {}, error)) << error;
    for (int16_t selector : {int16_t(6), int16_t(-1), int16_t(200)}) {
        EXPECT_EQ(host->Call(selector), filterBadParameters) << selector;
        EXPECT_EQ(Host::LockedHandles(), 0) << selector;
    }
    host->End();
}

TEST(Dispatch, StartEndsWithOneForWhatTheHostCannotServeAndUnusableSuitesFallBackToTheHeap) {
    // No advanceState: the refusal, result 1, nothing held.
    filterhost::HostOptions options;
    options.advanceState = false;
    auto image = RampImage(16, 12, 3, 8);
    const auto report = RunJob(image, {}, options);
    EXPECT_EQ(report.result, 1);
    EXPECT_EQ(report.selectors.back(), filterSelectorStart);
    EXPECT_EQ(report.buffersOutstanding, 0);

    // A multichannel image, which a host would not offer: result 1.
    auto host = LoadModule();
    std::string error;
    ASSERT_TRUE(host->Begin(image, {}, error)) << error;
    host->Record().imageMode = plugInModeMultichannel;
    EXPECT_EQ(host->Call(filterSelectorPrepare), noErr);
    EXPECT_EQ(host->Call(filterSelectorStart), 1);
    const Rect empty{0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(&host->Record().inRect, &empty, sizeof empty), 0);
    EXPECT_EQ(host->End().buffersOutstanding, 0);

    // The host gives the row buffer, then its buffers and the module's heap fail.
    host->Options().bufferFailAfter = 1;
    ASSERT_TRUE(host->Begin(image, {}, error)) << error;
    EXPECT_EQ(host->Call(filterSelectorPrepare), noErr);
    {
        const testsupport::ScopedEnv heap("TESSELUME_HEAP_FAIL_AFTER", "0");
        EXPECT_EQ(host->Call(filterSelectorStart), 1);
    }
    const auto failed = host->End();
    EXPECT_EQ(failed.bufferAllocations, 1);
    EXPECT_EQ(failed.buffersOutstanding, 0);
    EXPECT_EQ(failed.advanceStateCalls, 0);
    // The next run works normally.
    host->Options().bufferFailAfter = -1;
    EXPECT_EQ(host->Run(image, {}, error).result, noErr);

    // A settings handle the host will not lock: Start fails with memFullErr instead of
    // reading the settings through nothing.
    static LockPIHandleProc hostLock;
    static Handle refused;
    ASSERT_TRUE(host->Begin(image, {}, error)) << error;
    EXPECT_EQ(host->Call(filterSelectorPrepare), noErr);
    HandleProcs refusing = *host->Record().handleProcs;
    hostLock = refusing.lockProc;
    refused = host->Record().parameters;
    refusing.lockProc = [](Handle handle, Boolean high) { return handle == refused ? nullptr : hostLock(handle, high); };
    host->Record().handleProcs = &refusing;
    EXPECT_EQ(host->Call(filterSelectorStart), memFullErr);
    host->Record().handleProcs = nullptr;
    EXPECT_EQ(std::pair(host->End().buffersOutstanding, Host::LockedHandles()), std::pair(0, 0));

    // A handle suite of version 2 is not used: the module keeps its records on its own heap.
    options = {};
    options.handleProcsVersion = 2;
    host.reset();  // unloaded first, or the reload finds it still there
    host = LoadModule(options);
    const int32_t handlesBefore = Host::LiveHandles();
    EXPECT_EQ(host->Run(image, {}, error).result, noErr);
    EXPECT_NE(host->DataSlot(), 0);
    EXPECT_EQ(Host::LiveHandles(), handlesBefore);

    // A buffer suite without spaceProc, or of an older version, is not used at all.
    for (const bool spaceless : {true, false}) {
        options = {};
        if (spaceless) options.bufferSpaceProc = false;
        else options.bufferProcsVersion = 1;
        const auto report = RunJob(image, {}, options);
        EXPECT_EQ(report.result, noErr);
        EXPECT_EQ(report.bufferAllocations, 0);
    }
}
