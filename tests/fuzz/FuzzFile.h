// The fuzz targets' input as a file: the readers under test read through the file layer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

// Writes the input to a private file and returns its path (the same file each run).
inline const char* FuzzInputFile(const uint8_t* data, std::size_t size) {
    static const std::string path = [] {
        const char* tmp = std::getenv("TMPDIR");
        return std::string(tmp && *tmp ? tmp : "/tmp") + "/tesselume-fuzz-" + std::to_string(::getpid());
    }();
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) std::abort();
    if (size) std::fwrite(data, 1, size, file);
    std::fclose(file);
    return path.c_str();
}
