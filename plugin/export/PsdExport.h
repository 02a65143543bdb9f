// The PSD export job: renders the settings at the full size of the filter rectangle
// into an image of the store, through the render plan with the store as each row's
// sink, and writes it as a layered PSD document.
//
// The document is written under a temporary name beside the chosen one and put in
// its place when it is complete. A cancel stops the render, not the document: the
// layer holds the rows rendered until then and the rest stays transparent, and that
// document takes its place as well. A document in which a write failed never does:
// the writing goes on to the end, then the temporary is removed and a file of that
// name stays as it was. The job reads the settings and the host's record and changes
// neither.
#pragma once

#include <cstdint>

#include "PIFilter.h"

struct Settings;
struct WeightTable;

// The export's answers besides noErr and the file layer's errors.
constexpr OSErr kExportCancelled = 199;   // the user cancelled (also: a file dialog)
constexpr OSErr kExportNoStore = -99;     // the image could not be had

// How an export shows its progress and learns that the user cancelled: the export
// progress window, or a test.
struct ExportWatch {
    void* context;
    void (*progress)(void* context, int32_t done, int32_t total);  // rows of the current pass
    bool (*cancelled)(void* context);   // true from the user's Cancel on
    void (*cancelling)(void* context);  // the render is stopping at the user's request
};

// What one export renders and where it goes.
struct PsdExportJob {
    const Settings* settings;
    Rect area;                    // the filter rectangle, in image coordinates
    const FilterRecord* record;   // the image's mode and depth, its ICC profile, the abort test
    const WeightTable* weights;   // the resampling weights every store image shares
    const char* path;
};

// Whether to stop: the host's abort test, or the user's Cancel.
bool ExportCancelled(const FilterRecord& record, const ExportWatch& watch);

// Bytes per channel of the document for the host's image: 2 for 16-bit images, 4 for
// 32-bit ones, else 1.
int32_t PsdBytesPerChannel(const FilterRecord& record);

// Exports. noErr when the file is in place; kExportCancelled when the user cancelled
// (the completed document is in place); kExportNoStore, kOpenErr (the file cannot be
// written there) or writErr, with nothing put in place.
OSErr ExportPsd(const PsdExportJob& job, const ExportWatch& watch);
