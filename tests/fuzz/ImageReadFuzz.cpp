// The command line's image readers (PNG, JPEG, TIFF, WebP), recognised by content.
#include <cstdlib>
#include <new>

#include "ImageFiles.h"

// The run's machine gives one allocation at most 256 MB: a file that may claim an
// image up to the pixel limit in a few bytes (lossless WebP, progressive JPEG) then
// meets a machine short of memory, as a user's might, and the reader must fail
// cleanly; the command line turns bad_alloc into "out of memory".
constexpr std::size_t kAllocationBudget = std::size_t(256) << 20;

void* Allocate(std::size_t size) {
    if (size <= kAllocationBudget)
        if (void* block = std::malloc(size ? size : 1)) return block;
    return nullptr;
}

void* operator new(std::size_t size) {
    if (void* block = Allocate(size)) return block;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    tesselume::ImageFile file;
    std::string error;
    try {
        if (!tesselume::ReadImage(data, size, file, error)) return 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
    // What was read is a whole image of the size it says.
    const filterhost::Image& image = file.image;
    if (image.width <= 0 || image.height <= 0 ||
        image.samples.size() != std::size_t(image.width) * std::size_t(image.height) * std::size_t(image.Planes()))
        std::abort();
    return 0;
}
