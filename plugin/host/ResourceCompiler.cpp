// Build tool: writes the module's resource directory (see PIResources.h).
//
//   tesselume_rsrc OUT [--raw TYPE ID NAME FILE]...
//
// The property list, terminology and string table come from their builders; every
// --raw entry adds FILE's bytes as resource TYPE (four characters), ID and NAME
// ("-" for none). The output is written to a temporary name and renamed, so a
// failed run leaves no partial directory behind.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "PIFilter.h"
#include "PIResources.h"
#include "host/Resources.h"

namespace {

struct Resource {
    std::uint32_t type;
    std::int32_t id;
    std::string name;
    Bytes bytes;
};

void Put32(Bytes& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}

Bytes Directory(const std::vector<Resource>& resources) {
    const std::size_t headerSize = sizeof(PIResourceDirectory) + resources.size() * sizeof(PIResourceEntry);
    Bytes out(headerSize, 0);
    std::memcpy(out.data(), kPIResourceMagic, 4);
    Put32(out, 4, kPIResourceVersion);
    Put32(out, 8, std::uint32_t(resources.size()));
    std::size_t entry = sizeof(PIResourceDirectory);
    for (const Resource& r : resources) {
        out.resize((out.size() + 3) / 4 * 4, 0);
        Put32(out, entry + offsetof(PIResourceEntry, type), r.type);
        Put32(out, entry + offsetof(PIResourceEntry, id), std::uint32_t(r.id));
        std::memcpy(out.data() + entry + offsetof(PIResourceEntry, name), r.name.c_str(), r.name.size());
        Put32(out, entry + offsetof(PIResourceEntry, offset), std::uint32_t(out.size()));
        Put32(out, entry + offsetof(PIResourceEntry, size), std::uint32_t(r.bytes.size()));
        out.insert(out.end(), r.bytes.begin(), r.bytes.end());
        entry += sizeof(PIResourceEntry);
    }
    Put32(out, 12, std::uint32_t(out.size()));
    return out;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "tesselume_rsrc: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Fail("usage: tesselume_rsrc OUT [--raw TYPE ID NAME FILE]...");
    std::vector<Resource> resources = {
        {PIPLType, kPIPropertyListId, "", BuildPropertyList()},
        {AETEType, kPITerminologyId, "", BuildTerminology()},
        {StringTableType, 16000, "", BuildStringTable()},
    };
    for (int i = 2; i < argc; i += 5) {
        if (std::strcmp(argv[i], "--raw") != 0 || i + 4 >= argc) return Fail("expected --raw TYPE ID NAME FILE");
        const std::string type = argv[i + 1], name = argv[i + 3];
        if (type.size() != 4) return Fail("resource type must have four characters: " + type);
        if (name.size() >= kPIResourceNameLength) return Fail("resource name too long: " + name);
        std::ifstream in(argv[i + 4], std::ios::binary);
        if (!in) return Fail(std::string("cannot read ") + argv[i + 4]);
        Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        resources.push_back({PIFourCC(type), std::atoi(argv[i + 2]), name == "-" ? "" : name, std::move(bytes)});
    }
    const Bytes directory = Directory(resources);
    const std::string out = argv[1], temporary = out + ".part";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(directory.data()), std::streamsize(directory.size()));
        if (!file) return Fail("cannot write " + temporary);
    }
    if (std::rename(temporary.c_str(), out.c_str()) != 0) return Fail("cannot rename to " + out);
    return 0;
}
