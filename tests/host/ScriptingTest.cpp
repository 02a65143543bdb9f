// Scripting: descriptors played into a run and recorded at its end.
#include "HostTestSupport.h"
#include "settings/Parameters.h"

namespace {

using filterhost::Descriptor;
using filterhost::DescriptorItem;

// What a run records after playing `play` on a host of signature hostSig.
Descriptor Replay(const std::optional<Descriptor>& play, OSType hostSig = PIFourCC("8BIM")) {
    filterhost::HostOptions options;
    options.hostSig = hostSig;
    auto image = RampImage(6, 4, 3, 8);
    filterhost::Job job;
    job.play = play;
    return RunJob(image, job, options).recorded.value();
}

}  // namespace

TEST(Scripting, AllKeysRoundTripCyclesCarryDensityMissingKeysTakeTheFactoryValues) {
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
    const Descriptor recorded = Replay(played);
    ASSERT_EQ(recorded.size(), played.size());
    const int32_t density = FindItem(played, PIFourCC("0031"))->value;
    for (std::size_t i = 0; i < played.size(); ++i) {
        const bool cycles = played[i].key == PIFourCC("0019") || played[i].key == PIFourCC("0023") ||
                            played[i].key == PIFourCC("0027");
        EXPECT_EQ(recorded[i].key, played[i].key) << i;  // written in table order
        EXPECT_EQ(recorded[i].type, played[i].type) << i;
        EXPECT_EQ(recorded[i].value, cycles ? density : played[i].value) << i;
        EXPECT_EQ(recorded[i].enumType, played[i].enumType) << i;
        EXPECT_EQ(recorded[i].enumValue, played[i].enumValue) << i;
    }

    // Missing keys take the factory values.
    const Descriptor zoomOnly{{PIFourCC("0033"), typeInteger, 12, 0, 0}};
    const Descriptor filledIn = Replay(zoomOnly);
    for (const ParameterInfo& p : kParameters) {
        const DescriptorItem* item = FindItem(filledIn, p.key);
        ASSERT_TRUE(item) << p.name;
        if (p.kind == ParamKind::glue) EXPECT_EQ(item->enumValue, PIFourCC("GL01"));
        else if (p.kind == ParamKind::symmetry) EXPECT_EQ(item->enumValue, PIFourCC("SY02"));
        else EXPECT_EQ(item->value, p.key == PIFourCC("0033") ? 12 : p.factory) << p.name;
    }
    // Glue codes map to modes; an unknown code is glue 0.
    for (const char* code : {"GL60", "GL61", "GL99", "SY01"}) {
        const Descriptor glue{{PIFourCC("GLUE"), typeEnumerated, 0, kGlueType, PIFourCC(code)}};
        const OSType want = code[3] == '9' || code[0] == 'S' ? PIFourCC("<NO>") : PIFourCC(code);
        EXPECT_EQ(FindItem(Replay(glue), PIFourCC("GLUE"))->enumValue, want) << code;
    }
    // A host without scripting is not read, but the run is still recorded.
    EXPECT_EQ(FindItem(Replay(zoomOnly, PIFourCC("PSP9")), PIFourCC("0033"))->value, 55);
    // Without a descriptor suite nothing is recorded.
    filterhost::HostOptions options;
    options.descriptorSuite = false;
    auto image = RampImage(6, 4, 3, 8);
    const auto report = RunJob(image, {}, options);
    EXPECT_EQ(report.result, noErr);
    EXPECT_FALSE(report.recorded.has_value());
}
