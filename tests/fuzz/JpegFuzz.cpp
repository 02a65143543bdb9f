// The JPEG decoder and the marker scanner.
#include "FuzzFile.h"
#include "store/FileLayer.h"
#include "store/Jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    ImageStore* const store = FuzzThumbnail(40);
    DecodeJpeg(*store, Rect{0, 0, 30, 40}, data, size);  // 40 x 30 of the 40 x 40 store

    platform::FileHandle file;
    if (OpenFileForReading(FuzzInputFile(data, size), file) == noErr) {
        int32_t width = 0, height = 0, components = 0;
        ScanJpegHeader(file, width, height, components);
        CloseFile(file);
    }
    return 0;
}
