// filterhost's reader of a module file's resources, property list and terminology.
#include "FilterHost.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::vector<uint8_t> file(data, data + size);
    std::vector<filterhost::Resource> resources;
    std::string error;
    if (!filterhost::ReadResourceBytes(file, "fuzz", resources, error)) return 0;
    for (const filterhost::Resource& r : resources) {
        filterhost::PropertyList list;
        filterhost::Terminology terms;
        if (filterhost::ParsePropertyList(r.bytes, list, error))
            filterhost::AcceptsImageMode(list, plugInModeRGBColor, true);
        filterhost::ParseTerminology(r.bytes, terms, error);
    }
    return 0;
}
