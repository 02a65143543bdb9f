// The PSD export job: metadata, the store image, the render, the temporary file.
#include "export/PsdExport.h"

#include <cstdio>
#include <string>

#include "export/PsdWriter.h"
#include "export/StoreRender.h"
#include "pattern/RenderPlan.h"
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

// The render of the layer, set up before anything is written, and whether the user
// cancelled it.
struct LayerRender {
    const PsdExportJob* job;
    const ExportWatch* watch;
    StoreRender* render;
    bool cancelled;
};

// The full-size render: every row of the area into the image, with progress before
// each row and a look for a cancel on seven rows of every eight. A cancel stops it
// with the rows done so far in the image and the rest transparent.
void RenderLayer(void* context) {
    auto& layer = *static_cast<LayerRender*>(context);
    const int32_t height = layer.render->Height();
    for (int32_t row = 0; row < height && !layer.cancelled; ++row) {
        layer.watch->progress(layer.watch->context, row, height + 1);
        layer.render->Row(row);
        layer.cancelled = (row & 7) != 7 && ExportCancelled(*layer.job->record, *layer.watch);
    }
    if (layer.cancelled) layer.watch->cancelling(layer.watch->context);
}

OSErr WriteDocument(const char* temp, const PsdDocument& document, LayerRender& layer) {
    platform::FileHandle file;
    if (OpenFileForWriting(temp, file) != noErr) return kOpenErr;
    const OSErr result = WritePsd(file, document, RenderLayer, &layer);
    CloseFile(file);
    // A cancel that comes after the last row counts too; the document is whole then.
    if (!layer.cancelled) layer.cancelled = ExportCancelled(*layer.job->record, *layer.watch);
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
        StoreRender render(*job.settings, job.area, ImageFormatOf(record), job.weights, image);
        if (render.Ready()) {
            const bool profile = record.iCCprofileData && record.iCCprofileSize > 0;
            const PsdDocument document{&image,
                                       bytesPerChannel,
                                       profile ? LockHandle(record.iCCprofileData, false) : nullptr,
                                       profile ? record.iCCprofileSize : 0,
                                       &iptc.block,
                                       &exif};
            LayerRender layer{&job, &watch, &render, false};
            result = WriteDocument(pending.TempPath().c_str(), document, layer);
            if (profile) UnlockHandle(record.iCCprofileData);
            // A cancelled document is complete too and takes its place; one with a
            // failed write does not, and the file of that name stays as it was.
            if (result == noErr && !pending.Commit(error)) result = kOpenErr;
            if (result == noErr && layer.cancelled) result = kExportCancelled;
        }
    }
    ReleaseImage(&image);
    ReleaseMetadataBlock(iptc.block);
    ReleaseMetadataBlock(exif);
    return result;
}
