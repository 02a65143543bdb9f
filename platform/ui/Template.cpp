// Parsing of the text form of dialog templates.
#include "platform/ui/Template.h"

#include <cctype>
#include <sstream>
#include <string_view>
#include <utility>

namespace ui {

namespace {

// Splits a line into words; a word in double quotes keeps its spaces and reads \" and
// \\ as " and \. False on an unterminated quote.
bool Words(std::string_view line, std::vector<std::string>& words) {
    words.clear();
    std::size_t at = 0;
    while (at < line.size()) {
        if (std::isspace(static_cast<unsigned char>(line[at]))) {
            ++at;
            continue;
        }
        std::string word;
        if (line[at] == '"') {
            for (++at;; ++at) {
                if (at >= line.size()) return false;
                if (line[at] == '"') break;
                if (line[at] == '\\' && at + 1 < line.size()) ++at;
                word += line[at];
            }
            ++at;
        } else {
            while (at < line.size() && !std::isspace(static_cast<unsigned char>(line[at]))) word += line[at++];
        }
        words.push_back(std::move(word));
    }
    return true;
}

bool Number(const std::string& word, int& value) {
    if (word.empty() || word.size() > 9) return false;
    std::size_t used = 0;
    try {
        value = std::stoi(word, &used);
    } catch (...) {
        return false;
    }
    return used == word.size();
}

bool Rectangle(const std::vector<std::string>& words, std::size_t first, Rect& r) {
    int x, y, width, height;
    if (words.size() < first + 4 || !Number(words[first], x) || !Number(words[first + 1], y) ||
        !Number(words[first + 2], width) || !Number(words[first + 3], height) || width < 0 || height < 0)
        return false;
    r = {x, y, x + width, y + height};
    return true;
}

constexpr std::pair<std::string_view, ControlClass> kClasses[] = {
    {"static", ControlClass::Static},     {"edit", ControlClass::Edit},
    {"button", ControlClass::Button},     {"checkbox", ControlClass::CheckBox},
    {"combobox", ControlClass::ComboBox}, {"listbox", ControlClass::ListBox},
};

constexpr std::pair<std::string_view, unsigned> kStyles[] = {
    {"hidden", kStyleHidden}, {"disabled", kStyleDisabled}, {"bitmap", kStyleBitmap},
    {"icon", kStyleIcon},     {"default", kStyleDefault},   {"left", 0},
    {"center", kStyleCenter}, {"right", kStyleRight},       {"sunken", kStyleSunken},
    {"border", kStyleBorder},
};

bool ParseControl(const std::vector<std::string>& words, ControlClass controlClass, ControlTemplate& control) {
    control.controlClass = controlClass;
    if (words.size() < 7 || !Number(words[1], control.id) || !Rectangle(words, 2, control.units)) return false;
    control.text = words[6];
    for (std::size_t i = 7; i < words.size(); ++i) {
        bool known = false;
        for (const auto& [name, bit] : kStyles) {
            if (words[i] == name) control.style |= bit, known = true;
        }
        if (!known) return false;
    }
    return true;
}

bool ParseLine(const std::vector<std::string>& words, DialogTemplate& dialog, bool& sawDialog) {
    const std::string& keyword = words[0];
    if (keyword == "dialog") {
        sawDialog = words.size() == 5 && Rectangle(words, 1, dialog.units);
        return sawDialog;
    }
    if (!sawDialog) return false;
    if (keyword == "caption") {
        if (words.size() != 2) return false;
        dialog.caption = words[1];
        return true;
    }
    if (keyword == "font") {
        if (words.size() != 3 || !Number(words[2], dialog.pointSize) || dialog.pointSize <= 0) return false;
        dialog.fontFamily = words[1];
        return true;
    }
    if (keyword == "style") {
        for (std::size_t i = 1; i < words.size(); ++i) {
            if (words[i] != "sysmenu") return false;
            dialog.systemMenu = true;
        }
        return true;
    }
    for (const auto& [name, controlClass] : kClasses) {
        if (keyword == name) {
            ControlTemplate control;
            if (!ParseControl(words, controlClass, control)) return false;
            dialog.controls.push_back(std::move(control));
            return true;
        }
    }
    return false;
}

}  // namespace

bool ParseTemplate(std::span<const std::uint8_t> bytes, DialogTemplate& dialog, int* errorLine) {
    dialog = {};
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    std::string line;
    std::vector<std::string> words;
    bool sawDialog = false;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        if (!Words(line, words) || !ParseLine(words, dialog, sawDialog)) {
            if (errorLine) *errorLine = number;
            return false;
        }
    }
    if (!sawDialog && errorLine) *errorLine = 0;
    return sawDialog;
}

}  // namespace ui
