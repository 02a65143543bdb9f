// The tables of commands and options, and the help, manual page and completion made from them.
#include "Options.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace tesselume {

namespace {

constexpr const char* kFilterCommandsNote =
    "Parameters are applied in the order given, a later value winning; without any the\n"
    "module runs with its factory settings. Values from --play and --preset are checked\n"
    "as --set checks them. The output format follows OUT's extension (.png, .jpg,\n"
    ".tif, .webp) or --format. Existing outputs keep their mode and are written through\n"
    "symbolic links; a write-protected one is refused. Ctrl-C, SIGTERM or SIGHUP stop\n"
    "the run at once, and no partial file is left.\n";

}  // namespace

const std::vector<CommandInfo>& CommandTable() {
    static const std::vector<CommandInfo> commands = {
        {"render", "-o OUT [OPTIONS]", "paint the pattern onto a new canvas",
         "Paints the pattern onto a mid-grey canvas and writes it to OUT.\n"},
        {"apply", "IN... -o OUT [OPTIONS]", "run the filter on PNG, JPEG, TIFF or WebP images",
         "Runs the filter on each image IN (PNG, JPEG, TIFF or WebP; 8 or 16 bits; grey or\n"
         "RGB, with or without alpha) and writes the result to OUT; IN itself is never\n"
         "changed. \"-\" reads standard input. With several inputs OUT is a folder or a\n"
         "name with %s (the input's name without its extension); a file that fails does\n"
         "not stop the others, and the exit code says that some failed.\n"
         "The alpha channel is the layer's transparency, protected unless\n"
         "--edit-transparency is given. The ICC profile, resolution, EXIF (orientation\n"
         "included), XMP, IPTC and PNG text are carried to the output where its format\n"
         "holds them.\n"},
        {"export-psd", "[IN] -o OUT.psd [OPTIONS]", "write the pattern as a layered PSD document",
         "Writes the pattern as a layered PSD document, as the dialog's PSD button does:\n"
         "one transparent layer \"layer 1\" and the merged image over a checkerboard, the\n"
         "size of the filtered area (the selection's box), 8 or 16 bits as the image is.\n"
         "Without IN, the canvas of \"render\" (--size, --depth). The image is not changed.\n"},
        {"catalogue", "PRESETS-FOLDER -o PAGE.html [--open]", "write an HTML page of a folder's presets",
         "Writes an HTML page showing every .q1r presets file of the folder as a framed\n"
         "thumbnail with its name. The thumbnails (JPEG) and the frame pieces (GIF) go into\n"
         "a folder \"web_images\" beside the page.\n"},
        {"info", "[--module PATH]", "show what the module says about itself: menu, modes, parameters",
         "Prints the module's menu name, category, entry point, image modes, filter cases,\n"
         "its 36 parameters with their keys, types, ranges and factory values, and the two\n"
         "enumerations.\n"},
        {"about", "[--module PATH]", "show the module's about box",
         "Shows the module's about box; without a display, prints it as text.\n"},
    };
    return commands;
}

