// The property list and terminology as a host reads them from the module file.
#include <algorithm>
#include <fstream>
#include <tuple>

#include "HostTestSupport.h"
#include "PIResources.h"
#include "support/StateFiles.h"

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

// A copy of the module with one byte sequence of its property list replaced.
std::string PatchedModule(const std::string& from, const std::string& to) {
    std::string bytes = testsupport::FileContents(TESSELUME_MODULE_PATH);
    const std::size_t at = bytes.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    bytes.replace(at, to.size(), to);
    const std::string path = testsupport::StatePath("patched.8bf");
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

// Each property: "8BIM" and its key, both stored reversed, attributes 0, the length
// of its data (little-endian), the data padded to four bytes.
TEST(Resources, PropertyListIsByteExactAndStringsHoldTheAlertTexts) {
    const std::string expected =
        "\1\0\0\0\0\0\x09\0\0\0"s                                 // 1, version 0, 9 properties
        + "MIB8dnik\0\0\0\0\4\0\0\0MFB8"s                         // kind: a filter
        + "MIB8eman\0\0\0\0\x10\0\0\0\x0CTesselume...\0\0\0"s     // name
        + "MIB8gtac\0\0\0\0\x0C\0\0\0\x0AQuillborne\0"s           // category
        + "MIB8srev\0\0\0\0\4\0\0\0\0\0\4\0"s                     // version 4.0
        + "MIB84668\0\0\0\0\x0C\0\0\0PluginMain\0\0"s             // x86-64 entry point
        + "MIB8mtsh\0\0\0\0\x24\0\0\0\0\0\0\0MLSTMLST\x80\x3EQuillborne Tesselume\0\0"s  // scripting
        + "MIB8edom\0\0\0\0\2\0\0\0\x50\0\0\0"s                   // image modes
        + "MIB8lbne\0\0\0\0\x48\0\0\0"s                           // enable expression
        + "in (PSHOP_ImageMode, RGBMode, GrayScaleMode, RGB48Mode, Gray16Mode) \0\0\0\0"s
        + "MIB8icif\0\0\0\0\x1C\0\0\0"s                           // filter cases 1 to 7
        + "\1\1\0\0\1\1\0\0\1\1\0\0\1\1\2\0\1\1\2\0\1\1\2\0\1\1\2\0"s;
    EXPECT_EQ(ModuleResource(PIPLType, kPIPropertyListId), Bytes(expected.begin(), expected.end()));

    const Bytes table = ModuleResource(StringTableType, 16000);
    const std::string text(table.begin(), table.end());
    EXPECT_NE(text.find("An integer is required between ^1 and ^2."), std::string::npos);
    EXPECT_NE(text.find("the required suite '^0' is unavailable"), std::string::npos);
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
    const char* names[36] = {
        "mixer 1", "mixer 2", "mixer 3", "sharpness 1", "sharpness 2", "sharpness 3", "amount 11", "amount 21",
        "amount 31", "amount 12", "amount 22", "amount 32", "invert 1", "invert 2", "invert 3", "mirror", "sharpness",
        "weave", "red cycles", "red phase", "red shift", "red amplitude", "green cycles", "green phase", "green shift",
        "green amplitude", "blue cycles", "blue phase", "blue shift", "blue amplitude", "density", "glue", "zoom",
        "aspect", "symmetry", "smooth"};
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
    const filterhost::TermEnumeration &symmetry = terms.enumerations[0], &glue = terms.enumerations[1];
    EXPECT_EQ(std::make_pair(symmetry.type, glue.type), std::make_pair(PIFourCC("SYty"), PIFourCC("GLty")));
    ASSERT_EQ(std::make_pair(symmetry.values.size(), glue.values.size()), std::make_pair(std::size_t(4), std::size_t(60)));
    const std::tuple<const filterhost::TermEnumeration&, int, const char*, const char*> named[] = {
        {symmetry, 0, "SY01", "2-fold"}, {symmetry, 3, "SY04", "5-fold"}, {glue, 0, "GL01", "normal"},
        {glue, 25, "GL26", "harsh diff"}, {glue, 58, "GL59", "sinister"}, {glue, 59, "GL62", "screendim"}};
    for (const auto& [list, at, key, name] : named) {
        EXPECT_EQ(list.values[std::size_t(at)].key, PIFourCC(key)) << name;
        EXPECT_EQ(list.values[std::size_t(at)].name, name);
    }
    for (const auto& value : glue.values) {
        EXPECT_NE(value.key, PIFourCC("GL60"));
        EXPECT_NE(value.key, PIFourCC("GL61"));
        EXPECT_EQ(value.name, value.description);
    }
}

TEST(Resources, HostReadsTheImageModesAndRefusesModulesThatDoNotFit) {
    auto host = LoadModule();
    ASSERT_TRUE(host);
    const filterhost::PropertyList& list = host->Properties();
    // The modes accepted without and with the enable expression read.
    for (const auto& [mode, without, with] :
         {std::tuple{plugInModeRGBColor, true, true}, {plugInModeGrayScale, true, true}, {plugInModeRGB48, false, true},
          {plugInModeGray16, false, true}, {plugInModeCMYKColor, false, false}, {plugInModeMultichannel, false, false}})
        EXPECT_EQ(std::pair(filterhost::AcceptsImageMode(list, mode, false), filterhost::AcceptsImageMode(list, mode, true)),
                  std::pair(without, with))
            << mode;

    // An older host refuses a 16-bit image before running any of the module.
    filterhost::HostOptions older;
    older.readEnableExpression = false;
    auto image = RampImage(4, 4, 3, 16);
    std::string error;
    const auto report = RunJob(image, {}, older, &error);
    EXPECT_EQ(report.result, filterBadMode);
    EXPECT_TRUE(report.selectors.empty());
    EXPECT_NE(error.find("16 bits"), std::string::npos) << error;

    // Files it cannot run are refused at load, with what is wrong.
    EXPECT_NE(LoadError("/nonexistent/Tesselume.8bf").find("cannot read"), std::string::npos);
    EXPECT_NE(LoadError("/bin/sh").find("not a filter module"), std::string::npos);
    EXPECT_NE(LoadError(PatchedModule("dnik\0\0\0\0\4\0\0\0MFB8"s, "dnik\0\0\0\0\4\0\0\0XXXX"s)).find("8BFM"),
              std::string::npos);
    EXPECT_NE(LoadError(PatchedModule("4668\0\0\0\0\14\0\0\0PluginMain"s, "4668\0\0\0\0\14\0\0\0PluginMaix"s))
                  .find("does not export"),
              std::string::npos);
    EXPECT_NE(LoadError(PatchedModule("MIB8icif", "MIB8xxxx")).find("filter cases"), std::string::npos);
}
