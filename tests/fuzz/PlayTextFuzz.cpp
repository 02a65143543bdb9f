// The command line's --play text: parsed, checked against the module's terminology,
// and what parses must come back the same through the text the command line writes.
#include <cstdlib>

#include "DescriptorText.h"
#include "FilterHost.h"
#include "ParameterNames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static const filterhost::Terminology terms = [] {
        filterhost::ModuleInfo info;
        std::string error;
        if (!filterhost::ReadModuleInfo(TESSELUME_MODULE_PATH, info, error)) std::abort();
        return info.terms;
    }();
    filterhost::Descriptor descriptor;
    std::string error;
    if (!tesselume::ParseDescriptor({reinterpret_cast<const char*>(data), size}, descriptor, error)) return 0;
    for (const filterhost::DescriptorItem& item : descriptor) tesselume::CheckItem(terms, item, error);
    filterhost::Descriptor again;
    if (!tesselume::ParseDescriptor(tesselume::FormatDescriptor(descriptor, terms), again, error) ||
        again.size() != descriptor.size())
        std::abort();
    for (std::size_t i = 0; i < again.size(); ++i) {
        const filterhost::DescriptorItem &a = again[i], &b = descriptor[i];
        if (a.key != b.key || a.type != b.type || a.value != b.value || a.enumType != b.enumType ||
            a.enumValue != b.enumValue)
            std::abort();
    }
    return 0;
}
