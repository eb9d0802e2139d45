#include "waterfall/contact_markers.h"

#include <array>
#include <mutex>
#include <string>

#include "waterfall/column_history.h"
#include "waterfall/image.h"
#include "waterfall/target_measurement.h"

namespace kelvanor {

void set_contact_markers(TargetState& target, WaterfallState& waterfall,
                         std::vector<ContactMarker> markers) {
    {
        std::lock_guard lock(target.overlay_mutex);
        target.contact_markers = std::move(markers);
    }
    show_image(waterfall);
}

std::vector<PlacedMarker> placed_contact_markers(const TargetState& target,
                                                 const WaterfallState& waterfall,
                                                 const ColumnHistory& history) {
    std::vector<PlacedMarker> placed;
    if (target.contact_markers.empty()) return placed;
    const ImageLock held = lock_image(waterfall);
    for (const ContactMarker& m : target.contact_markers) {
        if (const auto x = screen_column_of(history, m.column_serial)) {
            placed.push_back({m.number, Point{*x, m.y}});
        }
    }
    return placed;
}

void draw_contact_marker(Surface& surface, const PlacedMarker& marker) {
    const int x = marker.at.x;
    const int y = marker.at.y;
    auto diamond = [&](int r, PaletteIndex colour) {
        const std::array<Point, 4> corners{Point{x, y - r}, Point{x + r, y}, Point{x, y + r},
                                           Point{x - r, y}};
        for (size_t i = 0; i < corners.size(); ++i) {
            surface.line(corners[i], corners[(i + 1) % corners.size()], colour);
        }
    };
    diamond(6, kOverlayDark);
    diamond(4, kOverlayDark);
    diamond(5, kOverlayLight);
    const std::string text = std::to_string(marker.number);
    const Point at{x + 8, y - 7 - surface.text_extent(text).height / 2};
    for (const Point d : {Point{-1, -1}, Point{1, -1}, Point{-1, 1}, Point{1, 1}}) {
        surface.text({at.x + d.x, at.y + d.y}, text, kOverlayDark);
    }
    surface.text(at, text, kOverlayLight);
}

}  // namespace kelvanor
