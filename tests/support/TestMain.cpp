// Test main: every test process gets a fresh private state folder and the headless
// UI backend, so no test touches a display or the user's files.
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    std::string folder = (std::filesystem::temp_directory_path() / "tesselume-test-XXXXXX").string();
    if (!::mkdtemp(folder.data())) return 2;
    ::setenv("TESSELUME_STATE_DIR", folder.c_str(), 1);
    ::setenv("TESSELUME_UI", "headless", 1);
    ::unsetenv("TESSELUME_HEAP_FAIL_AFTER");
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return status;
}
