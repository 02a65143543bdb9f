// The main dialog's control table and the descriptor function over it.
#include "dialog/ControlTable.h"

#include <array>

namespace {

using Field = std::int32_t Settings::*;

struct ControlRow {
    int id;
    std::int32_t kind;
    ui::Rect rect;  // client pixels: left, top, right, bottom
    std::int32_t images[4];
    int pair;       // slider <-> number field, label -> its control; -1 for none
    std::int32_t labelNumber;
    std::int32_t minimum, maximum;
    Field field;
};

constexpr std::int32_t kNo = -1;
constexpr std::int32_t kLeft = 1, kRight = 0;  // label alignment, carried in the minimum

constexpr ControlRow Slider(int id, ui::Rect r, int field, std::int32_t lo, std::int32_t hi, std::int32_t track,
                            Field setting) {
    return {id, kKindSlider, r, {track, artwork::kKnob, kNo, kNo}, field, 0, lo, hi, setting};
}
constexpr ControlRow Number(int id, ui::Rect r, int slider, std::int32_t lo, std::int32_t hi) {
    return {id, kKindNumberField, r, {kNo, kNo, kNo, kNo}, slider, 0, lo, hi, nullptr};
}
constexpr ControlRow Label(int id, ui::Rect r, int control, std::int32_t number, std::int32_t align) {
    return {id, kKindLabel, r, {kNo, kNo, kNo, kNo}, control, number, align, 100, nullptr};
}
constexpr ControlRow Switch(int id, ui::Rect r, Field setting) {
    return {id, kKindSwitch, r, {kNo, kNo, kNo, kNo}, -1, 0, 0, 1, setting};
}
constexpr ControlRow List(int id, ui::Rect r, std::int32_t count, Field setting) {
    return {id, kKindDropDownList, r, {kNo, kNo, kNo, kNo}, -1, 0, 1, count, setting};
}
constexpr ControlRow Icon(int id, ui::Rect r, std::int32_t icon) {
    return {id, kKindIconButton, r, {kNo, kNo, kNo, icon}, -1, 0, 0, 100, nullptr};
}
constexpr ControlRow Plain(int id, std::int32_t kind, ui::Rect r, std::int32_t image = kNo) {
    return {id, kind, r, {image, kNo, kNo, kNo}, -1, 0, 0, 100, nullptr};
}
constexpr ControlRow Dot(int id, int x, int y) {
    return {id, kKindMemoryDot, {x, y, x + 12, y + 12}, {203, 210, kNo, kNo}, -1, 0, 0, 100, nullptr};
}

constexpr std::int32_t A = artwork::kTrackA, B = artwork::kTrackB;

// The layout the dialog opens with, and every control's role.
constexpr ControlRow kRows[] = {
    // Mixer 1
    Label(23, {20, 29, 68, 45}, 15, 3, kRight),
    Slider(15, {77, 28, 212, 40}, 20, 0, 100, A, &Settings::mixer1),
    Number(20, {221, 25, 251, 41}, 15, 0, 100),
    Label(14, {19, 53, 68, 68}, 17, 4, kRight),
    Slider(17, {77, 53, 212, 65}, 19, 0, 100, A, &Settings::sharpness1),
    Number(19, {221, 51, 251, 67}, 17, 0, 100),
    Slider(16, {77, 79, 212, 91}, 18, 1, 200, A, &Settings::amount11),
    Number(18, {221, 77, 251, 93}, 16, 1, 200),
    Slider(22, {77, 104, 212, 116}, 21, 1, 200, A, &Settings::amount12),
    Number(21, {221, 101, 251, 117}, 22, 1, 200),
    Switch(56, {77, 128, 91, 142}, &Settings::invert1),
    Label(57, {95, 128, 160, 144}, 56, 5, kLeft),
    // Mixer 2
    Label(35, {20, 154, 68, 169}, 27, 6, kRight),
    Slider(27, {77, 153, 212, 165}, 32, 0, 100, B, &Settings::mixer2),
    Number(32, {221, 150, 251, 166}, 27, 0, 100),
    Label(26, {19, 178, 68, 192}, 29, 7, kRight),
    Slider(29, {77, 178, 212, 190}, 31, 0, 100, B, &Settings::sharpness2),
    Number(31, {221, 176, 251, 192}, 29, 0, 100),
    Slider(28, {77, 206, 212, 218}, 30, 1, 200, B, &Settings::amount21),
    Number(30, {221, 204, 251, 220}, 28, 1, 200),
    Slider(34, {77, 231, 212, 243}, 33, 1, 200, B, &Settings::amount22),
    Number(33, {221, 228, 251, 244}, 34, 1, 200),
    Switch(65, {78, 253, 92, 267}, &Settings::invert2),
    Label(66, {96, 253, 161, 269}, 65, 8, kLeft),
    // Mixer 3
    Label(45, {20, 278, 68, 294}, 37, 9, kRight),
    Slider(37, {77, 277, 212, 289}, 42, 0, 100, A, &Settings::mixer3),
    Number(42, {220, 274, 250, 290}, 37, 0, 100),
    Label(36, {19, 302, 68, 317}, 39, 10, kRight),
    Slider(39, {77, 302, 212, 314}, 41, 0, 100, A, &Settings::sharpness3),
    Number(41, {220, 300, 250, 316}, 39, 0, 100),
    Slider(38, {77, 330, 212, 342}, 40, 1, 200, A, &Settings::amount31),
    Number(40, {220, 328, 250, 344}, 38, 1, 200),
    Slider(44, {77, 355, 212, 367}, 43, 1, 200, A, &Settings::amount32),
    Number(43, {220, 352, 250, 368}, 44, 1, 200),
    Switch(67, {77, 379, 91, 393}, &Settings::invert3),
    Label(68, {95, 379, 160, 395}, 67, 11, kLeft),
    // Density, overall sharpness and zoom, under the preview
    Label(64, {512, 592, 560, 608}, 63, 12, kRight),
    Slider(63, {569, 592, 704, 604}, 62, 0, 100, B, &Settings::density),
    Number(62, {712, 591, 736, 603}, 63, 0, 100),
    Label(46, {512, 618, 560, 634}, 25, 13, kRight),
    Slider(25, {569, 618, 704, 630}, 24, 0, 100, B, &Settings::sharpness),
    Number(24, {712, 617, 736, 629}, 25, 0, 100),
    Label(71, {512, 644, 560, 660}, 72, 19, kRight),
    Slider(72, {569, 644, 704, 656}, 73, 0, 100, B, &Settings::zoom),
    Number(73, {712, 643, 736, 655}, 72, 0, 100),
    // Geometry switches
    Switch(79, {223, 416, 237, 430}, &Settings::smooth),
    Label(78, {242, 417, 296, 430}, 79, 22, kLeft),
    Switch(58, {223, 440, 237, 454}, &Settings::mirror),
    Label(59, {242, 441, 296, 454}, 58, 14, kLeft),
    Switch(74, {223, 464, 237, 478}, &Settings::aspect),
    Label(75, {242, 465, 296, 478}, 74, 20, kLeft),
    Switch(60, {223, 488, 237, 502}, &Settings::weave),
    Label(61, {242, 489, 296, 502}, 60, 15, kLeft),
    // Colour rows
    Label(51, {15, 423, 63, 439}, -1, 16, kRight),
    Icon(47, {74, 414, 136, 445}, 237),
    Icon(48, {148, 414, 210, 445}, 225),
    Label(52, {15, 481, 63, 497}, -1, 17, kRight),
    Icon(49, {74, 472, 136, 503}, 237),
    Icon(7, {148, 472, 210, 503}, 225),
    // Symmetry and glue
    Label(76, {19, 533, 67, 549}, 77, 21, kRight),
    List(77, {76, 529, 146, 545}, 4, &Settings::symmetry),
    Label(53, {18, 566, 66, 582}, 9, 18, kRight),
    List(9, {76, 561, 211, 577}, 62, &Settings::glue),
    Icon(80, {221, 562, 238, 578}, 231),
    // Buttons
    Icon(69, {74, 600, 136, 631}, 237),
    Icon(70, {148, 600, 210, 631}, 242),
    Icon(8, {74, 648, 136, 679}, 240),
    Icon(6, {148, 648, 210, 679}, 243),
    Icon(115, {74, 693, 136, 724}, 225),
    Icon(117, {148, 693, 210, 724}, 232),
    Icon(50, {757, 581, 819, 612}, 237),
    Icon(10, {658, 500, 674, 516}, 5),
    Icon(11, {593, 500, 609, 516}, 169),
    Plain(12, kKindIconButton, {617, 499, 652, 517}),
    Icon(55, {464, 499, 488, 523}, 235),
    Icon(150, {798, 499, 814, 515}, 236),
    Plain(3, kKindStandardButton, {757, 692, 819, 723}),
    Plain(2, kKindStandardButton, {463, 692, 525, 723}),
    Plain(54, kKindLogo, {14, 694, 46, 726}, artwork::kLogo),
    // Areas painted by id rather than by kind
    Plain(5, kKindNone, {324, 0, 813, 491}),
    Plain(13, kKindNone, {466, 538, 814, 557}),
    Plain(1, kKindNone, {256, 14, 274, 33}),
    Plain(4, kKindNone, {296, 490, 458, 648}),
    // Memory dots on their ring, and the extra dot inside it
    Plain(119, kKindExtraDot, {325, 506, 421, 602}, artwork::kDotFrame),
    Dot(121, 307, 495), Dot(122, 311, 507), Dot(123, 311, 519), Dot(124, 307, 532), Dot(125, 303, 545),
    Dot(126, 299, 558), Dot(127, 299, 571), Dot(128, 303, 583), Dot(129, 310, 594), Dot(130, 318, 604),
    Dot(131, 329, 612), Dot(132, 341, 621), Dot(133, 354, 627), Dot(134, 369, 631), Dot(135, 384, 631),
    Dot(136, 398, 627), Dot(137, 411, 621), Dot(138, 423, 612), Dot(139, 432, 600), Dot(140, 438, 587),
    Dot(141, 442, 572), Dot(142, 442, 557), Dot(143, 438, 543), Dot(144, 432, 530), Dot(145, 423, 518),
};

// Rows by id, built once.
const std::array<const ControlRow*, kControlIdCount>& RowsById() {
    static const auto byId = [] {
        std::array<const ControlRow*, kControlIdCount> table{};
        for (const ControlRow& row : kRows) table[std::size_t(row.id)] = &row;
        return table;
    }();
    return byId;
}

const ControlRow* Row(int id) { return id >= 0 && id < kControlIdCount ? RowsById()[std::size_t(id)] : nullptr; }

constexpr int kTransferOrder[] = {15, 27, 37, 17, 29, 39, 16, 28, 38, 22, 34, 44,
                                  56, 65, 67, 25, 58, 60, 63, 9,  72, 74, 77, 79};

}  // namespace

