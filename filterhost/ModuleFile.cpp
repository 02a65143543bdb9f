// Reading a module's resources from its file, and parsing the property list and
// terminology, without loading the module.
#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "FilterHost.h"
#include "PIResources.h"

namespace filterhost {
namespace {

// Little-endian reader over a byte range; every read past the end fails the reader.
class Reader {
public:
    Reader(const uint8_t* data, std::size_t size) : data(data), size(size) {}
    bool ok() const { return good; }
    std::size_t at() const { return pos; }
    void Seek(std::size_t to) {
        if (to > size) good = false;
        else pos = to;
    }
    const uint8_t* Take(std::size_t n) {
        if (!good || n > size - pos) {
            good = false;
            return nullptr;
        }
        const uint8_t* p = data + pos;
        pos += n;
        return p;
    }
    uint8_t U8() {
        const uint8_t* p = Take(1);
        return p ? p[0] : 0;
    }
    uint16_t U16() {
        const uint8_t* p = Take(2);
        return p ? uint16_t(p[0] | p[1] << 8) : 0;
    }
    uint32_t U32() {
        const uint8_t* p = Take(4);
        return p ? uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24 : 0;
    }
    std::string Pascal() {
        const uint8_t n = U8();
        const uint8_t* p = Take(n);
        return p ? std::string(reinterpret_cast<const char*>(p), n) : std::string();
    }
    // A Pascal string followed by padding to an even offset.
    std::string Text() {
        std::string s = Pascal();
        if (pos % 2) Take(1);
        return s;
    }
    std::string CString(std::size_t limit) {
        std::string s;
        while (good && s.size() < limit) {
            const uint8_t c = U8();
            if (c == 0) break;
            s.push_back(char(c));
        }
        return s;
    }

private:
    const uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;
    bool good = true;
};

std::string CodeText(OSType code) {
    std::string s(4, ' ');
    for (int i = 0; i < 4; ++i) s[std::size_t(i)] = char(code >> (24 - 8 * i));
    return s;
}

// Modules are a few megabytes; a larger file is refused before anything is read.
constexpr std::size_t kModuleFileLimit = std::size_t(256) << 20;

bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        error = "cannot read the module " + path;
        return false;
    }
    const std::streamoff length = in.tellg();
    if (length < 0 || uint64_t(length) > kModuleFileLimit) {
        error = path + " is too large to be a filter module";
        return false;
    }
    bytes.resize(std::size_t(length));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), length)) {
        error = "cannot read the module " + path;
        return false;
    }
    return true;
}

// True when [offset, offset + size) lies inside a file of fileSize bytes, without overflow.
bool Inside(uint64_t offset, uint64_t size, std::size_t fileSize) {
    return offset <= fileSize && size <= fileSize - offset;
}

// The bytes of the ELF section with the given name, or false.
bool FindSection(const std::vector<uint8_t>& file, const char* name, std::size_t& offset, std::size_t& size) {
    if (file.size() < sizeof(Elf64_Ehdr) || std::memcmp(file.data(), ELFMAG, SELFMAG) != 0) return false;
    Elf64_Ehdr header;
    std::memcpy(&header, file.data(), sizeof header);
    if (header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_shentsize != sizeof(Elf64_Shdr)) return false;
    const auto SectionAt = [&](uint64_t index, Elf64_Shdr& section) {
        // e_shoff and the index both come from the file: check before multiplying or adding.
        if (index >= file.size() / sizeof(Elf64_Shdr)) return false;
        if (!Inside(header.e_shoff, (index + 1) * sizeof(Elf64_Shdr), file.size())) return false;
        std::memcpy(&section, file.data() + header.e_shoff + index * sizeof(Elf64_Shdr), sizeof section);
        return section.sh_type == SHT_NOBITS || Inside(section.sh_offset, section.sh_size, file.size());
    };
    // The name table must hold bytes in the file; a "no data" table has none to read.
    Elf64_Shdr names;
    if (!SectionAt(header.e_shstrndx, names) || names.sh_type == SHT_NOBITS) return false;
    for (std::size_t i = 0; i < header.e_shnum; ++i) {
        Elf64_Shdr section;
        if (!SectionAt(i, section) || section.sh_name >= names.sh_size) continue;
        const char* sectionName = reinterpret_cast<const char*>(file.data() + names.sh_offset + section.sh_name);
        const std::size_t room = names.sh_size - section.sh_name;
        if (::strnlen(sectionName, room) == room || std::strcmp(sectionName, name) != 0) continue;
        offset = section.sh_offset;
        size = section.sh_size;
        return section.sh_type != SHT_NOBITS;
    }
    return false;
}

}  // namespace

