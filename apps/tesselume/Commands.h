// The tesselume program's commands: render, apply, info and about.
//
// Every failure prints one line "tesselume: ..." on stderr and gives an exit code:
// 1 for an input, module or output fault, 2 for a command line that does not
// parse (unknown option, parameter or value), 130 when Ctrl-C stopped the run.
#pragma once

namespace tesselume {

enum ExitCode { kExitOk = 0, kExitFailure = 1, kExitUsage = 2, kExitCancelled = 3 };

int RunCommandLine(int argc, char** argv);

}  // namespace tesselume