ControlDescriptor DescribeControl(int id) {
    ControlDescriptor d{kNoControl, kNoControl, kKindNone, {-1, -1, -1, -1}, 0, 0, 100};
    const ControlRow* row = Row(id);
    if (!row || row->kind == kKindNone) return d;
    d.kind = row->kind;
    d.partnerId = std::uint16_t(id);
    if (row->kind == kKindSlider) d.editId = std::uint16_t(row->pair);
    if (row->kind == kKindNumberField) d.editId = std::uint16_t(id), d.partnerId = std::uint16_t(row->pair);
    for (int i = 0; i < 4; ++i) d.images[i] = row->images[i];
    d.labelNumber = row->labelNumber;
    d.minimum = row->minimum;
    d.maximum = row->maximum;
    return d;
}

ui::Rect ControlLayout(int id) {
    const ControlRow* row = Row(id);
    return row ? row->rect : ui::Rect{};
}

std::int32_t Settings::*ControlField(int id) {
    const ControlRow* row = Row(id);
    return row ? row->field : nullptr;
}

int LabelledControl(int labelId) {
    const ControlRow* row = Row(labelId);
    return row && row->kind == kKindLabel ? row->pair : -1;
}

std::string_view LabelText(int labelNumber) {
    switch (labelNumber) {
        case 2: return "Auto preview";
        case 3: return "Mixer 1";
        case 4: case 7: case 10: case 13: return "Sharpness";
        case 5: case 8: case 11: return "Invert";
        case 6: return "Mixer 2";
        case 9: return "Mixer 3";
        case 12: return "Density";
        case 14: return "Mirror";
        case 15: return "Weave";
        case 16: return "Hues";
        case 17: return "Color";
        case 18: return "Glue";
        case 19: return "Zoom";
        case 20: return "Aspect";
        case 21: return "Symmetry";
        case 22: return "Smooth";
        case 29: case 30: return "Tesselume";
        case 33: return "random settings";
        default: return "-undef string-";
    }
}

std::span<const int> TransferOrder() { return kTransferOrder; }
