// The property list and terminology as a host reads them from the module file.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "HostTestSupport.h"
#include "PIResources.h"

using namespace std::string_literals;

namespace {

using filterhost::Resource;
using Bytes = std::vector<uint8_t>;

// The bytes of one of the module's resources, read from its file.
Bytes ModuleResource(uint32_t type, int32_t id) {
    std::vector<Resource> resources;
    std::string error;
    EXPECT_TRUE(filterhost::ReadResources(TESSELUME_MODULE_PATH, resources, error)) << error;
    for (const Resource& r : resources)
        if (r.type == type && r.id == id) return r.bytes;
    ADD_FAILURE() << "resource not found";
    return {};
}

// Writers for the expected bytes, kept apart from the module's own builders.
void Add(Bytes& b, std::initializer_list<int> values) {
    for (int v : values) b.push_back(uint8_t(v));
}
void AddText(Bytes& b, const char* text) { b.insert(b.end(), text, text + std::strlen(text)); }
void AddLong(Bytes& b, uint32_t v) { Add(b, {int(v & 255), int(v >> 8 & 255), int(v >> 16 & 255), int(v >> 24)}); }
void AddProperty(Bytes& b, const char* reversedKey, uint32_t length) {
    AddText(b, "MIB8");
    AddText(b, reversedKey);
    AddLong(b, 0);
    AddLong(b, length);
}

}  // namespace

TEST(Resources, PropertyListIsByteExact) {
    const char* enable = "in (PSHOP_ImageMode, RGBMode, GrayScaleMode, RGB48Mode, Gray16Mode) ";
    const uint32_t enableLength = uint32_t((std::strlen(enable) + 1 + 3) / 4 * 4);
    Bytes expected;
    Add(expected, {1, 0});
    AddLong(expected, 0);
    AddLong(expected, 9);
    AddProperty(expected, "dnik", 4);
    AddText(expected, "MFB8");
    AddProperty(expected, "eman", 16);
    Add(expected, {12});
    AddText(expected, "Tesselume...");
    Add(expected, {0, 0, 0});
    AddProperty(expected, "gtac", 12);
    Add(expected, {10});
    AddText(expected, "Quillborne");
    Add(expected, {0});
    AddProperty(expected, "srev", 4);
    Add(expected, {0, 0, 4, 0});
    AddProperty(expected, "4668", 12);
    AddText(expected, "PluginMain");
    Add(expected, {0, 0});
    AddProperty(expected, "mtsh", 36);
    AddLong(expected, 0);
    AddText(expected, "MLSTMLST");
    Add(expected, {0x80, 0x3E});
    AddText(expected, "Quillborne Tesselume");
    Add(expected, {0, 0});
    AddProperty(expected, "edom", 2);
    Add(expected, {0x50, 0x00, 0, 0});
    AddProperty(expected, "lbne", enableLength);
    AddText(expected, enable);
    expected.resize(expected.size() + enableLength - std::strlen(enable), 0);
    AddProperty(expected, "icif", 28);
    for (int filterCase = 1; filterCase <= 7; ++filterCase) Add(expected, {1, 1, filterCase >= 4 ? 2 : 0, 0});

    EXPECT_EQ(ModuleResource(PIPLType, kPIPropertyListId), expected);
}

TEST(Resources, TerminologyNamesEveryParameterAndValue) {
    const Bytes aete = ModuleResource(AETEType, kPITerminologyId);
    filterhost::Terminology terms;
    std::string error;
    ASSERT_TRUE(filterhost::ParseTerminology(aete, terms, error)) << error;
    EXPECT_EQ(terms.suiteName, "Quillborne");
    EXPECT_EQ(terms.suiteDescription, "Tesselume");
    EXPECT_EQ(terms.eventDescription, "Creates symmetrical patterns");
    EXPECT_EQ(terms.directType, PIFourCC("#ImR"));
    EXPECT_EQ(terms.directFlags, 0xB000);

    ASSERT_EQ(terms.parameters.size(), 36u);
    const char* names[36] = {"mixer 1",       "mixer 2",         "mixer 3",     "sharpness 1",    "sharpness 2",
                             "sharpness 3",   "amount 11",       "amount 21",   "amount 31",      "amount 12",
                             "amount 22",     "amount 32",       "invert 1",    "invert 2",       "invert 3",
                             "mirror",        "sharpness",       "weave",       "red cycles",     "red phase",
                             "red shift",     "red amplitude",   "green cycles", "green phase",   "green shift",
                             "green amplitude", "blue cycles",   "blue phase",  "blue shift",     "blue amplitude",
                             "density",       "glue",            "zoom",        "aspect",         "symmetry",
                             "smooth"};
    for (int i = 0; i < 36; ++i) {
        const filterhost::TermParameter& p = terms.parameters[std::size_t(i)];
        EXPECT_EQ(p.name, names[i]);
        EXPECT_EQ(p.description, names[i]);
        char key[5];
        std::snprintf(key, sizeof key, "%04d", i + 1);
        const bool isGlue = i == 31, isSymmetry = i == 34;
        EXPECT_EQ(p.key, isGlue ? PIFourCC("GLUE") : isSymmetry ? PIFourCC("SYky") : PIFourCC(key)) << names[i];
        EXPECT_EQ(p.type, isGlue ? PIFourCC("GLty") : isSymmetry ? PIFourCC("SYty") : PIFourCC("long"));
        EXPECT_EQ(p.flags, isGlue || isSymmetry ? 0xA000 : 0x8000);
    }

    // Codes are stored reversed: the key of "mixer 1" reads "1000" in the file.
    const Bytes pattern = {7, 'm', 'i', 'x', 'e', 'r', ' ', '1', '1', '0', '0', '0', 'g', 'n', 'o', 'l'};
    EXPECT_NE(std::search(aete.begin(), aete.end(), pattern.begin(), pattern.end()), aete.end());

    ASSERT_EQ(terms.enumerations.size(), 2u);
    const filterhost::TermEnumeration& symmetry = terms.enumerations[0];
    EXPECT_EQ(symmetry.type, PIFourCC("SYty"));
    ASSERT_EQ(symmetry.values.size(), 4u);
    EXPECT_EQ(symmetry.values[0].name, "2-fold");
    EXPECT_EQ(symmetry.values[3].key, PIFourCC("SY04"));
    EXPECT_EQ(symmetry.values[3].name, "5-fold");

    const filterhost::TermEnumeration& glue = terms.enumerations[1];
    EXPECT_EQ(glue.type, PIFourCC("GLty"));
    ASSERT_EQ(glue.values.size(), 60u);
    EXPECT_EQ(glue.values[0].name, "normal");
    EXPECT_EQ(glue.values[25].name, "harsh diff");
    EXPECT_EQ(glue.values[58].key, PIFourCC("GL59"));
    EXPECT_EQ(glue.values[58].name, "sinister");
    EXPECT_EQ(glue.values[59].key, PIFourCC("GL62"));
    EXPECT_EQ(glue.values[59].name, "screendim");
    for (const auto& value : glue.values) {
        EXPECT_NE(value.key, PIFourCC("GL60"));
        EXPECT_NE(value.key, PIFourCC("GL61"));
        EXPECT_EQ(value.name, value.description);
    }
}

