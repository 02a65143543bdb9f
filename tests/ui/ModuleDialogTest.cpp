// The module's own dialogs from its resources.
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "dialog/AboutBox.h"
#include "dialog/ModuleDialog.h"
#include "dialog/Refusal.h"
#include "store/HostUtil.h"
#include "platform/ui/Headless.h"
#include "support/Screenshot.h"
#include "support/StateFiles.h"

namespace {

TEST(ModuleDialogs, TheAboutBoxOverTheHostWindowAndTheRefusalsShowTheirTextsAndPictures) {
    PIWindowGeometry host{VRect{100, 200, 700, 1000}, 1920, 1080};
    PlatformData platform{&host};
    FilterRecord record{};
    record.platformData = &platform;
    Current().filterRecord = &record;
    ui::headless::ClearQueue();
    ShowAboutBox();  // no script: ends by itself
    EXPECT_FALSE(AboutBoxOpen());

    const std::string path = testsupport::StatePath("about.png");
    ui::Rect picture, button;
    bool openInside = false;
    ui::Position placed;
    WindowPlacement expected{};
    std::string buttonText;
    ui::headless::QueueCall([&](ui::Window* window) {
        openInside = AboutBoxOpen();
        picture = ui::ControlRect(window, 100);
        button = ui::ControlRect(window, 5);
        buttonText = ui::ControlText(window, 5);
        placed = ui::WindowPosition(window);
        const ui::Size outer = ui::OuterSize(window);
        expected = CenterDialogRect(&host, outer.width, outer.height, ui::HasSystemMenu(window));
    });
    ASSERT_TRUE(ui::headless::QueueScript("screenshot " + path + "; click #5"));
    ShowAboutBox();
    Current().filterRecord = nullptr;
    EXPECT_TRUE(openInside);
    EXPECT_FALSE(AboutBoxOpen());
    EXPECT_EQ(buttonText, "OK");
    ASSERT_EQ(std::pair(picture.Width(), picture.Height()), std::pair(64, 64));  // its bitmap's size
    // Placed by the centring rule with its real outer size, over the host's window.
    EXPECT_EQ(std::pair(placed.x, placed.y), std::pair(expected.x, expected.y));
    EXPECT_TRUE(placed.x > 200 && placed.y > 100) << placed.x << ", " << placed.y;

    Screenshot shot;
    ASSERT_TRUE(shot.Read(path));
    EXPECT_EQ(shot.At(1, 1), ui::Rgb(255, 255, 255));
    EXPECT_EQ(shot.At(picture.left, picture.top), ui::Rgb(255, 255, 255));  // outside the round medallion
    EXPECT_NE(shot.At(picture.left + 32, picture.top + 32), ui::Rgb(255, 255, 255));
    EXPECT_NE(shot.At(button.left, button.top + button.Height() / 2), ui::Rgb(255, 255, 255));

    // The refusal alerts: their text and picture; they end on their button.
    std::string text, cancel;
    ui::Rect alertPicture;
    ui::headless::ClearQueue();
    ui::headless::QueueCall([&](ui::Window* window) {
        text = ui::ControlText(window, 101);
        cancel = ui::ControlText(window, 1);
        alertPicture = ui::ControlRect(window, 100);
    });
    ASSERT_TRUE(ui::headless::QueueScript("click #1"));
    ShowRefusal("REFUSAL2");
    EXPECT_EQ(text,
              "The filter cannot run because your paint program does not support enough of the Photoshop 3.0 "
              "plug-in standard.");
    EXPECT_EQ(cancel, "Cancel");
    EXPECT_EQ(alertPicture.Width(), 32);
    ui::headless::QueueCall([&](ui::Window* window) { text = ui::ControlText(window, 101); });
    ShowRefusal("REFUSAL1");  // ends by itself when the script is used up
    EXPECT_EQ(text, "The filter cannot run.");
}

}  // namespace
