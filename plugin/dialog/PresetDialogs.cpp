// Save and Load of presets from the main dialog, and the settings thumbnail.
#include "dialog/PresetDialogs.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "dialog/MainDialog.h"
#include "store/Jpeg.h"
#include "pattern/ColourWaves.h"
#include "pattern/Geometry.h"
#include "pattern/PatternField.h"
#include "platform/ui/FileDialogs.h"
#include "settings/PresetsFile.h"
#include "settings/Settings.h"

namespace {

constexpr char kDefaultName[] = "Tesselume settings.q1r";
constexpr char kExtension[] = ".q1r";

// Copies text into a fixed path field; false (field unchanged) when it does not fit.
bool CopyPath(char (&to)[kPathCapacity], const std::string& text) {
    if (text.size() >= kPathCapacity) return false;
    std::memcpy(to, text.c_str(), text.size() + 1);
    return true;
}

std::string WithoutExtension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

ui::FileDialogOptions PresetsOptions(MainDialog& dialog, const char* title) {
    ui::FileDialogOptions options;
    options.title = title;
    options.types = {{"Tesselume presets (*.q1r)", "*.q1r"}};
    options.folder = dialog.settings->settingsFolder;
    options.name = WithoutExtension(dialog.settings->settingsFileName);
    const FilterRecord* record = dialog.host.filterRecord;
    options.parent = record && record->platformData ? record->platformData->hwnd : nullptr;
    return options;
}

// Remembers the chosen file: its name for the status line, its folder for next time.
void RememberChoice(Settings& settings, const std::string& path) {
    const std::size_t slash = path.rfind('/');
    CopyPath(settings.settingsFileName, slash == std::string::npos ? path : path.substr(slash + 1));
    CopyPath(settings.settingsFolder, slash == std::string::npos ? std::string() : path.substr(0, slash));
}

void Save(MainDialog& dialog) {
    Settings& settings = *dialog.settings;
    RenewThumbnail(dialog.host.thumbnail, settings);
    std::string name = settings.settingsFileName;
    if (name.empty()) name = kDefaultName;
    name = WithoutExtension(name) + kExtension;
    CopyPath(settings.settingsFileName, name);
    const std::string path = ui::ChooseFileToSave(PresetsOptions(dialog, "Save a settings file"));
    if (!path.empty() && SaveSettingsFile(settings, dialog.host.thumbnail, path.c_str()) == noErr)
        RememberChoice(settings, path);
    ShowPresetName(dialog);
}

bool Load(MainDialog& dialog) {
    Settings& settings = *dialog.settings;
    const std::string path = ui::ChooseFileToOpen(PresetsOptions(dialog, "Open a settings file"));
    if (path.empty()) return false;
    FactoryReset(settings);
    bool thumbnailRead = false;
    LoadSettingsFile(settings, dialog.host.thumbnail, path.c_str(), PresetsRead::everything, thumbnailRead);
    RememberChoice(settings, path);
    SettingsToControls(dialog);
    ShowPresetName(dialog);
    return true;
}

}  // namespace

bool PresetsClick(MainDialog& dialog, int id) {
    if (id == controlid::kSave) Save(dialog);
    return id == controlid::kLoad && Load(dialog);
}

void RenewThumbnail(ImageStore* thumbnail, const Settings& settings) {
    if (!thumbnail || thumbnail->tileCount == 0) return;
    const int32_t size = thumbnail->fullWidth;
    // The pattern alone over a square of the thumbnail's size, as the final render
    // would colour it: every channel cycles with the density.
    Settings square = settings;
    square.previewScale = 1;
    square.previewPanX = square.previewPanY = 0;
    square.redCycles = square.greenCycles = square.blueCycles = settings.density;
    const GeometryConstants geometry = MakeGeometryConstants(square, Rect{0, 0, int16_t(size), int16_t(size)});
    const FieldConstants field = MakeFieldConstants(square);
    ColourTables tables;
    BuildColourTables(square, tables);
    float x[kThumbnailMaxSide], y[kThumbnailMaxSide], t[kThumbnailMaxSide];
    for (int32_t row = 0; row < thumbnail->fullHeight; ++row) {
        const int32_t count = std::min(size, kThumbnailMaxSide);
        MapRow(geometry, row, 0, count, x, y);
        PatternRow(field, x, y, count, t);
        for (int32_t column = 0; column < count; ++column) {
            const int32_t index = ColourIndex(t[column]);
            setRGBA(column, row, thumbnail, 0, tables.red[index], tables.green[index], tables.blue[index], 255);
        }
    }
}
