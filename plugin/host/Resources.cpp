// Builders of the property list, the terminology and the string table.
#include "host/Resources.h"

#include <string_view>

#include "PIResources.h"
#include "settings/Parameters.h"
#include "store/Glue.h"

namespace {

// Little-endian writers: the resources' Windows form stores every integer, and every
// four-character code, least significant byte first.
struct Writer {
    Bytes bytes;
    void U8(std::uint8_t v) { bytes.push_back(v); }
    void U16(std::uint16_t v) {
        U8(std::uint8_t(v));
        U8(std::uint8_t(v >> 8));
    }
    void U32(std::uint32_t v) {
        U16(std::uint16_t(v));
        U16(std::uint16_t(v >> 16));
    }
    void Code(const char (&s)[5]) { U32(PIFourCC(s)); }
    void Raw(std::string_view s) { bytes.insert(bytes.end(), s.begin(), s.end()); }
    void Pascal(std::string_view s) {
        U8(std::uint8_t(s.size()));
        Raw(s);
    }
    void Zeros(std::size_t n) { bytes.insert(bytes.end(), n, 0); }
    // Pads with zeros to the next multiple of n bytes from the start.
    void Align(std::size_t n) { Zeros((n - bytes.size() % n) % n); }
};

// One property: vendor "8BIM", key, id 0, length, data. Data holding a string keeps
// at least one zero after it and counts the zeros up to the next multiple of four;
// other data is padded to a multiple of four without counting. Padding is relative
// to the record: the list's 10-byte header leaves records on no fixed alignment.
void Property(Writer& pipl, const char (&key)[5], const Bytes& data, bool isString) {
    const std::size_t length = isString ? (data.size() + 1 + 3) / 4 * 4 : data.size();
    pipl.Code("8BIM");
    pipl.Code(key);
    pipl.U32(0);
    pipl.U32(std::uint32_t(length));
    pipl.bytes.insert(pipl.bytes.end(), data.begin(), data.end());
    pipl.Zeros(length - data.size());
    pipl.Zeros((4 - length % 4) % 4);
}

Bytes Data(void (*fill)(Writer&)) {
    Writer w;
    fill(w);
    return w.bytes;
}

}  // namespace

Bytes BuildPropertyList() {
    Writer pipl;
    pipl.U16(1);  // reserved
    pipl.U32(0);  // property-list version
    pipl.U32(9);  // properties

    Property(pipl, "kind", Data([](Writer& w) { w.Code("8BFM"); }), false);
    Property(pipl, "name", Data([](Writer& w) { w.Pascal("Tesselume..."); }), true);
    Property(pipl, "catg", Data([](Writer& w) { w.Pascal("Quillborne"); }), true);
    Property(pipl, "vers", Data([](Writer& w) { w.U32(0x00040000); }), false);
    Property(pipl, "8664", Data([](Writer& w) { w.Raw("PluginMain"); }), true);
    Property(pipl, "hstm", Data([](Writer& w) {
                 w.U32(0);  // version
                 w.Code("TSLM");  // class id
                 w.Code("TSLM");  // event id
                 w.U16(kPITerminologyId);
                 w.Raw("Quillborne Tesselume");
             }),
             true);
    // Greyscale (0x40) and RGB (0x10) at 8 bits; no 16-bit modes for hosts that read
    // only this flag set.
    Property(pipl, "mode", Data([](Writer& w) {
                 w.U8(0x50);
                 w.U8(0x00);
             }),
             false);
    Property(pipl, "enbl",
             Data([](Writer& w) { w.Raw("in (PSHOP_ImageMode, RGBMode, GrayScaleMode, RGB48Mode, Gray16Mode) "); }),
             true);
    // Straight data in and out for all seven filter cases; the transparency cases
    // also work with blank data.
    Property(pipl, "fici", Data([](Writer& w) {
                 for (int filterCase = 1; filterCase <= 7; ++filterCase) {
                     w.U8(1);
                     w.U8(1);
                     w.U8(filterCase >= 4 ? 2 : 0);
                     w.U8(0);
                 }
             }),
             false);
    return pipl.bytes;
}

Bytes BuildTerminology() {
    // The standard terminology record: Pascal strings are followed by a pad byte when
    // needed so that what follows starts on an even offset.
    Writer aete;
    auto text = [&aete](std::string_view s) {
        aete.Pascal(s);
        aete.Align(2);
    };
    aete.U16(1);  // resource version
    aete.U8(1);   // major version
    aete.U8(0);   // minor version
    aete.U16(0);  // language
    aete.U16(0);  // script
    aete.U16(1);  // suites

    aete.Pascal("Quillborne");
    text("Tesselume");
    aete.Code("TSLM");
    aete.U16(1);  // level
    aete.U16(1);  // version
    aete.U16(1);  // events

    aete.Pascal("Tesselume");
    text("Creates symmetrical patterns");
    aete.Code("TSLM");  // class
    aete.Code("TSLM");  // id
    aete.Code("null");  // reply type
    text("");
    aete.U16(0);        // reply flags
    aete.Code("#ImR");  // direct parameter: an image reference
    text("");
    aete.U16(0xB000);   // direct parameter flags

    aete.U16(kParameterCount);
    for (const ParameterInfo& p : kParameters) {
        text(p.name);
        aete.U32(p.key);
        switch (p.kind) {
            case ParamKind::integer:
            case ParamKind::boolean:
                aete.Code("long");
                break;
            case ParamKind::glue:
                aete.U32(kGlueType);
                break;
            case ParamKind::symmetry:
                aete.U32(kSymmetryType);
                break;
        }
        text(p.name);
        const bool enumerated = p.kind == ParamKind::glue || p.kind == ParamKind::symmetry;
        aete.U16(enumerated ? 0xA000 : 0x8000);
    }

    aete.U16(0);  // classes
    aete.U16(0);  // comparison operators
    aete.U16(2);  // enumerations

    aete.U32(kSymmetryType);
    aete.U16(4);
    for (std::int32_t i = 1; i <= 4; ++i) {
        text(kSymmetryNames[std::size_t(i)]);
        aete.U32(IndexToCode(i, EnumType::symmetry));
        text(kSymmetryNames[std::size_t(i)]);
    }

    aete.U32(kGlueType);
    int listed = 0;
    for (std::int32_t mode = 1; mode <= kGlueModeCount; ++mode) listed += GlueModeInTerminology(mode);
    aete.U16(std::uint16_t(listed));
    for (std::int32_t mode = 1; mode <= kGlueModeCount; ++mode) {
        if (!GlueModeInTerminology(mode)) continue;
        text(GlueTermName(mode));
        aete.U32(IndexToCode(mode, EnumType::glue));
        text(GlueTermName(mode));
    }
    return aete.bytes;
}

Bytes BuildStringTable() {
    struct Entry {
        std::uint32_t id;
        std::string_view text;
    };
    static constexpr Entry kStrings[] = {
        {16000, "Tesselume"},
        {16002, "Symmetrical colour patterns by Quillborne."},
        {16990, "An integer is required between ^1 and ^2."},
        {16991, "A decimal number is required between ^1 and ^2."},
        {16992, "This plug-in requires Adobe Photoshop\xC2\xAE ^1 or later functionality."},
        {16993, "This plug-in is incompatible with this version of the host program."},
        {16994, "the required suite '^0' is unavailable"},
    };
    Writer table;
    for (const Entry& e : kStrings) {
        table.U32(e.id);
        table.U32(std::uint32_t(e.text.size()));
        table.Raw(e.text);
    }
    return table.bytes;
}
