// The catalogue pages, read back by real readers: Chromium's parser for the page,
// tidy for its HTML, ImageMagick for the JPEG pictures and GIF frame pieces.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "export/GifPieces.h"
#include "export/HtmlPages.h"
#include "settings/PresetsFile.h"
#include "settings/Settings.h"
#include "store/FileLayer.h"
#include "store/ImageStore.h"
#include "files/FilesTestSupport.h"
#include "pages/PageChecks.h"
#include "support/StateFiles.h"

namespace fs = std::filesystem;
using namespace pagecheck;
using namespace testsupport;

namespace {

// A presets folder: names that are markup, UTF-8 and plain, a preset without a
// thumbnail, and entries that are no presets.
std::string MakePresetsFolder() {
    const std::string folder = StatePath("Mine & <yours>");
    fs::create_directories(folder + "/sub.q1r");
    std::ofstream(folder + "/notes.txt") << "not a preset";
    TestRun run;  // for its 128 x 128 thumbnail
    Settings settings{};
    for (const char* name : {"a<b>&\"c\"", "A&B", "Cr\xC3\xA8me", "one", "two", "three"})
        EXPECT_EQ(SaveSettingsFile(settings, &run.thumbnail, (folder + "/" + name + ".q1r").c_str()), noErr);
    EXPECT_EQ(SaveSettingsFile(settings, nullptr, (folder + "/bare.q1r").c_str()), noErr);
    return folder;
}

}  // namespace

TEST(CataloguePage, TextFiltersPictureSizesAndAnEmptyDotsPage) {
    EXPECT_EQ(PageText("a<b>&\"c\" {~}"), "a&lt;b&gt;&amp;&quot;c&quot; &#123;&#126;&#125;");
    // UTF-8 shows as its characters; a lone byte as ISO 8859-1.
    EXPECT_EQ(PageText("Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xE9 \xC2\xA0"), "Gr&uuml;&szlig;e &#8364; &eacute; &nbsp;");
    EXPECT_EQ(LinkText("A&B c-1"), "A%26B%20c%2d1");
    EXPECT_EQ(PictureFileName("a/b\\c:d\x01" "\x8E\xC3\x8F"), "a_b_c_d _c_");

    // The picture sizes and the page without a filled dot; DialogPagesTest.cpp writes
    // pages with dots through the dialog.
    int32_t width = 0, height = 0;
    DotPictureSize(5, 4000, width, height);
    EXPECT_EQ(std::make_pair(width, height), std::make_pair(1, 300));

    const std::string path = StatePath("dots.html");
    PageBuilder page;
    ASSERT_EQ(StartPage(page, path.c_str(), PageKind::memoryDots, {}), noErr);
    ASSERT_EQ(EndPage(page), noErr);
    const std::string empty = FileContents(path);
    EXPECT_NE(empty.find("<title>Tesselume memory dots</title>"), std::string::npos);
    EXPECT_NE(empty.find("align=\"center\"></table><br>\r\n</body></html>"), std::string::npos) << empty;
}

TEST(CataloguePage, SevenPresetsReadByChromiumTidyAndImageMagick) {
    const std::string folder = MakePresetsFolder();
    const std::string page = StatePath("page.html");
    int presets = 0;
    ASSERT_EQ(WritePresetsPage(folder.c_str(), page.c_str(), presets), noErr);
    EXPECT_EQ(presets, 7);
    const std::string html = FileContents(page);
    EXPECT_EQ(Count(html, "\r\n"), Count(html, "\n"));  // CRLF line ends only
    EXPECT_NE(html.find("presets from Mine &amp; &lt;yours&gt;<br>"), std::string::npos);
    EXPECT_NE(html.find("src=\"web_images/A%26B.jpg\" alt=\"A&amp;B.jpg\" width=\"88\" height=\"88\""),
              std::string::npos);
    const std::string images = StatePath("web_images/");
    EXPECT_TRUE(fs::exists(images + "A&B.jpg"));
    EXPECT_TRUE(fs::exists(images + "a<b>&\"c\".jpg"));
    EXPECT_FALSE(fs::exists(images + "bare.jpg"));  // its cell stays, without a picture

    if (!HaveTool("identify")) GTEST_SKIP() << "ImageMagick's identify is not installed";
    const std::string picture = images + PictureFileName("Cr\xC3\xA8me") + ".jpg";
    EXPECT_EQ(Output("identify -format '%m %wx%h' " + Quoted(picture)), "JPEG 128x128");
    for (const FramePiece& piece : kFramePieces)
        EXPECT_EQ(Output("identify -format '%m %wx%h' " + Quoted(images + piece.fileName)),
                  "GIF " + std::to_string(piece.width) + "x" + std::to_string(piece.height))
            << piece.fileName;

    if (HaveTool("tidy")) {
        const std::string report = pagecheck::TidyReport(page);
        EXPECT_EQ(report.find("Error:"), std::string::npos) << report;
    } else {
        std::printf("tidy is not installed: the page's HTML is not checked\n");
    }
    if (!HaveTool("chromium")) GTEST_SKIP() << "chromium is not installed";
    const std::string dom = pagecheck::Chromium("file://" + page);  // the page as its parser leaves it
    ASSERT_NE(dom.find("</html>"), std::string::npos) << dom;
    // Two rows of five cells (the second filled with three empty ones), each
    // followed by a spacer row, and no markup from the names.
    EXPECT_EQ(Count(dom, "<font size=\"3\""), 7u);
    EXPECT_EQ(Count(dom, "Hoefler Text"), 3u);
    EXPECT_EQ(Count(dom, "<p>&nbsp;</p>"), 10u);
    EXPECT_NE(dom.find(">a&lt;b&gt;&amp;\"c\"</font>"), std::string::npos);
    EXPECT_NE(dom.find(">Cr\xC3\xA8me</font>"), std::string::npos);
    EXPECT_EQ(Count(dom, "<b>"), 4u);  // the heading and the empty cells only
    // Every picture and frame piece loads but the thumbnail "bare" never had.
    EXPECT_EQ(pagecheck::ChromiumImages(page), "35 1");
}
