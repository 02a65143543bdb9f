// Scripting: descriptors played into a run and recorded at its end.
#include "HostTestSupport.h"
#include "settings/Parameters.h"

namespace {

using filterhost::Descriptor;
using filterhost::DescriptorItem;

filterhost::RunReport Replay(const std::optional<Descriptor>& play, OSType hostSig = PIFourCC("8BIM")) {
    filterhost::HostOptions options;
    options.hostSig = hostSig;
    auto host = LoadModule(options);
    auto image = RampImage(6, 4, 3, 8);
    filterhost::Job job;
    job.play = play;
    std::string error;
    auto report = host->Run(image, job, error);
    EXPECT_EQ(report.result, noErr) << error;
    EXPECT_TRUE(report.recorded.has_value());
    return report;
}

const DescriptorItem* Item(const Descriptor& d, OSType key) {
    for (const DescriptorItem& item : d)
        if (item.key == key) return &item;
    return nullptr;
}

}  // namespace

TEST(Scripting, AllKeysRoundTripAndCyclesCarryDensity) {
    Descriptor played;
    for (const ParameterInfo& p : kParameters) {
        const int32_t index = int32_t(&p - kParameters.data());
        switch (p.kind) {
            case ParamKind::integer: played.push_back({p.key, typeInteger, 1000 + index, 0, 0}); break;
            case ParamKind::boolean: played.push_back({p.key, typeBoolean, p.factory ? 0 : 1, 0, 0}); break;
            case ParamKind::glue: played.push_back({p.key, typeEnumerated, 0, kGlueType, PIFourCC("GL62")}); break;
            case ParamKind::symmetry:
                played.push_back({p.key, typeEnumerated, 0, kSymmetryType, PIFourCC("SY04")});
                break;
        }
    }
    const Descriptor recorded = *Replay(played).recorded;
    ASSERT_EQ(recorded.size(), played.size());
    const int32_t density = Item(played, PIFourCC("0031"))->value;
    for (std::size_t i = 0; i < played.size(); ++i) {
        const bool cycles = played[i].key == PIFourCC("0019") || played[i].key == PIFourCC("0023") ||
                            played[i].key == PIFourCC("0027");
        EXPECT_EQ(recorded[i].key, played[i].key) << i;  // written in table order
        EXPECT_EQ(recorded[i].type, played[i].type) << i;
        EXPECT_EQ(recorded[i].value, cycles ? density : played[i].value) << i;
        EXPECT_EQ(recorded[i].enumType, played[i].enumType) << i;
        EXPECT_EQ(recorded[i].enumValue, played[i].enumValue) << i;
    }
}

TEST(Scripting, MissingKeysTakeFactoryValues) {
    const Descriptor recorded = *Replay(Descriptor{{PIFourCC("0033"), typeInteger, 12, 0, 0}}).recorded;
    for (const ParameterInfo& p : kParameters) {
        const DescriptorItem* item = Item(recorded, p.key);
        ASSERT_TRUE(item) << p.name;
        if (p.kind == ParamKind::glue) EXPECT_EQ(item->enumValue, PIFourCC("GL01"));
        else if (p.kind == ParamKind::symmetry) EXPECT_EQ(item->enumValue, PIFourCC("SY02"));
        else EXPECT_EQ(item->value, p.key == PIFourCC("0033") ? 12 : p.factory) << p.name;
    }
}

TEST(Scripting, EnumerationCodesMapToModes) {
    const auto GlueAfter = [](OSType code) {
        const Descriptor recorded =
            *Replay(Descriptor{{PIFourCC("GLUE"), typeEnumerated, 0, kGlueType, code}}).recorded;
        return Item(recorded, PIFourCC("GLUE"))->enumValue;
    };
    EXPECT_EQ(GlueAfter(PIFourCC("GL60")), PIFourCC("GL60"));
    EXPECT_EQ(GlueAfter(PIFourCC("GL61")), PIFourCC("GL61"));
    EXPECT_EQ(GlueAfter(PIFourCC("GL62")), PIFourCC("GL62"));
    EXPECT_EQ(GlueAfter(PIFourCC("GL99")), PIFourCC("<NO>"));  // unknown code: glue 0
    EXPECT_EQ(GlueAfter(PIFourCC("SY01")), PIFourCC("<NO>"));
}

TEST(Scripting, HostsWithoutScriptingAreNotReadButStillRecorded) {
    const Descriptor recorded =
        *Replay(Descriptor{{PIFourCC("0033"), typeInteger, 12, 0, 0}}, PIFourCC("PSP9")).recorded;
    EXPECT_EQ(Item(recorded, PIFourCC("0033"))->value, 55);
}

TEST(Scripting, NoDescriptorSuiteNoRecording) {
    filterhost::HostOptions options;
    options.descriptorSuite = false;
    auto host = LoadModule(options);
    auto image = RampImage(6, 4, 3, 8);
    std::string error;
    const auto report = host->Run(image, {}, error);
    EXPECT_EQ(report.result, noErr);
    EXPECT_FALSE(report.recorded.has_value());
}
