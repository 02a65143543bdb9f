// The JPEG decoder and the marker scanner.
#include "FuzzFile.h"
#include "store/FileLayer.h"
#include "store/ImageStore.h"
#include "store/Jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // One image for every run: a store tile is large to clear.
    static ImageStore* const store = [] {
        static ImageStore image;
        InitialiseImage(&image, nullptr);
        CreateImage(&image, 40, 30, kKindRGBA8, 0);
        return &image;
    }();
    DecodeJpeg(*store, Rect{0, 0, 30, 40}, data, size);

    platform::FileHandle file;
    if (OpenFileForReading(FuzzInputFile(data, size), file) == noErr) {
        int32_t width = 0, height = 0, components = 0;
        ScanJpegHeader(file, width, height, components);
        CloseFile(file);
    }
    return 0;
}
