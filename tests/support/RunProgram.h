// Runs the tesselume program (TESSELUME_PROGRAM) as a child process with the test's
// environment, its output and errors going to files in the state folder.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/StateFiles.h"

extern char** environ;

namespace testsupport {

struct Outcome {
    int exitCode = -1;
    std::string out, err;
};

// Runs the program with args, its output and errors going to files.
inline Outcome RunProgram(const std::vector<std::string>& args) {
    std::vector<char*> argv = {const_cast<char*>(TESSELUME_PROGRAM)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const std::string outPath = StatePath("stdout.txt"), errPath = StatePath("stderr.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    Outcome outcome;
    if (posix_spawn(&pid, TESSELUME_PROGRAM, &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    outcome.out = FileContents(outPath);
    outcome.err = FileContents(errPath);
    return outcome;
}

// A run that must succeed.
inline Outcome RunOk(const std::vector<std::string>& args) {
    Outcome outcome = RunProgram(args);
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    return outcome;
}

}  // namespace testsupport