const std::vector<OptionInfo>& OptionTable() {
    static const std::vector<OptionInfo> options = {
        {"--output", "-o", "OUT", {"render", "apply", "export-psd", "catalogue"}, "file",
         "the image file to write (may be IN); \"-\" for standard output"},
        {"--format", "", "FORMAT", {"render", "apply"}, "png jpg tif webp",
         "png, jpg, tif or webp: the output format, for -o - or a folder\n(default: OUT's extension)"},
        {"--quality", "", "N", {"render", "apply"}, "",
         "JPEG and WebP quality, 1 to 100 (default: the input's when it has the\n"
         "same format, else 92); 4:4:4 colour from 90, lossless WebP at 100"},
        {"--size", "", "WxH", {"render", "export-psd"}, "", "the canvas size (default 1024x768)"},
        {"--depth", "", "8|16", {"render", "apply", "export-psd"}, "8 16",
         "bits per channel (default: 8 for render, the input's for apply)"},
        {"--grey", "", "", {"render"}, "", "a greyscale canvas instead of RGB"},
        {"--mask", "", "FILE", {"apply", "export-psd"}, "file",
         "a grey image of IN's size: its values select (255 fully, 0 not at all);\n"
         "the filter runs over its non-zero box"},
        {"--select", "", "X,Y,W,H", {"apply", "export-psd"}, "", "filter this rectangle only"},
        {"--edit-transparency", "", "", {"apply"}, "",
         "paint the transparent parts too and let the filter change the alpha\n"
         "(default: the alpha is kept exactly, as with locked transparent pixels)"},
        {"--set", "", "NAME=VALUE", {"render", "apply", "export-psd"}, "",
         "one parameter by the name \"tesselume info\" lists, e.g. --set zoom=40\n"
         "--set \"mixer 1=12\" --set glue=screendim --set symmetry=5-fold --set mirror=on"},
        {"--play", "", "FILE", {"render", "apply", "export-psd"}, "file", "every parameter from a file written by --record"},
        {"--preset", "", "FILE.q1r", {"render", "apply", "export-psd"}, "file",
         "every parameter from a presets file the filter's dialog or --save-preset\n"
         "saved; values it lacks are the factory's"},
        {"--record", "", "FILE", {"render", "apply"}, "file", "write the parameters the module ran with, as text"},
        {"--save-preset", "", "FILE.q1r", {"render", "apply"}, "file",
         "write them as a presets file (without a thumbnail)"},
        {"--dialog", "", "", {"render", "apply"}, "",
         "edit the parameters in the filter's dialog first: OK runs, Cancel writes\n"
         "nothing and exits with 3"},
        {"--module", "", "PATH", {"render", "apply", "info", "about", "export-psd"}, "file",
         "the filter module (default: $TESSELUME_MODULE, else Tesselume.8bf beside\n"
         "this program, else the installed one)"},
        {"--open", "", "", {"catalogue"}, "", "show the page in the desktop's default program (xdg-open)"},
        {"--help", "-h", "", {"render", "apply", "info", "about", "export-psd", "catalogue"}, "", "show this help"},
    };
    return options;
}

const CommandInfo* FindCommand(const std::string& name) {
    for (const CommandInfo& command : CommandTable())
        if (name == command.name) return &command;
    return nullptr;
}

bool TakesOption(const OptionInfo& option, const std::string& command) {
    return std::find(option.commands.begin(), option.commands.end(), command) != option.commands.end();
}

namespace {

std::string Lines(const std::string& text, const std::string& indent) {
    std::string out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out += indent + line + "\n";
    return out;
}

std::string Spelling(const OptionInfo& option) {
    std::string s = *option.shortName ? std::string(option.shortName) + ", " + option.name : option.name;
    return *option.value ? s + " " + option.value : s;
}

bool FiltersImages(const std::string& command) { return command == "render" || command == "apply"; }

// roff text: backslashes and minus signs escaped, no line starting with a dot.
std::string Roff(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\') out += "\\e";
        else if (c == '-') out += "\\-";
        else if ((c == '.' || c == '\'') && (i == 0 || text[i - 1] == '\n')) out += "\\&" + std::string(1, c);
        else out += c;
    }
    return out;
}

}  // namespace

std::string MainHelp() {
    std::string help = "Usage: tesselume COMMAND [OPTIONS]\n\nRuns the Tesselume filter module on image files.\n\nCommands:\n";
    // The summaries line up two spaces after the longest name.
    std::size_t width = 0;
    for (const CommandInfo& command : CommandTable()) width = std::max(width, std::strlen(command.name) + 2);
    for (const CommandInfo& command : CommandTable()) {
        std::string name = command.name;
        name.resize(width, ' ');
        help += "  " + name + command.summary + "\n";
    }
    return help + "\n\"tesselume COMMAND --help\" lists a command's options; \"tesselume --version\" shows the version.\n";
}

