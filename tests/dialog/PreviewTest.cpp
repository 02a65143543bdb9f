// The preview's geometry: fit scale, zoom buttons, pan limits and re-centring.
#include <gtest/gtest.h>

#include <string>

#include "dialog/Preview.h"

namespace {

constexpr int32_t kAreaX = 485, kAreaY = 487;  // the image part of the preview area

TEST(PreviewGeometry, FitScaleIsTheSmallestReductionThatShowsEverything) {
    EXPECT_EQ(FitScale(300, 200, kAreaX, kAreaY), 1);   // smaller than the area
    EXPECT_EQ(FitScale(485, 487, kAreaX, kAreaY), 1);   // exactly the area
    EXPECT_EQ(FitScale(486, 10, kAreaX, kAreaY), 2);
    EXPECT_EQ(FitScale(1000, 1400, kAreaX, kAreaY), 3);  // the taller axis decides
    EXPECT_EQ(FitScale(4096, 3072, kAreaX, kAreaY), 9);
    for (int32_t extent : {486, 970, 971, 1455, 4096, 30000}) {
        const int32_t s = FitScale(extent, 1, kAreaX, kAreaY);
        EXPECT_LE(ReducedExtent(extent, s), kAreaX) << extent;
        EXPECT_GT(ReducedExtent(extent, s - 1), kAreaX) << extent;
    }
}

TEST(PreviewGeometry, ZoomButtonsFollowTheScaleAndTheLimit) {
    // Fit scale 3: "-" steps 1 -> 2 -> 3 and is then disabled; "%" reads 100 / s.
    const std::string percent[] = {"", "100%", "50%", "33%"};
    for (int32_t s = 1; s <= 3; ++s) {
        const ZoomButtons b = ZoomButtonStates(s, 3, true);
        EXPECT_EQ(b.zoomOut, s < 3) << s;
        EXPECT_EQ(b.zoomIn, s > 1) << s;
        EXPECT_TRUE(b.zoomFull) << s;
        EXPECT_EQ(std::string(b.percent), percent[s]);
    }
    EXPECT_STREQ(ZoomButtonStates(7, 9, true).percent, "14%");
    // An image that fits, and a host without reduced images: nothing to press.
    for (const ZoomButtons& b : {ZoomButtonStates(1, 1, true), ZoomButtonStates(1, 1, false),
                                 ZoomButtonStates(2, 3, false)})
        EXPECT_FALSE(b.zoomIn || b.zoomOut || b.zoomFull);
}

TEST(PreviewGeometry, PanStaysInsideTheImageAndZoomKeepsTheCentre) {
    // 1000 pixels at s = 2 are 500 reduced pixels: 15 beyond the area, 30 image pixels.
    EXPECT_EQ(ClampPan(-40, 1000, kAreaX, 2), 0);
    EXPECT_EQ(ClampPan(17, 1000, kAreaX, 2), 17);
    EXPECT_EQ(ClampPan(999, 1000, kAreaX, 2), 30);
    EXPECT_EQ(ClampPan(50, 300, kAreaX, 1), 0);  // an image narrower than the area never pans

    // "%" from s = 3 (whole image, pan 0) to 1 keeps the image point at the centre.
    const int32_t pan = RecentredPan(0, 1000, kAreaX, 3, 1);
    EXPECT_EQ(pan, 1002 / 2 - kAreaX / 2);
    // Zooming in from a panned window and back out returns to the same window.
    const int32_t in = RecentredPan(100, 3000, kAreaX, 2, 1);
    EXPECT_EQ(in + kAreaX / 2, 100 + 2 * kAreaX / 2);
    EXPECT_NEAR(RecentredPan(in, 3000, kAreaX, 1, 2), 100, 1);
    // Zooming out at the far edge holds the larger window inside the image.
    EXPECT_EQ(RecentredPan(3000 - kAreaX, 3000, kAreaX, 1, 3), (1000 - kAreaX) * 3);
}

}  // namespace
