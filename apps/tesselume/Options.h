// The command line's commands and options, declared once: the parser, every --help
// text, the manual page (docs/tesselume.1) and the bash completion are made from
// these tables, so that a new command or option joins all of them by one entry.
#pragma once

#include <string>
#include <vector>

namespace tesselume {

struct CommandInfo {
    const char* name;
    const char* arguments;    // after the name in the usage line
    const char* summary;      // one line, for the command list
    const char* description;  // paragraphs, '\n' ends a line
};

struct OptionInfo {
    const char* name;          // "--output"
    const char* shortName;     // "-o", or "" for none
    const char* value;         // what it takes ("OUT"), or "" for a switch
    std::vector<std::string> commands;
    const char* completion;    // "file", "dir", a list of words, or "" for none
    const char* help;          // '\n' ends a line
};

const std::vector<CommandInfo>& CommandTable();
const std::vector<OptionInfo>& OptionTable();
const CommandInfo* FindCommand(const std::string& name);
bool TakesOption(const OptionInfo& option, const std::string& command);

// What the program prints for "tesselume --help" and "tesselume COMMAND --help".
std::string MainHelp();
std::string CommandHelp(const CommandInfo& command);
// The manual page (roff) and the bash completion script.
std::string ManualPage();
std::string BashCompletion();

}  // namespace tesselume
