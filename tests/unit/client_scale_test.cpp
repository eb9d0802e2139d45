#include <gtest/gtest.h>

#include "platform/client_scale.h"

namespace kelvanor {
namespace {

TEST(ClientScale, LargestWholeScaleThatFitsTheView) {
    struct Case {
        Size view;
        int scale;
        Point origin;
    };
    const Case cases[] = {
        {{792, 600}, 1, {0, 0}},        // exactly the client area
        {{700, 500}, 1, {0, 0}},        // too small: never below 1, never a negative origin
        {{1583, 1199}, 1, {395, 299}},  // one pixel short of 2x
        {{1584, 1199}, 1, {396, 299}},  // wide enough, not high enough
        {{1584, 1200}, 2, {0, 0}},
        {{1700, 1320}, 2, {58, 60}},  // centred in what is left over
        {{2376, 1800}, 3, {0, 0}},
        {{2560, 1560}, 2, {488, 180}},
        {{7000, 5000}, 3, {2312, 1600}},  // never above 3
    };
    for (const Case& c : cases) {
        const ClientPlacement p = place_client(c.view, kClientSize);
        EXPECT_EQ(p.scale, c.scale) << c.view.width << "x" << c.view.height;
        EXPECT_EQ(p.origin, c.origin) << c.view.width << "x" << c.view.height;
        EXPECT_EQ(fitting_scale(c.view, kClientSize), c.scale);
    }
}

TEST(ClientScale, ViewPositionsMapBackToTheClientPixelUnderThem) {
    struct Case {
        ClientPlacement placement;
        Point view;
        Point client;
    };
    const Case cases[] = {
        {{1, {0, 0}}, {0, 0}, {0, 0}},
        {{1, {0, 0}}, {791, 599}, {791, 599}},
        {{2, {58, 60}}, {58, 60}, {0, 0}},
        {{2, {58, 60}}, {59, 61}, {0, 0}},  // both screen pixels of a doubled pixel
        {{2, {58, 60}}, {60, 62}, {1, 1}},
        {{2, {58, 60}}, {58 + 2 * 791 + 1, 60 + 2 * 599 + 1}, {791, 599}},
        {{2, {58, 60}}, {57, 59}, {-1, -1}},  // the margin is outside, not pixel 0
        {{2, {58, 60}}, {0, 0}, {-29, -30}},
        {{2, {58, 60}}, {58 + 2 * 792, 60 + 2 * 600}, {792, 600}},
        {{3, {10, 0}}, {12, 2}, {0, 0}},
        {{3, {10, 0}}, {13, 3}, {1, 1}},
        {{3, {10, 0}}, {9, 0}, {-1, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(view_to_client(c.placement, c.view), c.client)
            << "scale " << c.placement.scale << " at " << c.view.x << "," << c.view.y;
    }
}

TEST(ClientScale, ClientPointsGoToTheMiddleOfTheirSquareAndBack) {
    for (int scale = 1; scale <= 3; ++scale) {
        const ClientPlacement placement{scale, {17, 5}};
        for (const Point p : {Point{0, 0}, Point{1, 1}, Point{103, 504}, Point{791, 599}}) {
            const Point view = client_to_view(placement, p);
            EXPECT_EQ(view_to_client(placement, view), p) << scale;
            EXPECT_EQ(view.x, 17 + p.x * scale + scale / 2);
        }
    }
}

TEST(ClientScale, RectanglesCoverEveryPixelTheyTouch) {
    const ClientPlacement two{2, {58, 60}};
    // The playback slider's area, and back.
    const Rect slider{658, 504, 791, 520};
    EXPECT_EQ(client_rect_to_view(two, slider), (Rect{1374, 1068, 1640, 1100}));
    EXPECT_EQ(view_rect_to_client(two, client_rect_to_view(two, slider)), slider);
    // A view rectangle that cuts doubled pixels in half takes the whole pixels.
    EXPECT_EQ(view_rect_to_client(two, Rect{59, 61, 62, 63}), (Rect{0, 0, 2, 2}));
    EXPECT_EQ(view_rect_to_client(two, Rect{0, 0, 58, 60}), (Rect{-29, -30, 0, 0}));
    const ClientPlacement one{1, {0, 0}};
    EXPECT_EQ(view_rect_to_client(one, Rect{3, 4, 10, 20}), (Rect{3, 4, 10, 20}));
}

TEST(ClientScale, ScalesOutsideOneToThreeAreLimited) {
    const int cases[][2] = {{-4, 1}, {0, 1}, {1, 1}, {2, 2}, {3, 3}, {4, 3}, {100, 3}};
    for (const auto& c : cases) EXPECT_EQ(valid_scale(c[0]), c[1]) << c[0];
}

}  // namespace
}  // namespace kelvanor
