// Environment variables the module and the programs read, set for a scope.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

namespace testsupport {

// Sets name while it lives, then puts back what was there before (or nothing), so a
// test that ends early at an ASSERT leaves nothing set for the next.
struct ScopedEnv {
    std::string name;
    std::optional<std::string> saved;
    ScopedEnv(std::string variable, const std::string& value) : name(std::move(variable)) {
        if (const char* old = std::getenv(name.c_str())) saved = old;
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (saved) ::setenv(name.c_str(), saved->c_str(), 1);
        else ::unsetenv(name.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
};

// The steps the headless toolkit plays, read when the module's first dialog opens.
struct Script : ScopedEnv {
    explicit Script(const std::string& steps) : ScopedEnv("TESSELUME_UI_SCRIPT", steps) {}
};

// Points TESSELUME_STATE_DIR at folder while it lives, then back at the test's own.
struct StateDir : ScopedEnv {
    explicit StateDir(const std::string& folder) : ScopedEnv("TESSELUME_STATE_DIR", folder) {}
};

}  // namespace testsupport