TEST(Resources, ImageModesDependOnWhatTheHostReads) {
    auto host = LoadModule();
    ASSERT_TRUE(host);
    const filterhost::PropertyList& list = host->Properties();
    for (bool enbl : {false, true}) {
        EXPECT_TRUE(filterhost::AcceptsImageMode(list, plugInModeRGBColor, enbl));
        EXPECT_TRUE(filterhost::AcceptsImageMode(list, plugInModeGrayScale, enbl));
        EXPECT_EQ(filterhost::AcceptsImageMode(list, plugInModeRGB48, enbl), enbl);
        EXPECT_EQ(filterhost::AcceptsImageMode(list, plugInModeGray16, enbl), enbl);
        EXPECT_FALSE(filterhost::AcceptsImageMode(list, plugInModeCMYKColor, enbl));
        EXPECT_FALSE(filterhost::AcceptsImageMode(list, plugInModeMultichannel, enbl));
    }

    // An older host refuses a 16-bit image before running any of the module.
    filterhost::HostOptions older;
    older.readEnableExpression = false;
    auto oldHost = LoadModule(older);
    ASSERT_TRUE(oldHost);
    auto image = RampImage(4, 4, 3, 16);
    std::string error;
    const auto report = oldHost->Run(image, {}, error);
    EXPECT_EQ(report.result, filterBadMode);
    EXPECT_TRUE(report.selectors.empty());
    EXPECT_NE(error.find("16 bits"), std::string::npos) << error;
}

TEST(Resources, StringTableHoldsTheAlertTexts) {
    const Bytes table = ModuleResource(StringTableType, 16000);
    const std::string text(table.begin(), table.end());
    EXPECT_NE(text.find("An integer is required between ^1 and ^2."), std::string::npos);
    EXPECT_NE(text.find("the required suite '^0' is unavailable"), std::string::npos);
}

namespace {

// A copy of the module with one byte sequence of its property list replaced.
std::string PatchedModule(const std::string& from, const std::string& to) {
    std::ifstream in(TESSELUME_MODULE_PATH, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::size_t at = bytes.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    bytes.replace(at, to.size(), to);
    const std::string path = std::string(std::getenv("TESSELUME_STATE_DIR")) + "/patched.8bf";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return path;
}

std::string LoadError(const std::string& path) {
    std::string error;
    auto host = filterhost::Host::Load(path, {}, error);
    EXPECT_FALSE(host);
    return error;
}

}  // namespace

TEST(Resources, HostRefusesModulesThatDoNotFit) {
    EXPECT_NE(LoadError("/nonexistent/Tesselume.8bf").find("cannot read"), std::string::npos);
    EXPECT_NE(LoadError("/bin/sh").find("not a filter module"), std::string::npos);
    EXPECT_NE(LoadError(PatchedModule("dnik\0\0\0\0\4\0\0\0MFB8"s, "dnik\0\0\0\0\4\0\0\0XXXX"s)).find("8BFM"),
              std::string::npos);
    EXPECT_NE(LoadError(PatchedModule("4668\0\0\0\0\14\0\0\0PluginMain"s, "4668\0\0\0\0\14\0\0\0PluginMaix"s))
                  .find("does not export"),
              std::string::npos);
    EXPECT_NE(LoadError(PatchedModule("MIB8icif", "MIB8xxxx")).find("filter cases"), std::string::npos);
}