bool ReadResources(const std::string& modulePath, std::vector<Resource>& resources, std::string& error) {
    std::vector<uint8_t> file;
    if (!ReadFile(modulePath, file, error)) return false;
    return ReadResourceBytes(file, modulePath, resources, error);
}

bool ReadResourceBytes(const std::vector<uint8_t>& file, const std::string& modulePath,
                       std::vector<Resource>& resources, std::string& error) {
    std::size_t offset = 0, size = 0;
    if (!FindSection(file, kPIResourceSection, offset, size)) {
        error = modulePath + " is not a filter module: it has no resource section";
        return false;
    }
    Reader directory(file.data() + offset, size);
    const uint8_t* magic = directory.Take(4);
    const uint32_t version = directory.U32(), count = directory.U32(), total = directory.U32();
    if (!magic || std::memcmp(magic, kPIResourceMagic, 4) != 0 || version != kPIResourceVersion || total > size) {
        error = modulePath + " has a damaged resource directory";
        return false;
    }
    resources.clear();
    for (uint32_t i = 0; i < count; ++i) {
        Resource r;
        r.type = directory.U32();
        r.id = int32_t(directory.U32());
        const uint8_t* name = directory.Take(kPIResourceNameLength);
        const uint32_t at = directory.U32(), length = directory.U32();
        if (!directory.ok() || at > total || length > total - at) {
            error = modulePath + " has a damaged resource directory";
            return false;
        }
        r.name.assign(reinterpret_cast<const char*>(name), ::strnlen(reinterpret_cast<const char*>(name),
                                                                     kPIResourceNameLength));
        r.bytes.assign(file.begin() + std::ptrdiff_t(offset + at), file.begin() + std::ptrdiff_t(offset + at + length));
        resources.push_back(std::move(r));
    }
    return true;
}

bool ParsePropertyList(const std::vector<uint8_t>& bytes, PropertyList& list, std::string& error) {
    Reader pipl(bytes.data(), bytes.size());
    list = PropertyList{};
    const uint16_t reserved = pipl.U16();
    const uint32_t version = pipl.U32(), count = pipl.U32();
    if (!pipl.ok() || reserved != 1 || version != 0) {
        error = "the property list has an unknown version";
        return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        pipl.U32();  // vendor
        const OSType key = pipl.U32();
        pipl.U32();  // id
        const uint32_t length = pipl.U32();
        const std::size_t start = pipl.at();
        const uint8_t* data = pipl.Take(length);
        if (!data) break;
        Reader value(data, length);
        switch (key) {
            case PIFourCC("kind"): list.kind = value.U32(); break;
            case PIFourCC("name"): list.name = value.Pascal(); break;
            case PIFourCC("catg"): list.category = value.Pascal(); break;
            case PIFourCC("vers"): list.version = value.U32(); break;
            case PIFourCC("8664"): list.entryPoint = value.CString(length); break;
            case PIFourCC("hstm"):
                list.hasTerminology = true;
                value.U32();
                list.terminologyClass = value.U32();
                list.terminologyEvent = value.U32();
                list.terminologyId = int16_t(value.U16());
                list.terminologyScope = value.CString(length);
                break;
            case PIFourCC("mode"):
                list.hasModeFlags = true;
                list.modeFlags[0] = value.U8();
                list.modeFlags[1] = value.U8();
                break;
            case PIFourCC("enbl"): list.enableExpression = value.CString(length); break;
            case PIFourCC("fici"):
                list.hasFilterCases = length >= 28;
                for (FilterCaseInfo& c : list.filterCases) {
                    c.inputHandling = value.U8();
                    c.outputHandling = value.U8();
                    c.flags1 = value.U8();
                    c.flags2 = value.U8();
                }
                break;
            default: break;
        }
        if (!value.ok()) {
            error = "the property list's '" + CodeText(key) + "' property is damaged";
            return false;
        }
        pipl.Seek(start + (length + 3) / 4 * 4);
    }
    if (!pipl.ok()) {
        error = "the property list is cut short";
        return false;
    }
    return true;
}

