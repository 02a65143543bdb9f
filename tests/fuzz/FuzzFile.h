// What the fuzz targets share: the input as a file (the readers under test read
// through the file layer) and a thumbnail image.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "store/ImageStore.h"

// A private path in the temporary folder: name, then this process's id.
inline std::string FuzzTempPath(const char* name) {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/" + name + std::to_string(::getpid());
}

// Writes the input to a private file and returns its path (the same file each run).
inline const char* FuzzInputFile(const uint8_t* data, std::size_t size) {
    static const std::string path = FuzzTempPath("tesselume-fuzz-");
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) std::abort();
    if (size) std::fwrite(data, 1, size, file);
    std::fclose(file);
    return path.c_str();
}

// A side x side thumbnail kept for every run: a store tile is large to clear.
inline ImageStore* FuzzThumbnail(int32_t side) {
    static ImageStore image;
    static const bool made = (InitialiseImage(&image, nullptr), CreateImage(&image, side, side, kKindRGBA8, 0));
    (void)made;
    return &image;
}
