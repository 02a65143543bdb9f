// Running out of memory and losing the host's services: the module must fail
// cleanly, never render a wrong image, and give back everything it was handed.
#include <string>
#include <sys/stat.h>

#include "HostTestSupport.h"
#include "support/StateFiles.h"

namespace {

using filterhost::Host;

// The host's memory services withheld, so that the module's own heap is the one failing.
filterhost::HostOptions Bare() {
    filterhost::HostOptions bare;
    bare.handleProcsVersion = 0;
    bare.bufferProcsVersion = 0;
    return bare;
}

// Every allocation of the module's heap fails in turn, until a budget refuses none.
// Each run ends in the reference image (a failure the module could work around) or
// in an error with the image untouched, and gives back every handle, the played
// descriptor included. fresh loads the module anew for each run. Returns how many
// budgets failed the run.
int32_t SweepBudgets(const filterhost::Job& job, const filterhost::Image& original, const filterhost::Image& reference,
                     bool fresh) {
    auto host = LoadModule(Bare());
    const int32_t handles = Host::LiveHandles();
    int32_t failures = 0;
    for (int32_t budget = 0;; ++budget) {
        if (fresh) {
            host.reset();  // unloaded first, or the reload finds it still there
            host = LoadModule(Bare());
        }
        const testsupport::ScopedEnv heap("TESSELUME_HEAP_FAIL_AFTER", std::to_string(budget));
        testing::internal::CaptureStderr();
        auto image = original;
        std::string error;
        const OSErr result = host->Run(image, job, error).result;
        const bool refused = testing::internal::GetCapturedStderr().find("refused") != std::string::npos;
        EXPECT_EQ(Host::LiveHandles(), handles) << "budget " << budget;
        if (result == noErr) {
            EXPECT_EQ(image.samples, reference.samples) << "budget " << budget;
        } else {
            ++failures;
            // Out of memory, or Start's own code when its work buffers fail.
            EXPECT_TRUE(result == memFullErr || result == 1) << "budget " << budget << ": " << result;
            EXPECT_EQ(image.samples, original.samples) << "budget " << budget;
        }
        if (!refused || testing::Test::HasFailure()) return failures;
    }
}

TEST(Faults, HeapFailureSweepOverARender) {
    filterhost::Job job;
    job.play = filterhost::Descriptor{{PIFourCC("0036"), typeBoolean, 1, 0, 0}};  // smooth
    const auto original = RampImage(24, 16, 3, 8);
    auto reference = original;
    ASSERT_EQ(RunJob(reference, job, Bare()).result, noErr);
    ASSERT_NE(reference.samples, original.samples);
    EXPECT_GT(SweepBudgets(job, original, reference, false), 0);
}

// A dialog session: open, move the zoom slider, let the preview refresh, OK. The
// script is read when the module's toolkit starts, so each run loads the module anew.
TEST(Faults, HeapFailureSweepOverADialogSession) {
    const testsupport::Script script("drag #72 #3; wait 1000; click #3");
    const filterhost::Job job = DialogJob();
    const auto original = RampImage(40, 30, 3, 8);
    auto before = original, reference = original;
    ASSERT_EQ(RunJob(before, {}, Bare()).result, noErr);
    ASSERT_EQ(RunJob(reference, job, Bare()).result, noErr);
    ASSERT_NE(reference.samples, before.samples) << "the script did not move the slider";
    EXPECT_GT(SweepBudgets(job, original, reference, true), 0);
}

// Two runs over a state folder others can write to, the second a dialog session that
// reaches for it many times (cached settings, a memory dot stored, undo): each says
// once that it keeps no state, and neither writes into the folder or changes it.
TEST(Faults, ARefusedStateFolderIsSaidOncePerRunAndLeftAlone) {
    const std::string open = testsupport::StatePath("open");
    ASSERT_EQ(::mkdir(open.c_str(), 0700), 0);
    ::chmod(open.c_str(), 01777);
    const testsupport::StateDir state(open);
    const testsupport::Script script("click #125; click #20; type 7; click #3");
    auto host = LoadModule();
    std::string error;
    testing::internal::CaptureStderr();
    for (const bool dialog : {false, true}) {
        auto image = RampImage(8, 8, 3, 8);
        EXPECT_EQ(host->Run(image, dialog ? DialogJob() : filterhost::Job{}, error).result, noErr) << dialog << error;
    }
    const std::string said = testing::internal::GetCapturedStderr();
    int count = 0;
    for (std::size_t at = said.find("is not used"); at != std::string::npos; at = said.find("is not used", at + 1))
        ++count;
    EXPECT_EQ(count, 2) << said;
    struct stat status {};
    ::stat(open.c_str(), &status);
    EXPECT_EQ(status.st_mode & 07777, 01777u);
    EXPECT_EQ(::rmdir(open.c_str()), 0) << "something was written into the refused folder";
}

}  // namespace
