// The open-file and save-file dialogs, and opening a file with the desktop's default
// program. The file dialogs are toolkit dialogs like any other: a folder listing, a
// name field and a file-type list, usable with the mouse or the keyboard (type a
// name and press Enter; a folder's name or ".." moves there).
#pragma once

#include <string>
#include <vector>

#include "PIFilter.h"

namespace ui {

struct FileType {
    std::string label;    // "Photoshop files (*.psd)"
    std::string pattern;  // "*.psd"; several patterns separated by ';'
};

struct FileDialogOptions {
    std::string title;
    std::vector<FileType> types;  // the first is chosen at the start; none lists every file
    std::string folder;           // empty or missing: the current folder
    std::string name;             // offered in the name field
    const PIWindowGeometry* parent = nullptr;
};

// The chosen file's path, or an empty string when the user cancelled. Opening
// accepts only an existing file. Saving accepts a name in an existing folder and adds
// the chosen type's extension to a name that has none.
std::string ChooseFileToOpen(const FileDialogOptions& options);
std::string ChooseFileToSave(const FileDialogOptions& options);

// Hands the file to the desktop's default program (xdg-open) without waiting for it.
bool OpenWithDefaultProgram(const std::string& path);

}  // namespace ui
