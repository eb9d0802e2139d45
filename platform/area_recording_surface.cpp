#include "platform/area_recording_surface.h"

#include <algorithm>

namespace kelvanor {

namespace {

Rect intersection(Rect a, Rect b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

bool is_empty(Rect r) {
    return r.width() <= 0 || r.height() <= 0;
}

// Overlapping or sharing an edge.
bool meets(Rect a, Rect b) {
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

}  // namespace

AreaRecordingSurface::AreaRecordingSurface(Surface& target, std::vector<Rect>& areas)
    : target_(target), areas_(areas) {}

void AreaRecordingSurface::note(Rect rect) {
    const Size whole = target_.size();
    rect = intersection(rect, {0, 0, whole.width, whole.height});
    if (clip_) rect = intersection(rect, *clip_);
    if (is_empty(rect)) return;
    if (!areas_.empty() && meets(areas_.back(), rect)) {
        Rect& last = areas_.back();
        last = {std::min(last.left, rect.left), std::min(last.top, rect.top),
                std::max(last.right, rect.right), std::max(last.bottom, rect.bottom)};
        return;
    }
    areas_.push_back(rect);
}

Size AreaRecordingSurface::size() const {
    return target_.size();
}

void AreaRecordingSurface::set_palette(const PaletteEntries& entries) {
    target_.set_palette(entries);
    // Every pixel may show another colour now.
    const Size whole = target_.size();
    const std::optional<Rect> clip = clip_;
    clip_.reset();
    note({0, 0, whole.width, whole.height});
    clip_ = clip;
}

void AreaRecordingSurface::fill_rect(Rect rect, PaletteIndex colour) {
    target_.fill_rect(rect, colour);
    note(rect);
}

void AreaRecordingSurface::frame_rect(Rect rect, PaletteIndex colour) {
    target_.frame_rect(rect, colour);
    note(rect);
}

void AreaRecordingSurface::line(Point from, Point to, PaletteIndex colour) {
    target_.line(from, to, colour);
    note({std::min(from.x, to.x), std::min(from.y, to.y), std::max(from.x, to.x) + 1,
          std::max(from.y, to.y) + 1});
}

void AreaRecordingSurface::ellipse(Rect rect, PaletteIndex pen, std::optional<PaletteIndex> fill) {
    target_.ellipse(rect, pen, fill);
    note(rect);
}

void AreaRecordingSurface::text(Point at, std::string_view text, PaletteIndex colour,
                                std::optional<PaletteIndex> background) {
    target_.text(at, text, colour, background);
    // A glyph's ink may reach a little past its cell (an overhang, a descent below the cell
    // height): two pixels more on every side.
    constexpr int kInkMargin = 2;
    const Size extent = target_.text_extent(text);
    note({at.x - kInkMargin, at.y - kInkMargin, at.x + extent.width + kInkMargin,
          at.y + extent.height + kInkMargin});
}

Size AreaRecordingSurface::text_extent(std::string_view text) const {
    return target_.text_extent(text);
}

void AreaRecordingSurface::glyph(SystemGlyph glyph, Rect rect) {
    target_.glyph(glyph, rect);
    note(rect);
}

void AreaRecordingSurface::set_clip(std::optional<Rect> rect) {
    target_.set_clip(rect);
    clip_ = rect;
}

void AreaRecordingSurface::blit_indexed(Point at, Size size, const uint8_t* pixels, int stride) {
    target_.blit_indexed(at, size, pixels, stride);
    note({at.x, at.y, at.x + size.width, at.y + size.height});
}

void AreaRecordingSurface::blit_indexed_ring(Point at, Size size, const uint8_t* pixels, int stride,
                                             int first_column, const RingWrites* writes) {
    target_.blit_indexed_ring(at, size, pixels, stride, first_column, writes);
    note({at.x, at.y, at.x + size.width, at.y + size.height});
}

Rgb AreaRecordingSurface::pixel(Point at) const {
    return target_.pixel(at);
}

}  // namespace kelvanor
