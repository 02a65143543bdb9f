// Real readers of the catalogue pages (tidy, headless Chromium, ImageMagick) and the
// shell that runs them and other tools; callers skip with a message where one is missing.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "support/StateFiles.h"

namespace pagecheck {

// Runs a shell command line; its exit status.
inline int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline bool HaveTool(const std::string& name) { return Shell("command -v " + name + " >/dev/null 2>&1") == 0; }

// Runs a shell command and returns its standard output.
inline std::string Output(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[4096];
        for (std::size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, n);
        pclose(pipe);
    }
    return out;
}

inline std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

inline std::size_t Count(const std::string& text, const std::string& piece) {
    std::size_t n = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
    return n;
}

// tidy's report on the page's HTML, which names every error "Error:".
inline std::string TidyReport(const std::string& page) {
    return Output("tidy -errors -q " + Quoted(page) + " 2>&1");
}

inline std::string Chromium(const std::string& url) {
    return Output(
        "chromium --headless --no-sandbox --disable-gpu --disable-background-networking "
        "--disable-component-update --disable-sync --no-first-run --allow-file-access-from-files "
        "--user-data-dir=" + Quoted(testsupport::StatePath("chromium")) + " --dump-dom " + Quoted(url) +
        " 2>/dev/null");
}

// "N B": the images Chromium finds on the page once it has loaded, and how many of
// them did not load (no natural width). The page is read in a frame of a checking
// page beside it, whose script counts.
inline std::string ChromiumImages(const std::string& page) {
    const std::string checker = page + ".check.html";
    std::ofstream(checker) << "<!DOCTYPE html><html><body><iframe id=\"f\" src=\"file://" << page
                           << "\"></iframe><script>\n"
                              "window.onload = function () {\n"
                              "  var images = document.getElementById('f').contentDocument.images, broken = 0;\n"
                              "  for (var i = 0; i < images.length; ++i)\n"
                              "    if (!images[i].complete || images[i].naturalWidth == 0) ++broken;\n"
                              "  document.body.setAttribute('data-images', images.length + ' ' + broken);\n"
                              "};\n</script></body></html>\n";
    const std::string dom = Chromium("file://" + checker);
    const std::size_t at = dom.find("data-images=\"");
    if (at == std::string::npos) return "no answer: " + dom;
    return dom.substr(at + 13, dom.find('"', at + 13) - at - 13);
}

}  // namespace pagecheck
