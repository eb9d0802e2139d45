#pragma once
// The Zoom window's picture: a 150 x 150 square of the main window's client area around the
// pointer, shown twice its size on 300 x 300.

#include <span>

#include "platform/geometry.h"
#include "platform/palette_colour.h"
#include "platform/surface.h"
#include "waterfall/waterfall_state.h"

namespace kelvanor {

inline constexpr int kZoomSourceSize = 150;
inline constexpr int kZoomViewSize = 300;

struct ZoomView {
    Point centre;  // the limited point
    Rect source;   // 150 x 150 client rectangle around it
};

// Limits the point to x 75..710, y 75..426 and gives the source square.
ZoomView zoom_view(Point pointer);

// The same, storing the limited point as the zoom centre.
ZoomView update_zoom(WaterfallState& waterfall, Point pointer);

// Stretches the source square of the client surface onto 300 x 300 RGB pixels (row by row);
// pixels beyond the surface are black. Takes the surface's lock.
void render_zoom(Surface& client, const ZoomView& view, std::span<Rgb> out);

}  // namespace kelvanor
