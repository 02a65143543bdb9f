// Save and Load in the main dialog: the presets file through the toolkit's file
// dialogs, with a thumbnail of the current settings.
#pragma once

struct MainDialog;
struct ImageStore;
struct Settings;

// A click on Save (6) or Load (8); other ids do nothing. True when the preview must
// be refreshed (a preset was loaded).
bool PresetsClick(MainDialog& dialog, int id);

// Renders the pattern of the settings into the run's 128 x 128 thumbnail image.
void RenewThumbnail(ImageStore* thumbnail, const Settings& settings);
