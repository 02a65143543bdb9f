// The open and save dialogs driven from the keyboard in a folder of their own.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "platform/ui/Dialog.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/Headless.h"
#include "support/StateFiles.h"

namespace {

namespace fs = std::filesystem;

ui::FileDialogOptions Options(const fs::path& folder) {
    ui::FileDialogOptions options;
    options.title = "Save a PSD file";
    options.types = {{"Photoshop files (*.psd)", "*.psd"}, {"All files", "*"}};
    options.folder = folder.string();
    return options;
}

TEST(FileDialogs, OpenPicksAnExistingFileAndSaveOffersTheNameAndAddsTheTypesExtension) {
    const fs::path folder = testsupport::StatePath("dialogs");
    fs::create_directories(folder / "sub");
    for (const fs::path& file : {folder / "a.psd", folder / "b.txt", folder / "sub" / "c.psd"}) std::ofstream(file) << "x";
    std::vector<std::string> listed;
    ui::headless::ClearQueue();
    ui::headless::QueueCall([&](ui::Window* window) {
        for (int i = 0; i < ui::ItemCount(window, 12); ++i) listed.push_back(ui::ItemText(window, 12, i));
    });
    // A name that does not exist is not accepted; the dialog stays for the next one.
    ASSERT_TRUE(ui::headless::QueueScript("type missing.psd; key Enter; key Ctrl+A; type a.psd; key Enter"));
    EXPECT_EQ(ui::ChooseFileToOpen(Options(folder)), (folder / "a.psd").string());
    EXPECT_EQ(listed, (std::vector<std::string>{"..", "sub/", "a.psd"}));  // b.txt is not a PSD file

    // A folder's name moves into it; Escape cancels with an empty answer.
    ASSERT_TRUE(ui::headless::QueueScript("type sub; key Enter; type c.psd; key Enter"));
    EXPECT_EQ(ui::ChooseFileToOpen(Options(folder)), (folder / "sub" / "c.psd").string());
    // A double click on a folder in the listing moves there too.
    ui::headless::QueueCall([&](ui::Window* window) {
        const ui::Rect list = ui::ControlRect(window, 12);
        const int row = ui::LineHeight(*ui::DialogFont(window)) + 2;
        const std::string sub = std::to_string(list.left + 20) + "," + std::to_string(list.top + 1 + row + row / 2);
        ui::headless::QueueScript("click " + sub + "; click " + sub + "; type c.psd; key Enter");
    });
    EXPECT_EQ(ui::ChooseFileToOpen(Options(folder)), (folder / "sub" / "c.psd").string());
    ASSERT_TRUE(ui::headless::QueueScript("type a.psd; key Escape"));
    EXPECT_EQ(ui::ChooseFileToOpen(Options(folder)), "");

    ui::FileDialogOptions options = Options(folder);
    options.name = "Tesselume result.psd";
    std::string offered;
    ui::headless::ClearQueue();
    ui::headless::QueueCall([&](ui::Window* window) { offered = ui::ControlText(window, 14); });
    ASSERT_TRUE(ui::headless::QueueScript("key Enter"));
    EXPECT_EQ(ui::ChooseFileToSave(options), (folder / "Tesselume result.psd").string());
    EXPECT_EQ(offered, "Tesselume result.psd");

    ASSERT_TRUE(ui::headless::QueueScript("key Ctrl+A; type layers; key Enter"));
    EXPECT_EQ(ui::ChooseFileToSave(options), (folder / "layers.psd").string());
    // Picking a file in the listing puts its name in the field.
    ASSERT_TRUE(ui::headless::QueueScript("key Shift+Tab; key End; key Enter"));
    EXPECT_EQ(ui::ChooseFileToSave(options), (folder / "a.psd").string());
}

}  // namespace
