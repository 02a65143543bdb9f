// Running out of memory and losing the host's services: the module must fail
// cleanly, never render a wrong image, and give back everything it was handed.
#include <cstdlib>
#include <string>

#include "HostTestSupport.h"

namespace {

using filterhost::Host;

// Every allocation of a small smooth render fails in turn, with the host's memory
// services withheld so that the module's own heap is the one failing.
TEST(Faults, HeapFailureSweepEndsInErrorOrTheRightImage) {
    filterhost::HostOptions bare;
    bare.handleProcsVersion = 0;
    bare.bufferProcsVersion = 0;
    auto host = LoadModule(bare);
    ASSERT_TRUE(host);
    const filterhost::Descriptor smooth{{PIFourCC("0036"), typeBoolean, 1, 0, 0}};
    filterhost::Job job;
    job.play = smooth;
    const auto original = RampImage(24, 16, 3, 8);
    std::string error;
    auto reference = original;
    ASSERT_EQ(host->Run(reference, job, error).result, noErr) << error;
    ASSERT_NE(reference.samples, original.samples);

    const int32_t handles = Host::LiveHandles();
    int32_t failures = 0;
    for (int32_t budget = 0; budget < 400; ++budget) {
        ::setenv("TESSELUME_HEAP_FAIL_AFTER", std::to_string(budget).c_str(), 1);
        auto image = original;
        const auto report = host->Run(image, job, error);
        ::unsetenv("TESSELUME_HEAP_FAIL_AFTER");
        EXPECT_EQ(Host::LiveHandles(), handles) << "budget " << budget;
        if (report.result == noErr) {
            EXPECT_EQ(image.samples, reference.samples) << "budget " << budget;
            break;
        }
        ++failures;
        EXPECT_EQ(image.samples, original.samples) << "budget " << budget;
    }
    EXPECT_GT(failures, 0);
    // The host is usable again once memory is back.
    auto again = original;
    EXPECT_EQ(host->Run(again, job, error).result, noErr);
    EXPECT_EQ(again.samples, reference.samples);
}

// A host without a handle suite keeps the played descriptor: the module cannot
// dispose it, and the host must not lose it.
TEST(Faults, PlayedDescriptorComesBackWithoutHandleSuite) {
    filterhost::HostOptions noHandles;
    noHandles.handleProcsVersion = 0;
    auto host = LoadModule(noHandles);
    ASSERT_TRUE(host);
    const int32_t handles = Host::LiveHandles();
    filterhost::Job job;
    job.play = filterhost::Descriptor{{PIFourCC("0033"), typeInteger, 12, 0, 0}};
    auto image = RampImage(8, 8, 3, 8);
    std::string error;
    EXPECT_EQ(host->Run(image, job, error).result, noErr) << error;
    EXPECT_EQ(Host::LiveHandles(), handles);
}

}  // namespace