bool ParseTerminology(const std::vector<uint8_t>& bytes, Terminology& terms, std::string& error) {
    Reader aete(bytes.data(), bytes.size());
    terms = Terminology{};
    const uint16_t version = aete.U16();
    aete.U8();   // major
    aete.U8();   // minor
    aete.U16();  // language
    aete.U16();  // script
    if (aete.U16() != 1 || version != 1) {
        error = "the terminology does not hold exactly one suite";
        return false;
    }
    terms.suiteName = aete.Pascal();
    terms.suiteDescription = aete.Text();
    terms.suiteId = aete.U32();
    aete.U16();  // level
    aete.U16();  // version
    if (aete.U16() != 1) {
        error = "the terminology does not hold exactly one event";
        return false;
    }
    terms.eventName = aete.Pascal();
    terms.eventDescription = aete.Text();
    terms.eventClass = aete.U32();
    terms.eventId = aete.U32();
    terms.replyType = aete.U32();
    aete.Text();
    aete.U16();
    terms.directType = aete.U32();
    aete.Text();
    terms.directFlags = aete.U16();
    const uint16_t parameters = aete.U16();
    for (uint16_t i = 0; i < parameters && aete.ok(); ++i) {
        TermParameter p;
        p.name = aete.Text();
        p.key = aete.U32();
        p.type = aete.U32();
        p.description = aete.Text();
        p.flags = aete.U16();
        terms.parameters.push_back(p);
    }
    aete.U16();  // classes (none expected)
    aete.U16();  // comparison operators
    const uint16_t enumerations = aete.U16();
    for (uint16_t i = 0; i < enumerations && aete.ok(); ++i) {
        TermEnumeration e;
        e.type = aete.U32();
        const uint16_t values = aete.U16();
        for (uint16_t j = 0; j < values && aete.ok(); ++j) {
            TermEnumValue v;
            v.name = aete.Text();
            v.key = aete.U32();
            v.description = aete.Text();
            e.values.push_back(v);
        }
        terms.enumerations.push_back(e);
    }
    if (!aete.ok()) {
        error = "the terminology is cut short";
        return false;
    }
    return true;
}

bool AcceptsImageMode(const PropertyList& list, int16_t imageMode, bool readEnableExpression) {
    static const std::map<std::string, int16_t> kModeNames = {
        {"BitmapMode", plugInModeBitmap},       {"GrayScaleMode", plugInModeGrayScale},
        {"IndexedMode", plugInModeIndexedColor}, {"RGBMode", plugInModeRGBColor},
        {"CMYKMode", plugInModeCMYKColor},      {"HSLMode", plugInModeHSLColor},
        {"HSBMode", plugInModeHSBColor},        {"MultichannelMode", plugInModeMultichannel},
        {"DuotoneMode", plugInModeDuotone},     {"LabMode", plugInModeLabColor},
        {"Gray16Mode", plugInModeGray16},       {"RGB48Mode", plugInModeRGB48},
        {"Lab48Mode", plugInModeLab48},         {"CMYK64Mode", plugInModeCMYK64},
        {"DeepMultichannelMode", plugInModeDeepMultichannel}, {"Duotone16Mode", plugInModeDuotone16},
        {"RGB96Mode", plugInModeRGB96},         {"Gray32Mode", plugInModeGray32},
    };
    if (readEnableExpression && !list.enableExpression.empty()) {
        // The one form this host understands: "in (PSHOP_ImageMode, NameMode, ...)".
        std::string expression = list.enableExpression;
        for (char& c : expression)
            if (c == '(' || c == ')' || c == ',') c = ' ';
        std::istringstream words(expression);
        std::string word;
        words >> word;
        if (word != "in") return false;
        words >> word;
        if (word != "PSHOP_ImageMode") return false;
        while (words >> word) {
            auto found = kModeNames.find(word);
            if (found != kModeNames.end() && found->second == imageMode) return true;
        }
        return false;
    }
    if (!list.hasModeFlags || imageMode < 0 || imageMode > 15) return false;
    // Bits from the most significant of the first byte: modes 0..7, then 8..15.
    const uint8_t flags = list.modeFlags[imageMode / 8];
    return (flags & (0x80 >> (imageMode % 8))) != 0;
}

}  // namespace filterhost