std::string CommandHelp(const CommandInfo& command) {
    std::string help = std::string("Usage: tesselume ") + command.name + " " + command.arguments + "\n\n" +
                       command.description + "\n";
    for (const OptionInfo& option : OptionTable()) {
        if (!TakesOption(option, command.name)) continue;
        std::string spelling = "  " + Spelling(option);
        const std::string text = Lines(option.help, std::string(26, ' '));
        if (spelling.size() < 25) {
            spelling.resize(26, ' ');
            help += spelling + text.substr(26);
        } else {
            help += spelling + "\n" + text;
        }
    }
    if (FiltersImages(command.name)) help += std::string("\n") + kFilterCommandsNote;
    return help;
}

std::string ManualPage() {
    std::string page =
        ".TH TESSELUME 1 \"\" \"Tesselume\" \"User Commands\"\n"
        ".SH NAME\ntesselume \\- run the Tesselume filter module on image files\n.SH SYNOPSIS\n";
    for (const CommandInfo& command : CommandTable())
        page += ".B tesselume " + std::string(command.name) + "\n" + Roff(command.arguments) + "\n.br\n";
    page += ".B tesselume \\-\\-version\n.SH DESCRIPTION\n"
            "Tesselume paints symmetrical colour patterns. This program runs its filter module\n"
            "on image files, as an image editor would, without opening the editor.\n";
    for (const CommandInfo& command : CommandTable()) {
        page += ".SH " + Roff(std::string(command.name)) + "\n" + Roff(command.description);
        for (const OptionInfo& option : OptionTable())
            if (TakesOption(option, command.name))
                page += ".TP\n.B " + Roff(Spelling(option)) + "\n" + Roff(option.help) + "\n";
        if (FiltersImages(command.name)) page += ".PP\n" + Roff(kFilterCommandsNote);
    }
    page += ".SH EXIT STATUS\n0 on success; 1 when an input, the module or an output failed (for several\n"
            "inputs: when any failed); 2 for a command line that does not parse; 128 plus the\n"
            "signal's number when a signal stopped the run (130 for Ctrl\\-C).\n"
            ".SH ENVIRONMENT\n"
            ".TP\n.B TESSELUME_MODULE\nthe filter module to load when \\-\\-module is not given\n"
            ".TP\n.B TESSELUME_STATE_DIR\nwhere the module keeps its settings between runs\n"
            ".TP\n.B TESSELUME_UI\nheadless or sdl: how dialogs are shown\n"
            ".TP\n.B TMPDIR\nwhere output for standard output is prepared\n";
    return page;
}

std::string BashCompletion() {
    std::string script =
        "# bash completion for tesselume, made by \"tesselume --bash-completion\"\n"
        "_tesselume() {\n"
        "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} command=${COMP_WORDS[1]}\n"
        "    if [[ $COMP_CWORD -eq 1 ]]; then\n"
        "        COMPREPLY=($(compgen -W \"";
    for (const CommandInfo& command : CommandTable()) script += std::string(command.name) + " ";
    script += "--help --version\" -- \"$cur\"))\n        return\n    fi\n    case $prev in\n";
    for (const OptionInfo& option : OptionTable()) {
        if (!*option.value) continue;
        const std::string names = *option.shortName ? std::string(option.shortName) + "|" + option.name : option.name;
        const std::string kind = option.completion;
        script += "    " + names + ") ";
        if (kind == "file") script += "COMPREPLY=($(compgen -f -- \"$cur\")); compopt -o filenames";
        else if (kind.empty()) script += "COMPREPLY=()";
        else script += "COMPREPLY=($(compgen -W \"" + kind + "\" -- \"$cur\"))";
        script += "; return ;;\n";
    }
    script += "    esac\n    case $command in\n";
    for (const CommandInfo& command : CommandTable()) {
        script += "    " + std::string(command.name) + ") local options=\"";
        for (const OptionInfo& option : OptionTable())
            if (TakesOption(option, command.name)) script += std::string(option.name) + " ";
        script += "\" ;;\n";
    }
    script += "    *) return ;;\n    esac\n"
              "    if [[ $cur == -* ]]; then\n"
              "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
              "    else\n"
              "        COMPREPLY=($(compgen -f -- \"$cur\")); compopt -o filenames\n"
              "    fi\n"
              "}\n"
              "complete -F _tesselume tesselume\n";
    return script;
}

}  // namespace tesselume
