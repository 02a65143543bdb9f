// The PSD export job: metadata, the store image, the render, the temporary file.
#include "export/PsdExport.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "export/PsdWriter.h"
#include "pattern/Compositing.h"
#include "pattern/RenderPlan.h"
#include "pattern/RowKernels.h"
#include "settings/Settings.h"
#include "store/FileLayer.h"
#include "store/Glue.h"
#include "store/HostUtil.h"
#include "store/ImageStore.h"
#include "store/Metadata.h"

namespace {

// The keywords of a document: the high dynamic range for float ones, the symmetry,
// and the glue mode unless it is "normal".
void FillKeywords(KeywordList& keywords, const Settings& settings, int32_t bytesPerChannel) {
    ClearKeywords(keywords);
    if (bytesPerChannel == 4) {
        AddKeyword(keywords, "HDR");
        AddKeyword(keywords, "high dynamic range");
    }
    char symmetry[24];
    std::snprintf(symmetry, sizeof symmetry, "symmetry%d", int(settings.symmetry) + 1);
    AddKeyword(keywords, symmetry);
    if (settings.glue != 1) AddKeyword(keywords, std::string(GlueModeName(settings.glue)).c_str());
}

// Level 0 starts transparent black: the glue modes read the image as their source.
void ClearImage(ImageStore& image) {
    for (int32_t t = image.firstTile[0]; t <= image.lastTile[0]; ++t)
        std::memset(image.tiles[t].pixels, 0,
                    std::size_t(TilePixelCount(&image, t)) * std::size_t(image.bytesPerPixel));
}

struct LayerRender {
    const PsdExportJob* job;
    const ExportWatch* watch;
    ImageStore* image;
};

// The full-size render: every row of the area through the plan into the image, as
// render start and the row loop would (the colour waves' cycles from density, the
// smooth history at -1), with progress before each row and a look for a cancel on
// seven rows of every eight. False when cancelled.
bool RenderLayer(void* context) {
    const auto& layer = *static_cast<LayerRender*>(context);
    const PsdExportJob& job = *layer.job;
    const int32_t width = layer.image->fullWidth, height = layer.image->fullHeight;
    Settings settings = *job.settings;
    settings.redCycles = settings.greenCycles = settings.blueCycles = settings.density;

    Buffer block;
    const std::size_t historyLength = std::size_t(width) + 2;
    if (AllocateBuffer(int32_t(sizeof(RenderPlan) + historyLength * sizeof(float)), block) != noErr) return false;
    auto* plan = static_cast<RenderPlan*>(block.data);
    auto* history = reinterpret_cast<float*>(static_cast<uint8_t*>(block.data) + sizeof(RenderPlan));
    std::fill(history, history + historyLength, -1.0f);
    ImageStore ramp;
    InitialiseImage(&ramp, job.weights);
    CreateImage(&ramp, 256, 1, kKindRGBA8, 0);  // without it smooth reads zeros, as in any render
    // Every level gives the reference's bytes; the export takes the fastest.
    BuildRenderPlan(settings, job.area, ImageFormatOf(*job.record), AvailableSimdLevels().back(), ramp, *plan);

    bool cancelled = false;
    for (int32_t row = 0; row < height && !cancelled; ++row) {
        layer.watch->progress(layer.watch->context, row, height + 1);
        SmoothState smooth{history, int32_t(historyLength), -1.0f};
        RenderPlanRow(*plan, row, StoreRowEnds(*layer.image, row), smooth, nullptr);
        cancelled = (row & 7) != 7 && ExportCancelled(*job.record, *layer.watch);
    }
    if (cancelled) layer.watch->cancelling(layer.watch->context);
    ReleaseImage(&ramp);
    ReleaseBuffer(block);
    return !cancelled;
}

OSErr WriteDocument(const char* temp, const PsdDocument& document, LayerRender& layer) {
    platform::FileHandle file;
    if (OpenFileForWriting(temp, file) != noErr) return kOpenErr;
    OSErr result = WritePsd(file, document, RenderLayer, &layer);
    CloseFile(file);
    // A cancel that comes after the last row still keeps the file from its place.
    if (result == userCanceledErr || ExportCancelled(*layer.job->record, *layer.watch)) result = kExportCancelled;
    return result;
}

}  // namespace

bool ExportCancelled(const FilterRecord& record, const ExportWatch& watch) {
    return (record.abortProc && record.abortProc()) || watch.cancelled(watch.context);
}

int32_t PsdBytesPerChannel(const FilterRecord& record) {
    const int16_t mode = record.imageMode;
    if ((mode == plugInModeGrayScale || mode == plugInModeRGBColor) && record.depth < 9) return 1;
    if ((mode == plugInModeGray16 || mode == plugInModeRGB48) && record.depth == 16) return 2;
    if (mode == plugInModeRGB96 || mode == plugInModeGray32 || record.depth == 32) return 4;
    return 1;
}

OSErr ExportPsd(const PsdExportJob& job, const ExportWatch& watch) {
    const FilterRecord& record = *job.record;
    // The document appears whole or not at all; a cancel or a failure leaves no file.
    platform::PendingFile pending;
    std::string error;
    if (!job.path || !pending.Open(job.path, error)) return kOpenErr;
    const int32_t bytesPerChannel = PsdBytesPerChannel(record);

    IptcBlock iptc{};
    MetadataBlock exif{};
    FillKeywords(iptc.keywords, *job.settings, bytesPerChannel);
    BuildIptcBlock(iptc, false, false);
    BuildExifBlock(exif, false, false);

    ImageStore image;
    InitialiseImage(&image, job.weights);
    OSErr result = kExportNoStore;
    if (CreateImage(&image, job.area.right - job.area.left, job.area.bottom - job.area.top,
                    PsdStoreKind(bytesPerChannel), kNoPyramid)) {
        ClearImage(image);
        const bool profile = record.iCCprofileData && record.iCCprofileSize > 0;
        const PsdDocument document{&image,
                                   bytesPerChannel,
                                   profile ? LockHandle(record.iCCprofileData, false) : nullptr,
                                   profile ? record.iCCprofileSize : 0,
                                   &iptc.block,
                                   &exif};
        LayerRender layer{&job, &watch, &image};
        result = WriteDocument(pending.TempPath().c_str(), document, layer);
        if (profile) UnlockHandle(record.iCCprofileData);
        if (result == noErr && !pending.Commit(error)) result = kOpenErr;
    }
    ReleaseImage(&image);
    ReleaseMetadataBlock(iptc.block);
    ReleaseMetadataBlock(exif);
    return result;
}
