// Metadata through Exiv2, kept behind FileMetadata so that nothing else sees its types.
#include "Metadata.h"

#include <exiv2/exiv2.hpp>

namespace tesselume {

struct FileMetadata::Data {
    Exiv2::ExifData exif;
    Exiv2::XmpData xmp;
    Exiv2::IptcData iptc;
};

FileMetadata::FileMetadata(std::unique_ptr<Data> d) : data(std::move(d)) {}
FileMetadata::~FileMetadata() = default;

namespace {

// Exiv2 logs to stderr by default; the command line reports in its own words.
void QuietExiv2() {
    static const bool quiet = [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
        return true;
    }();
    (void)quiet;
}

}  // namespace

bool FileMetadata::Resolution(double& x, double& y) const {
    // A tag from a damaged file may hold no value or one of a strange type, and
    // Exiv2 throws when asked to convert it: such a file simply has no resolution.
    try {
        const auto xs = data->exif.findKey(Exiv2::ExifKey("Exif.Image.XResolution"));
        const auto ys = data->exif.findKey(Exiv2::ExifKey("Exif.Image.YResolution"));
        if (xs == data->exif.end() || ys == data->exif.end()) return false;
        const auto unit = data->exif.findKey(Exiv2::ExifKey("Exif.Image.ResolutionUnit"));
        const double perInch = unit != data->exif.end() && unit->toLong() == 3 ? 2.54 : 1.0;
        x = xs->toFloat() * perInch;
        y = ys->toFloat() * perInch;
        return x > 0 && y > 0;
    } catch (const std::exception&) {
        return false;
    }
}

std::shared_ptr<const FileMetadata> ReadMetadata(const uint8_t* bytes, std::size_t size) {
    QuietExiv2();
    try {
        auto image = Exiv2::ImageFactory::open(bytes, long(size));
        if (!image.get()) return nullptr;
        image->readMetadata();
        auto data = std::make_unique<FileMetadata::Data>();
        data->exif = image->exifData();
        data->xmp = image->xmpData();
        data->iptc = image->iptcData();
        if (data->exif.empty() && data->xmp.empty() && data->iptc.empty()) return nullptr;
        return std::make_shared<FileMetadata>(std::move(data));
    } catch (const std::exception&) {
        return nullptr;
    }
}

bool WriteMetadata(const std::string& path, const FileMetadata& metadata, std::string& error) {
    QuietExiv2();
    try {
        auto image = Exiv2::ImageFactory::open(path);
        image->readMetadata();  // keeps what the encoder wrote (profile, resolution)
        // Each kind goes where the format can hold it (WebP has no IPTC, for one).
        const FileMetadata::Data& d = metadata.Get();
        auto writable = [&](Exiv2::MetadataId id) { return (image->checkMode(id) & Exiv2::amWrite) != 0; };
        if (!d.exif.empty() && writable(Exiv2::mdExif)) image->setExifData(d.exif);
        if (!d.xmp.empty() && writable(Exiv2::mdXmp)) image->setXmpData(d.xmp);
        if (!d.iptc.empty() && writable(Exiv2::mdIptc)) image->setIptcData(d.iptc);
        image->writeMetadata();
        return true;
    } catch (const std::exception& e) {
        error = std::string("cannot write the metadata: ") + e.what();
        return false;
    }
}

}  // namespace tesselume
