// Parameter names and values on the command line, and the descriptor text form.
#include <string>
#include <tuple>
#include <utility>

#include <gtest/gtest.h>

#include "DescriptorText.h"
#include "FilterHost.h"
#include "ParameterNames.h"

using namespace tesselume;

namespace {

// The module's terminology, read from its file.
const filterhost::Terminology& Terms() {
    static const filterhost::Terminology terms = [] {
        filterhost::ModuleInfo info;
        std::string error;
        EXPECT_TRUE(filterhost::ReadModuleInfo(TESSELUME_MODULE_PATH, info, error)) << error;
        return info.terms;
    }();
    return terms;
}

auto Fields(const filterhost::DescriptorItem& d) { return std::tie(d.key, d.type, d.value, d.enumType, d.enumValue); }

// Names fold case, spaces and underscores; switches travel as booleans, as the
// module writes them; enumerations go by name, folded the same way, or by code.
// (Unknown names and values, and values out of range: the command line's runs.)
TEST(ParameterNames, SettingsBecomeDescriptorItemsOrNameTheirFault) {
    const std::pair<const char*, filterhost::DescriptorItem> items[] = {
        {"mixer1=17", {PIFourCC("0001"), typeInteger, 17, 0, 0}},
        {"MIXER_1=+17", {PIFourCC("0001"), typeInteger, 17, 0, 0}},
        {"red_phase=-100", {PIFourCC("0020"), typeInteger, -100, 0, 0}},
        {"invert1=on", {PIFourCC("0013"), typeBoolean, 1, 0, 0}},
        {"invert 1=False", {PIFourCC("0013"), typeBoolean, 0, 0, 0}},
        {"glue=gl62", {PIFourCC("GLUE"), typeEnumerated, 0, PIFourCC("GLty"), PIFourCC("GL62")}},
        {"glue=ScreenDim", {PIFourCC("GLUE"), typeEnumerated, 0, PIFourCC("GLty"), PIFourCC("GL62")}},
        {"glue=hard_light", {PIFourCC("GLUE"), typeEnumerated, 0, PIFourCC("GLty"), PIFourCC("GL11")}},
        {"symmetry=5-fold", {PIFourCC("SYky"), typeEnumerated, 0, PIFourCC("SYty"), PIFourCC("SY04")}},
    };
    for (const auto& [argument, expected] : items) {
        filterhost::DescriptorItem item;
        std::string error;
        ASSERT_TRUE(ParseSetting(Terms(), argument, item, error)) << argument << ": " << error;
        EXPECT_EQ(Fields(item), Fields(expected)) << argument;
    }
    const std::pair<std::string, std::string> refusals[] = {
        {"zoom", "--set takes NAME=VALUE, not \"zoom\""},
        {"zoom=-1", "zoom takes an integer from 0 to 100, not \"-1\""},
        {"zoom=5x", "zoom takes an integer from 0 to 100, not \"5x\""},
        {"zoom=", "zoom takes an integer from 0 to 100, not \"\""},
        {"invert1=maybe", "invert 1 is on or off, not \"maybe\""},
    };
    for (const auto& [argument, message] : refusals) {
        filterhost::DescriptorItem item;
        std::string error;
        EXPECT_FALSE(ParseSetting(Terms(), argument, item, error)) << argument;
        EXPECT_EQ(error, message);
    }
}

TEST(DescriptorText, RoundTripsEveryItemKindAndFaultsNameTheirLine) {
    filterhost::Descriptor descriptor = {
        {PIFourCC("0001"), typeInteger, -2147483647 - 1, 0, 0},
        {PIFourCC("0013"), typeBoolean, 1, 0, 0},
        {PIFourCC("0016"), typeBoolean, 0, 0, 0},
        {PIFourCC("GLUE"), typeEnumerated, 0, PIFourCC("GLty"), PIFourCC("GL60")},  // no such glue
        {PIFourCC("SYky"), typeEnumerated, 0, PIFourCC("SYty"), PIFourCC("SY04")},
        {PIFourCC("GLUE"), typeEnumerated, 0, PIFourCC("GLty"), PIFourCC("<NO>")},
        {0x41422023u /* "AB #" */, typeInteger, 7, 0, 0},
        {0x00000001u, typeInteger, 2147483647, 0, 0},
    };
    const std::string text = FormatDescriptor(descriptor, Terms());
    for (const char* line : {"0013 bool true", "SYky enum SYty SY04", "# symmetry = 5-fold", "0x41422023 long 7",
                             "0x00000001 long 2147483647"})
        EXPECT_NE(text.find(line), std::string::npos) << line << " in " << text;
    filterhost::Descriptor back;
    std::string error;
    ASSERT_TRUE(ParseDescriptor(text, back, error)) << error;
    ASSERT_EQ(back.size(), descriptor.size());
    for (std::size_t i = 0; i < back.size(); ++i) EXPECT_EQ(Fields(back[i]), Fields(descriptor[i])) << i;

    // Hand-written text: comments, blank lines and CRLF line ends are fine.
    ASSERT_TRUE(ParseDescriptor("# mine\r\n\r\n0033 long 12   # zoom\r\n", back, error)) << error;
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].value, 12);

    // Faults name their line.
    const std::pair<const char*, const char*> faults[] = {
        {"0001 long 3\n0002 long\n", "line 2: expected a key, a type and a value"},
        {"0001 long 99999999999\n", "line 1: \"99999999999\" is not a 32-bit integer"},
        {"\n\n0013 bool yes\n", "line 3: a bool is true or false"},
        {"GLUE enum GL62\n", "line 1: an enumerated value needs its type and value codes"},
        {"ZOOMY long 3\n", "line 1: expected a key, a type and a value"},
    };
    for (const auto& [fault, message] : faults) {
        EXPECT_FALSE(ParseDescriptor(fault, back, error)) << fault;
        EXPECT_EQ(error, message);
    }
}

}  // namespace
