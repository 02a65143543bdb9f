// The command line's image readers (PNG, JPEG, TIFF, WebP), recognised by content.
#include "ImageFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    tesselume::ImageFile file;
    std::string error;
    if (tesselume::ReadImage(data, size, file, error)) {
        const filterhost::Image& image = file.image;
        // What was read is a whole image of the size it says.
        if (image.width <= 0 || image.height <= 0 ||
            image.samples.size() != std::size_t(image.width) * std::size_t(image.height) * std::size_t(image.Planes()))
            std::abort();
    }
    return 0;
}
