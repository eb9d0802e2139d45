#include <gtest/gtest.h>

#include <vector>

#include "waterfall/zoom.h"
#include "waterfall_test_support.h"

namespace kelvanor {
namespace {

struct ZoomCase {
    Point pointer;
    Point centre;
};

class ZoomLimits : public ::testing::TestWithParam<ZoomCase> {};

TEST_P(ZoomLimits, KeepTheSquareInsideTheClientArea) {
    const ZoomCase& c = GetParam();
    const ZoomView view = zoom_view(c.pointer);
    EXPECT_EQ(view.centre, c.centre);
    EXPECT_EQ(view.source,
              (Rect{c.centre.x - 75, c.centre.y - 75, c.centre.x + 75, c.centre.y + 75}));
}

INSTANTIATE_TEST_SUITE_P(
    EdgesAndCorners, ZoomLimits,
    ::testing::Values(ZoomCase{{10, 490}, {75, 426}}, ZoomCase{{0, 0}, {75, 75}},
                      ZoomCase{{75, 75}, {75, 75}}, ZoomCase{{76, 76}, {76, 76}},
                      ZoomCase{{784, 1}, {710, 75}}, ZoomCase{{709, 425}, {709, 425}},
                      ZoomCase{{710, 426}, {710, 426}}, ZoomCase{{784, 500}, {710, 426}},
                      ZoomCase{{400, 300}, {400, 300}}, ZoomCase{{-50, 250}, {75, 250}}));

TEST(Zoom, BottomLeftPointTakesTheSquareDownToTheLastImageRow) {
    const ZoomView view = zoom_view({10, 490});
    EXPECT_EQ(view.source.left, 0);
    EXPECT_EQ(view.source.top, 351);
    EXPECT_EQ(view.source.right - 1, 149);
    EXPECT_EQ(view.source.bottom - 1, 500);  // client row 500 is image row 499
}

TEST(Zoom, UpdateStoresTheLimitedPoint) {
    WaterfallState waterfall;
    update_zoom(waterfall, {900, 3});
    EXPECT_EQ(waterfall.zoom_centre_x, 710);
    EXPECT_EQ(waterfall.zoom_centre_y, 75);
}

PaletteEntries ramp_palette() {
    PaletteEntries palette{};
    for (int i = 0; i < 256; ++i)
        palette[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 7};
    return palette;
}

TEST(Zoom, EverySourcePixelBecomesATwoByTwoBlock) {
    test::IndexedSurface client(792, 600);
    client.set_palette(ramp_palette());
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 792; ++x)
            client.fill_rect({x, y, x + 1, y + 1}, static_cast<uint8_t>((x * 7 + y * 13) % 256));
    }
    for (Point pointer : {Point{10, 490}, Point{784, 1}, Point{400, 250}}) {
        const ZoomView view = zoom_view(pointer);
        std::vector<Rgb> out(kZoomViewSize * kZoomViewSize);
        render_zoom(client, view, out);
        for (int y = 0; y < kZoomViewSize; ++y) {
            for (int x = 0; x < kZoomViewSize; ++x) {
                const Rgb expected =
                    client.pixel({view.source.left + x / 2, view.source.top + y / 2});
                ASSERT_EQ(out[y * kZoomViewSize + x], expected) << x << "," << y;
            }
        }
    }
}

TEST(Zoom, PixelsBeyondTheSurfaceAreBlack) {
    test::IndexedSurface client(200, 200);
    PaletteEntries white{};
    white.fill({255, 255, 255});
    client.set_palette(white);
    std::vector<Rgb> out(kZoomViewSize * kZoomViewSize);
    render_zoom(client, zoom_view({150, 150}), out);  // source 75..224 on a 200-pixel surface
    EXPECT_EQ(out[0], (Rgb{255, 255, 255}));
    EXPECT_EQ(out[2 * 124 + 1], (Rgb{255, 255, 255}));
    EXPECT_EQ(out[2 * 125], (Rgb{0, 0, 0}));
    EXPECT_EQ(out[(kZoomViewSize - 1) * kZoomViewSize], (Rgb{0, 0, 0}));
}

TEST(Zoom, ShortOutputBufferIsLeftAlone) {
    test::IndexedSurface client(792, 600);
    std::vector<Rgb> out(10, Rgb{1, 2, 3});
    render_zoom(client, zoom_view({300, 300}), out);
    EXPECT_EQ(out[9], (Rgb{1, 2, 3}));
}

}  // namespace
}  // namespace kelvanor
