// The memory-dots page: each filled dot rendered into a store image and written as
// a picture cell.
#include "export/DotsPage.h"

#include <cstdio>

#include "export/HtmlPages.h"
#include "export/StoreRender.h"
#include "settings/Settings.h"
#include "store/ImageStore.h"

OSErr WriteMemoryDotsPage(const DotsPageJob& job, const char* pagePath, int& dotCount) {
    dotCount = 0;
    PageBuilder page;
    if (const OSErr result = StartPage(page, pagePath, PageKind::memoryDots, {}); result != noErr) return result;

    int32_t width = 0, height = 0;
    DotPictureSize(job.area.right - job.area.left, job.area.bottom - job.area.top, width, height);
    const Rect pictureArea{0, 0, int16_t(height), int16_t(width)};
    ImageFormat format = job.format;
    format.depth = DepthClass::bits8;  // JPEG pictures
    ImageStore picture;
    InitialiseImage(&picture, job.weights);
    const bool havePicture = CreateImage(&picture, width, height, kKindRGBA8, kNoPyramid);

    for (int n = 0; n < kMemoryDotCount; ++n) {
        if (!job.filled[n]) continue;
        // The dot's file is read over a copy, as a recall would read it over the
        // current settings; the dialog's own settings are never touched.
        Settings dot = *job.settings;
        if (LoadMemoryDot(dot, nullptr, n) != noErr) continue;
        char name[16];
        std::snprintf(name, sizeof name, "dot %d", n + 1);
        if (havePicture && RenderIntoStore(dot, pictureArea, format, job.weights, picture))
            WritePagePicture(page, picture, name);
        AddImageCell(page, name, name, width, height);
        ++dotCount;
    }
    ReleaseImage(&picture);
    return EndPage(page);
}
