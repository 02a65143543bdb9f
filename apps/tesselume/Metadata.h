// EXIF, XMP and IPTC carried from an input file to an output file, read and written
// by Exiv2. The orientation and every other tag travel as they were: the pixels are
// not turned, so the tag that tells viewers how to show them stays true.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tesselume {

class FileMetadata {
public:
    struct Data;
    explicit FileMetadata(std::unique_ptr<Data> data);
    ~FileMetadata();
    const Data& Get() const { return *data; }

    // The resolution EXIF states, in pixels per inch; false when it states none.
    bool Resolution(double& x, double& y) const;

private:
    std::unique_ptr<Data> data;
};

// The metadata in an image held in memory; null when it has none or Exiv2 cannot
// read it (the image itself may still be fine).
std::shared_ptr<const FileMetadata> ReadMetadata(const uint8_t* bytes, std::size_t size);

// Adds metadata to the image file at path, written just before. False with one line in error.
bool WriteMetadata(const std::string& path, const FileMetadata& metadata, std::string& error);

}  // namespace tesselume
