// Shared helpers of the dialog tests: a dialog session run headless, the module's
// toolkit playing the steps of a testsupport::Script.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/HostTestSupport.h"

namespace dialogtest {

// The module loaded by filterhost, showing its dialog on each run.
struct DialogRun {
    testsupport::Script script;
    std::unique_ptr<filterhost::Host> host;
    explicit DialogRun(const std::string& steps, const filterhost::HostOptions& options = {})
        : script(steps), host(LoadModule(options)) {}
    filterhost::RunReport Run(filterhost::Image& image, std::optional<filterhost::Descriptor> play = std::nullopt,
                              std::vector<uint8_t> mask = {}) {
        filterhost::Job job = DialogJob();
        job.play = std::move(play);
        job.mask = std::move(mask);
        std::string error;
        auto report = host->Run(image, job, error);
        EXPECT_TRUE(error.empty()) << error;
        return report;
    }
};

}  // namespace dialogtest
