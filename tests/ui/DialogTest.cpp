// Real dialogs run headless from scripts, with a procedure recording what it hears.
#include <algorithm>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/ui/Dialog.h"
#include "platform/ui/Headless.h"

namespace {

const char kTemplate[] =
    "dialog 0 0 200 120\ncaption \"Test\"\nfont \"MS Sans Serif\" 8\n"
    "edit 10 10 10 60 12 \"\" border\ncombobox 11 10 30 60 12 \"\"\ncheckbox 12 10 50 60 10 \"Check\"\n"
    "button 13 100 90 40 14 \"Go\" default\nstatic 14 100 10 90 60 \"\" hidden\n"
    "button 2 150 90 40 14 \"Cancel\"\nstatic 15 10 70 60 10 \"Label\"\n";

// What a dialog procedure heard, in order.
struct Heard {
    std::vector<ui::Message> messages;
    bool captureOnPress = false;
    std::vector<std::pair<int, std::uint32_t>> timers;  // id, tick
    std::vector<std::string> order;
    std::vector<ui::Rect> paints;  // the region of each Paint message
    std::function<void(ui::Window*)> onInitialise;

    std::vector<ui::Message> Commands(int id) const {
        std::vector<ui::Message> found;
        for (const ui::Message& m : messages)
            if (m.kind == ui::MessageKind::Command && m.id == id) found.push_back(m);
        return found;
    }
    int Count(ui::MessageKind kind) const {
        return int(std::count_if(messages.begin(), messages.end(), [&](const ui::Message& m) { return m.kind == kind; }));
    }
};

intptr_t Recorder(ui::Window* window, const ui::Message& message) {
    using ui::MessageKind;
    if (message.kind == MessageKind::Initialise) ui::SetUserData(window, message.param);
    Heard& heard = *reinterpret_cast<Heard*>(ui::UserData(window));
    if (message.kind == MessageKind::Paint) {
        heard.paints.push_back(ui::PaintCanvas(window).clip);
    } else if (message.kind == MessageKind::StaticColor) {
        return message.id == 15 ? ui::SolidColor(ui::Rgb(255, 0, 0)) : 0;
    } else if (message.kind != MessageKind::EraseBackground) {
        heard.messages.push_back(message);
    }
    if (message.kind == MessageKind::Initialise) {
        for (const char* item : {"2-fold", "3-fold", "4-fold", "5-fold"}) ui::AddItem(window, 11, item);
        ui::SetSelection(window, 11, 0);
        if (heard.onInitialise) heard.onInitialise(window);
    } else if (message.kind == MessageKind::LeftDown && heard.captureOnPress) {
        ui::SetCapture(window);
    } else if (message.kind == MessageKind::LeftUp) {
        ui::ReleaseCapture();
    } else if (message.kind == MessageKind::Timer) {
        heard.timers.emplace_back(message.id, ui::TickCount());
        if (message.id == 3) ui::KillTimer(window, 3);  // timer 3 is a one-shot
    } else if (message.kind == MessageKind::Command && message.id == 13) {
        heard.order.push_back("go");
        ui::PostMessage(window, {MessageKind::Command, 99});
        heard.order.push_back("go done");
    } else if (message.kind == MessageKind::Command && message.id == 99) {
        heard.order.push_back("posted");
    } else if (message.kind == MessageKind::Command && message.id == ui::kIdCancel) {
        ui::EndDialog(window, ui::kIdCancel);
    }
    return 0;
}

// Runs the test dialog with whatever steps are queued.
intptr_t Open(Heard& heard) {
    const std::string text = kTemplate;
    return ui::RunDialog({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, nullptr, Recorder,
                         reinterpret_cast<intptr_t>(&heard));
}

intptr_t RunScripted(Heard& heard, const std::string& script) {
    ui::headless::ClearQueue();
    EXPECT_TRUE(ui::headless::QueueScript(script));
    return Open(heard);
}

// True when some column of r near its right end is black from top to bottom, as the
// caret is and no glyph is.
bool CaretNearRightEnd(ui::Window* window, int id) {
    const ui::Canvas canvas = ui::PaintCanvas(window);
    const ui::Rect r = ui::ControlRect(window, id);
    for (int x = r.right - 6; x < r.right; ++x) {
        bool black = true;
        for (int y = r.top + 4; y < r.bottom - 4 && black; ++y) black = canvas.PixelAt(x, y) == ui::Rgb(0, 0, 0);
        if (black) return true;
    }
    return false;
}

TEST(Dialog, EditFieldsListsAndCheckBoxesNotifyAndReadBackAndEditsKeepTheCaretInView) {
    Heard heard;
    std::string text;
    int start = -1, end = -1;
    bool caretAtEnd = false, caretAfterHome = true;
    ui::headless::ClearQueue();
    ASSERT_TRUE(ui::headless::QueueScript("click #10; type 12ab; key Backspace; key Home; type x; key Shift+Right"));
    ui::headless::QueueCall([&](ui::Window* window) {
        text = ui::ControlText(window, 10);
        ui::GetEditSelection(window, 10, start, end);
    });
    ASSERT_TRUE(ui::headless::QueueScript("key Delete; key End; key Ctrl+A; type 7"));
    ui::headless::QueueCall([&](ui::Window* window) { text += "|" + ui::ControlText(window, 10); });
    // A text wider than the field.
    ASSERT_TRUE(ui::headless::QueueScript("key Ctrl+A; type WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW"));
    ui::headless::QueueCall([&](ui::Window* window) { caretAtEnd = CaretNearRightEnd(window, 10); });
    ASSERT_TRUE(ui::headless::QueueScript("key Home"));
    ui::headless::QueueCall([&](ui::Window* window) {
        caretAfterHome = CaretNearRightEnd(window, 10);
        text += "|" + std::to_string(ui::ControlText(window, 10).size());
    });
    EXPECT_EQ(Open(heard), ui::kIdCancel);
    EXPECT_EQ(text, "x12a|7|36");
    EXPECT_EQ(std::pair(start, end), std::pair(1, 2));
    EXPECT_EQ(std::pair(caretAtEnd, caretAfterHome), std::pair(true, false));
    // Every change by the user is one notification: 4 typed, backspace, x, delete, a
    // replacement, then the 36 letters.
    const auto changes = heard.Commands(10);
    EXPECT_EQ(changes.size(), 8u + 36u);
    for (const ui::Message& m : changes) EXPECT_EQ(m.code, ui::kEditChanged);

    Heard lists;
    int kept = -1, selection = -1;
    bool checked = false;
    std::string shown;
    ui::headless::ClearQueue();
    // Escape only closes an open list. Then the mouse picks the third entry below the
    // list, Down moves on, and F4, Up and Enter choose the entry above.
    ASSERT_TRUE(ui::headless::QueueScript("click #11; key Down; key Down; key Escape"));
    ui::headless::QueueCall([&](ui::Window* window) {
        kept = ui::Selection(window, 11);
        const ui::Rect r = ui::ControlRect(window, 11);
        const int row = ui::LineHeight(*ui::DialogFont(window)) + 2;
        ui::headless::QueueScript("click #11; click " + std::to_string(r.left + 5) + "," +
                                  std::to_string(r.bottom + 1 + 2 * row + row / 2) +
                                  "; key Down; key F4; key Up; key Enter");
        ui::headless::QueueCall([&](ui::Window* w) {
            selection = ui::Selection(w, 11);
            shown = ui::ControlText(w, 11);
        });
        ui::headless::QueueScript("click #12");
        ui::headless::QueueCall([&](ui::Window* w) { checked = ui::Checked(w, 12); });
        ui::headless::QueueScript("key Space");
    });
    EXPECT_EQ(Open(lists), ui::kIdCancel);
    EXPECT_EQ(std::tuple(kept, selection, shown), std::tuple(0, 2, "4-fold"));
    const auto listChanges = lists.Commands(11);
    ASSERT_EQ(listChanges.size(), 3u);  // the pick, Down, Enter
    for (const ui::Message& m : listChanges) EXPECT_EQ(m.code, ui::kSelectionChanged);
    EXPECT_TRUE(checked);
    const auto clicks = lists.Commands(12);
    ASSERT_EQ(clicks.size(), 2u);  // the click, then Space
    EXPECT_EQ(clicks[0].code, ui::kClicked);
    EXPECT_EQ(lists.Commands(ui::kIdCancel).size(), 1u);  // from the end of the script, not that Escape
}

TEST(Dialog, CaptureKeepsMouseMovesComingOverOtherControls) {
    for (const bool capture : {true, false}) {
        Heard heard;
        heard.captureOnPress = capture;
        ui::Rect button;
        heard.onInitialise = [&](ui::Window* window) { button = ui::ControlRect(window, 13); };
        RunScripted(heard, "drag #14 #13");
        const ui::Message* lastMove = nullptr;
        for (const ui::Message& m : heard.messages)
            if (m.kind == ui::MessageKind::MouseMove) lastMove = &m;
        ASSERT_NE(lastMove, nullptr);
        // With capture the dialog hears the pointer arrive over the button and its
        // release there; without it, the button takes them and is not pressed by a
        // drag that did not start on it.
        EXPECT_EQ(heard.Count(ui::MessageKind::LeftUp), capture ? 1 : 0);
        EXPECT_EQ(button.Contains(lastMove->x, lastMove->y), capture) << lastMove->x << "," << lastMove->y;
        EXPECT_TRUE(heard.Commands(13).empty());
    }
}

TEST(Dialog, TimersFireInOrderOnTheVirtualClock) {
    Heard heard;
    std::uint32_t opened = 0;
    heard.onInitialise = [&](ui::Window* window) {
        opened = ui::TickCount();
        ui::SetTimer(window, 1, 300);
        ui::SetTimer(window, 2, 100);
    };
    ui::headless::ClearQueue();
    ASSERT_TRUE(ui::headless::QueueScript("wait 450"));
    ui::headless::QueueCall([&](ui::Window* window) {
        ui::KillTimer(window, 1);
        ui::KillTimer(window, 2);
        ui::SetTimer(window, 3, 1000);  // a one-second timer, after the script ends
    });
    Open(heard);
    const std::vector<std::pair<int, std::uint32_t>> expected = {
        {2, opened + 100}, {2, opened + 200}, {1, opened + 300}, {2, opened + 300}, {2, opened + 400},
        {3, opened + 1450}};
    ASSERT_GE(heard.timers.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(heard.timers[i], expected[i]) << i;
}

TEST(Dialog, KeyboardMovesFocusInTemplateOrderAndPressesButtons) {
    Heard heard;
    std::vector<int> focus;
    heard.onInitialise = [&](ui::Window* window) { ui::EnableControl(window, 12, false); };
    ui::headless::ClearQueue();
    for (int i = 0; i < 5; ++i) {
        ui::headless::QueueCall([&](ui::Window* window) { focus.push_back(ui::FocusedControl(window)); });
        ui::headless::QueueScript("key Tab");
    }
    ui::headless::QueueScript("key Shift+Tab; key Shift+Tab; key Shift+Tab; key Enter; key Escape");
    EXPECT_EQ(Open(heard), ui::kIdCancel);
    // The disabled check box and the hidden static are skipped.
    EXPECT_EQ(focus, (std::vector<int>{10, 11, 13, 2, 10}));
    // Shift+Tab goes back from the combo box past the edit field, round to Cancel and
    // on to button 13; Enter presses it, and the message it posts arrives after it.
    EXPECT_EQ(heard.Commands(13).size(), 1u);
    EXPECT_EQ(heard.order, (std::vector<std::string>{"go", "go done", "posted"}));
}

TEST(Dialog, ControlsMoveAndRepaintAlone) {
    Heard heard;
    ui::Rect painted, checkBox, moved{200, 150, 260, 180};
    ui::Color labelCorner = 0, face = 0;
    ui::headless::ClearQueue();
    ui::headless::QueueCall([&](ui::Window* window) {
        const ui::Canvas canvas = ui::PaintCanvas(window);
        labelCorner = canvas.PixelAt(ui::ControlRect(window, 15).left, ui::ControlRect(window, 15).top);
        face = canvas.PixelAt(1, 1);
        ui::SetClientSize(window, 300, 200);  // room for the button's new place
        ui::MoveControl(window, 13, moved);
        ui::UpdateWindow(window);
        ui::InvalidateControl(window, 12);
        ui::UpdateWindow(window);
        painted = heard.paints.back();
        checkBox = ui::ControlRect(window, 12);
    });
    ASSERT_TRUE(ui::headless::QueueScript("click 230,165"));
    Open(heard);
    EXPECT_EQ(labelCorner, ui::Rgb(255, 0, 0));  // the static's colour answer
    EXPECT_EQ(face, ui::kFaceColor);
    EXPECT_EQ(painted, checkBox);  // repainting one control paints its rectangle only
    EXPECT_EQ(heard.Commands(13).size(), 1u);  // clicked where it was moved to
}

TEST(Dialog, AHeadlessDialogWithoutScriptIsClosedAndABadTemplateIsRefused) {
    Heard heard;
    EXPECT_EQ(RunScripted(heard, ""), ui::kIdCancel);
    EXPECT_EQ(heard.Count(ui::MessageKind::Close), 1);
    EXPECT_EQ(heard.messages.front().kind, ui::MessageKind::Initialise);

    const std::string broken = "dialog 0 0 10\n";
    EXPECT_EQ(ui::RunDialog({reinterpret_cast<const std::uint8_t*>(broken.data()), broken.size()}, nullptr, Recorder, 0),
              -1);
    std::string error;
    EXPECT_FALSE(ui::headless::QueueScript("click #5; jump 3", &error));
    EXPECT_NE(error.find("jump 3"), std::string::npos);
}

}  // namespace
