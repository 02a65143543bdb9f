// Parameter names and values on the command line, and the descriptor text form.
#include <tuple>

#include <gtest/gtest.h>

#include "DescriptorText.h"
#include "ParameterNames.h"

using namespace tesselume;

namespace {

// A terminology as the module's resource spells it, cut down to what the cases use.
filterhost::Terminology SomeTerms() {
    filterhost::Terminology terms;
    terms.parameters = {{"mixer 1", PIFourCC("0001"), typeInteger, "mixer 1", 0x8000},
                        {"invert 1", PIFourCC("0013"), typeInteger, "invert 1", 0x8000},
                        {"red phase", PIFourCC("0020"), typeInteger, "red phase", 0x8000},
                        {"glue", PIFourCC("GLUE"), PIFourCC("GLty"), "glue", 0xA000},
                        {"zoom", PIFourCC("0033"), typeInteger, "zoom", 0x8000},
                        {"symmetry", PIFourCC("SYky"), PIFourCC("SYty"), "symmetry", 0xA000}};
    terms.enumerations = {
        {PIFourCC("SYty"), {{"2-fold", PIFourCC("SY01"), "2-fold"}, {"5-fold", PIFourCC("SY04"), "5-fold"}}},
        {PIFourCC("GLty"),
         {{"normal", PIFourCC("GL01"), "normal"},
          {"hard light", PIFourCC("GL11"), "hard light"},
          {"screendim", PIFourCC("GL62"), "screendim"}}}};
    return terms;
}

filterhost::DescriptorItem Parsed(const std::string& argument) {
    filterhost::DescriptorItem item;
    std::string error;
    EXPECT_TRUE(ParseSetting(SomeTerms(), argument, item, error)) << argument << ": " << error;
    return item;
}

std::string Refused(const std::string& argument) {
    filterhost::DescriptorItem item;
    std::string error;
    EXPECT_FALSE(ParseSetting(SomeTerms(), argument, item, error)) << argument;
    return error;
}

TEST(ParameterNames, NamesAndValuesBecomeDescriptorItems) {
    for (const char* spelling : {"mixer1=17", "MIXER_1=+17"}) {
        const filterhost::DescriptorItem item = Parsed(spelling);
        EXPECT_EQ(item.key, PIFourCC("0001")) << spelling;
        EXPECT_EQ(item.type, typeInteger);
        EXPECT_EQ(item.value, 17);
    }
    EXPECT_EQ(Parsed("red_phase=-100").value, -100);

    // Switches travel as booleans, as the module writes them.
    EXPECT_EQ(Parsed("invert1=on").type, typeBoolean);
    EXPECT_EQ(Parsed("invert1=on").value, 1);
    EXPECT_EQ(Parsed("invert 1=False").value, 0);

    // Enumerations by name, folded like the parameter names, or by code.
    for (const char* spelling : {"glue=gl62", "glue=ScreenDim"}) {
        const filterhost::DescriptorItem item = Parsed(spelling);
        EXPECT_EQ(item.type, typeEnumerated) << spelling;
        EXPECT_EQ(item.enumType, PIFourCC("GLty"));
        EXPECT_EQ(item.enumValue, PIFourCC("GL62")) << spelling;
    }
    EXPECT_EQ(Parsed("glue=hard_light").enumValue, PIFourCC("GL11"));
    EXPECT_EQ(Parsed("symmetry=5-fold").enumValue, PIFourCC("SY04"));
}

TEST(ParameterNames, RefusalsNameTheFaultAndTheValidChoices) {
    EXPECT_EQ(Refused("zoom"), "--set takes NAME=VALUE, not \"zoom\"");
    EXPECT_EQ(Refused("zooom=3"),
              "unknown parameter \"zooom\"; the parameters are: mixer 1, invert 1, red phase, glue, zoom, symmetry");
    EXPECT_EQ(Refused("glue=shiny"),
              "unknown glue \"shiny\"; the values are: normal, hard light, screendim");
    // Ranges are those of the dialog's controls (above the range: the command line's runs).
    for (const char* value : {"-1", "5x", ""})
        EXPECT_EQ(Refused(std::string("zoom=") + value), "zoom takes an integer from 0 to 100, not \"" + std::string(value) + "\"");
    EXPECT_EQ(Refused("invert1=maybe"), "invert 1 is on or off, not \"maybe\"");
}

TEST(DescriptorText, RoundTripsEveryItemKind) {
    filterhost::Descriptor descriptor = {
        {PIFourCC("0001"), typeInteger, -2147483647 - 1, 0, 0},
        {PIFourCC("0013"), typeBoolean, 1, 0, 0},
        {PIFourCC("0016"), typeBoolean, 0, 0, 0},
        {PIFourCC("GLUE"), typeEnumerated, 0, PIFourCC("GLty"), PIFourCC("GL60")},  // no name in the terminology
        {PIFourCC("SYky"), typeEnumerated, 0, PIFourCC("SYty"), PIFourCC("SY04")},
        {PIFourCC("GLUE"), typeEnumerated, 0, PIFourCC("GLty"), PIFourCC("<NO>")},
        {0x41422023u /* "AB #" */, typeInteger, 7, 0, 0},
        {0x00000001u, typeInteger, 2147483647, 0, 0},
    };
    const std::string text = FormatDescriptor(descriptor, SomeTerms());
    EXPECT_NE(text.find("0013 bool true"), std::string::npos) << text;
    EXPECT_NE(text.find("SYky enum SYty SY04"), std::string::npos) << text;
    EXPECT_NE(text.find("# symmetry = 5-fold"), std::string::npos) << text;
    EXPECT_NE(text.find("0x41422023 long 7"), std::string::npos) << text;
    EXPECT_NE(text.find("0x00000001 long 2147483647"), std::string::npos) << text;

    filterhost::Descriptor back;
    std::string error;
    ASSERT_TRUE(ParseDescriptor(text, back, error)) << error;
    ASSERT_EQ(back.size(), descriptor.size());
    auto fields = [](const filterhost::DescriptorItem& d) { return std::tie(d.key, d.type, d.value, d.enumType, d.enumValue); };
    for (std::size_t i = 0; i < back.size(); ++i) EXPECT_EQ(fields(back[i]), fields(descriptor[i])) << i;

    // Hand-written text: comments, blank lines and CRLF line ends are fine.
    ASSERT_TRUE(ParseDescriptor("# mine\r\n\r\n0033 long 12   # zoom\r\n", back, error)) << error;
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].value, 12);
}

TEST(DescriptorText, FaultsNameTheirLine) {
    auto fault = [](const char* text) {
        filterhost::Descriptor descriptor;
        std::string error;
        EXPECT_FALSE(ParseDescriptor(text, descriptor, error)) << text;
        return error;
    };
    EXPECT_EQ(fault("0001 long 3\n0002 long\n"), "line 2: expected a key, a type and a value");
    EXPECT_EQ(fault("0001 long 99999999999\n"), "line 1: \"99999999999\" is not a 32-bit integer");
    EXPECT_EQ(fault("\n\n0013 bool yes\n"), "line 3: a bool is true or false");
    EXPECT_EQ(fault("GLUE enum GL62\n"), "line 1: an enumerated value needs its type and value codes");
    EXPECT_EQ(fault("ZOOMY long 3\n"), "line 1: expected a key, a type and a value");
}

}  // namespace
