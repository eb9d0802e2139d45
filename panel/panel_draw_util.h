#pragma once
// Small drawing helpers shared by the panel's painting files.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <optional>
#include <string_view>

#include "platform/surface.h"

namespace kelvanor::panel_detail {

// A fixed text field up to its first NUL.
inline std::string_view c_text(const char* text, size_t capacity) {
    return std::string_view(text, strnlen(text, capacity));
}

inline Rect rect_union(Rect a, Rect b) {
    if (a.width() <= 0 || a.height() <= 0) return b;
    if (b.width() <= 0 || b.height() <= 0) return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

// A box with a one-pixel outline and a face.
inline void outlined_box(Surface& surface, Rect rect, PaletteIndex outline, PaletteIndex face) {
    surface.fill_rect(rect, face);
    surface.frame_rect(rect, outline);
}

// Text whose middle is at centre_x, its top at y.
inline void text_centred_x(Surface& surface, int centre_x, int y, std::string_view text,
                           PaletteIndex colour, std::optional<PaletteIndex> background) {
    const Size extent = surface.text_extent(text);
    surface.text({centre_x - extent.width / 2, y}, text, colour, background);
}

// Text centred horizontally and vertically in rect.
inline void text_centred_in(Surface& surface, Rect rect, std::string_view text, PaletteIndex colour,
                            std::optional<PaletteIndex> background) {
    const Size extent = surface.text_extent(text);
    surface.text({rect.left + (rect.width() - extent.width) / 2,
                  rect.top + (rect.height() - extent.height) / 2},
                 text, colour, background);
}

}  // namespace kelvanor::panel_detail
