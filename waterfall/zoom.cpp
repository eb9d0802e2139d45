#include "waterfall/zoom.h"

#include <algorithm>
#include <mutex>

namespace kelvanor {

namespace {

constexpr int kHalf = kZoomSourceSize / 2;
constexpr int kMinCentre = 75;
constexpr int kMaxCentreX = 710;
constexpr int kMaxCentreY = 426;

}  // namespace

ZoomView zoom_view(Point pointer) {
    const Point centre{std::clamp(pointer.x, kMinCentre, kMaxCentreX),
                       std::clamp(pointer.y, kMinCentre, kMaxCentreY)};
    const Rect source{centre.x - kHalf, centre.y - kHalf, centre.x - kHalf + kZoomSourceSize,
                      centre.y - kHalf + kZoomSourceSize};
    return {centre, source};
}

ZoomView update_zoom(WaterfallState& waterfall, Point pointer) {
    const ZoomView view = zoom_view(pointer);
    waterfall.zoom_centre_x = view.centre.x;
    waterfall.zoom_centre_y = view.centre.y;
    return view;
}

void render_zoom(Surface& client, const ZoomView& view, std::span<Rgb> out) {
    if (out.size() < static_cast<size_t>(kZoomViewSize * kZoomViewSize)) return;
    std::lock_guard lock(client.mutex());
    const Size size = client.size();
    const Rect bounds{0, 0, size.width, size.height};
    for (int y = 0; y < kZoomSourceSize; ++y) {
        for (int x = 0; x < kZoomSourceSize; ++x) {
            const Point source{view.source.left + x, view.source.top + y};
            const Rgb colour = bounds.contains(source) ? client.pixel(source) : Rgb{};
            Rgb* target = &out[static_cast<size_t>(2 * y) * kZoomViewSize + 2 * x];
            target[0] = target[1] = colour;
            target[kZoomViewSize] = target[kZoomViewSize + 1] = colour;
        }
    }
}

}  // namespace kelvanor
