#include "platform/qt_surface.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <cstdlib>
#include <cstring>

// A static library's resources are registered by hand, outside any namespace.
static void init_panel_font_resource() {
    Q_INIT_RESOURCE(panel_font);
}

namespace kelvanor {

namespace {

constexpr int kPanelFontPixelSize = 13;

QString to_qstring(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QRect to_qrect(Rect r) {
    return QRect(r.left, r.top, r.width(), r.height());
}

Rect intersection(Rect a, Rect b) {
    return Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

bool is_empty(Rect r) {
    return r.width() <= 0 || r.height() <= 0;
}

// Text may reach a little past its advance and cell (overhangs); the area it may touch.
constexpr int kTextOverhang = 4;

PanelFont load_panel_font() {
    init_panel_font_resource();
    PanelFont result;
    // The face built into the program (DejaVu Sans Condensed), chosen by its own family and
    // style name: a match by family and width alone lets the font database take another face
    // of the family (the wider DejaVu Sans) on a machine that offers it, and the panel's
    // longer texts then run into their neighbours.
    QString family = QStringLiteral("DejaVu Sans");
    QString style = QStringLiteral("Condensed");
    const int id = QFontDatabase::addApplicationFont(QStringLiteral(":/panel/font.ttf"));
    if (id >= 0 && !QFontDatabase::applicationFontFamilies(id).isEmpty()) {
        family = QFontDatabase::applicationFontFamilies(id).front();
    } else {
        qWarning("The built-in panel font could not be loaded; the panel may be clipped.");
    }
    // "X" is the face's widest capital at 8 pixels, and the panel's longest texts (the date
    // and time, "160 FT/DIV", "High Freq", "Plot Spd") fit their places. Glyphs are drawn
    // fully hinted in two colours, so that no platform's smoothing or hinting settings
    // change them.
    QFont font(family);
    font.setStyleName(style);
    font.setPixelSize(kPanelFontPixelSize);
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::NoAntialias | QFont::NoSubpixelAntialias |
                                               QFont::NoFontMerging));
    font.setKerning(false);
    QFontMetrics metrics(font);
    result.font = font;
    result.metrics.char_width = metrics.horizontalAdvance(QLatin1Char('X'));
    result.metrics.char_height = metrics.height();
    return result;
}

}  // namespace

const PanelFont& panel_font() {
    static const PanelFont font = load_panel_font();
    return font;
}

QtSurface::QtSurface(Size size) : image_(size.width, size.height, QImage::Format_RGB32) {
    image_.fill(Qt::black);
    lookup_.fill(qRgb(0, 0, 0));
}

Size QtSurface::size() const {
    return {image_.width(), image_.height()};
}

void QtSurface::set_palette(const PaletteEntries& entries) {
    for (size_t i = 0; i < entries.size(); ++i) {
        lookup_[i] = qRgb(entries[i].red, entries[i].green, entries[i].blue);
    }
}

Rect QtSurface::clipped(Rect r) const {
    Rect bounds{0, 0, image_.width(), image_.height()};
    if (clip_) {
        bounds.left = std::max(bounds.left, clip_->left);
        bounds.top = std::max(bounds.top, clip_->top);
        bounds.right = std::min(bounds.right, clip_->right);
        bounds.bottom = std::min(bounds.bottom, clip_->bottom);
    }
    return Rect{std::max(r.left, bounds.left), std::max(r.top, bounds.top),
                std::min(r.right, bounds.right), std::min(r.bottom, bounds.bottom)};
}

void QtSurface::put(int x, int y, QRgb value) {
    Rect c = clipped({x, y, x + 1, y + 1});
    if (c.width() <= 0 || c.height() <= 0) return;
    reinterpret_cast<QRgb*>(image_.scanLine(y))[x] = value;
}

void QtSurface::settle(Rect area) {
    if (shown_ring_ && !is_empty(intersection(clipped(area), shown_ring_->area))) settle_all();
}

void QtSurface::settle_all() const {
    if (!shown_ring_) return;
    const ShownRing shown = *shown_ring_;
    shown_ring_.reset();
    const Rect c = shown.area;
    const int width = ring_.size.width;
    for (int y = c.top; y < c.bottom; ++y) {
        const QRgb* row = ring_.colours.data() + static_cast<size_t>(y - shown.at.y) * width;
        QRgb* dst = reinterpret_cast<QRgb*>(image_.scanLine(y));
        // At most two stretches: up to the ring's end, then from its start.
        for (int x = c.left; x < c.right;) {
            const int column = (shown.first_column + (x - shown.at.x)) % width;
            const int run = std::min(c.right - x, width - column);
            std::memcpy(dst + x, row + column, static_cast<size_t>(run) * sizeof(QRgb));
            x += run;
        }
    }
}

const QImage& QtSurface::image() const {
    settle_all();
    return image_;
}

QtSurface::Pieces QtSurface::pieces(Rect area) const {
    Pieces out;
    area = intersection(area, Rect{0, 0, image_.width(), image_.height()});
    if (is_empty(area)) return out;
    auto add = [&out](Rect client, const QImage& image, QPoint source) {
        if (!is_empty(client))
            out.items[static_cast<size_t>(out.count++)] = {client, &image, source};
    };
    const Rect inside = shown_ring_ ? intersection(area, shown_ring_->area) : Rect{};
    if (is_empty(inside)) {
        add(area, image_, QPoint(area.left, area.top));
        return out;
    }
    // The image round the ring: the bands above and below, then the sides.
    for (const Rect part : {Rect{area.left, area.top, area.right, inside.top},
                            Rect{area.left, inside.bottom, area.right, area.bottom},
                            Rect{area.left, inside.top, inside.left, inside.bottom},
                            Rect{inside.right, inside.top, area.right, inside.bottom}}) {
        add(part, image_, QPoint(part.left, part.top));
    }
    // The ring: up to the client column where it wraps round, then from its start.
    const ShownRing& shown = *shown_ring_;
    const int wrap_x = shown.at.x + (ring_.size.width - shown.first_column);
    const int row = inside.top - shown.at.y;
    const Rect before{inside.left, inside.top, std::min(inside.right, wrap_x), inside.bottom};
    add(before, ring_.picture, QPoint(shown.first_column + (before.left - shown.at.x), row));
    const Rect after{std::max(inside.left, wrap_x), inside.top, inside.right, inside.bottom};
    add(after, ring_.picture, QPoint(after.left - wrap_x, row));
    return out;
}

void QtSurface::fill_rect(Rect rect, PaletteIndex colour_index) {
    const Rect c = clipped(rect);
    settle(c);
    const QRgb value = colour(colour_index);
    for (int y = c.top; y < c.bottom; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(image_.scanLine(y));
        std::fill(row + c.left, row + c.right, value);
    }
}

void QtSurface::frame_rect(Rect r, PaletteIndex colour_index) {
    if (r.width() <= 0 || r.height() <= 0) return;
    fill_rect({r.left, r.top, r.right, r.top + 1}, colour_index);
    fill_rect({r.left, r.bottom - 1, r.right, r.bottom}, colour_index);
    fill_rect({r.left, r.top, r.left + 1, r.bottom}, colour_index);
    fill_rect({r.right - 1, r.top, r.right, r.bottom}, colour_index);
}

void QtSurface::line(Point from, Point to, PaletteIndex colour_index) {
    // Bresenham without the end point, as the window system draws lines.
    settle({std::min(from.x, to.x), std::min(from.y, to.y), std::max(from.x, to.x) + 1,
            std::max(from.y, to.y) + 1});
    const QRgb value = colour(colour_index);
    int x = from.x;
    int y = from.y;
    const int dx = std::abs(to.x - from.x);
    const int dy = -std::abs(to.y - from.y);
    const int sx = from.x < to.x ? 1 : -1;
    const int sy = from.y < to.y ? 1 : -1;
    int err = dx + dy;
    while (x != to.x || y != to.y) {
        put(x, y, value);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

void QtSurface::ellipse(Rect rect, PaletteIndex pen, std::optional<PaletteIndex> fill) {
    settle(rect);
    QPainter painter(&image_);
    if (clip_) painter.setClipRect(to_qrect(*clip_));
    painter.setPen(QColor::fromRgb(colour(pen)));
    painter.setBrush(fill ? QBrush(QColor::fromRgb(colour(*fill))) : QBrush(Qt::NoBrush));
    painter.drawEllipse(QRect(rect.left, rect.top, rect.width() - 1, rect.height() - 1));
}

void QtSurface::text(Point at, std::string_view text, PaletteIndex colour_index,
                     std::optional<PaletteIndex> background) {
    const PanelFont& font = panel_font();
    if (background) {
        const Size extent = text_extent(text);
        fill_rect({at.x, at.y, at.x + extent.width, at.y + extent.height}, *background);
    }
    const TextPixels& drawn = text_pixels(text);
    if (drawn.two_coloured) {
        const Rect b = drawn.bounds;
        settle({at.x + b.left, at.y + b.top, at.x + b.right, at.y + b.bottom});
        const Rect c = clipped({0, 0, image_.width(), image_.height()});
        const QRgb value = colour(colour_index);
        for (const Point p : drawn.pixels) {
            const Point to{at.x + p.x, at.y + p.y};
            if (c.contains(to)) reinterpret_cast<QRgb*>(image_.scanLine(to.y))[to.x] = value;
        }
        return;
    }
    if (shown_ring_) {
        const Size extent = text_extent(text);
        settle({at.x - kTextOverhang, at.y - kTextOverhang, at.x + extent.width + kTextOverhang,
                at.y + extent.height + kTextOverhang});
    }
    QPainter painter(&image_);
    if (clip_) painter.setClipRect(to_qrect(*clip_));
    painter.setFont(font.font);
    painter.setPen(QColor::fromRgb(colour(colour_index)));
    painter.drawText(at.x, at.y + QFontMetrics(font.font).ascent(), to_qstring(text));
}

const QtSurface::TextPixels& QtSurface::text_pixels(std::string_view text) {
    for (const TextPixels& known : text_pixels_) {
        if (known.text == text) return known;
    }
    // Drawn white on black with room round it for overhangs, as text() would draw it.
    const PanelFont& font = panel_font();
    const int pad = font.metrics.char_height;
    const Size extent = text_extent(text);
    QImage picture(extent.width + 2 * pad, extent.height + 2 * pad, QImage::Format_RGB32);
    picture.fill(Qt::black);
    {
        QPainter painter(&picture);
        painter.setFont(font.font);
        painter.setPen(QColor(Qt::white));
        painter.drawText(pad, pad + QFontMetrics(font.font).ascent(), to_qstring(text));
    }
    TextPixels& out = text_pixels_[next_text_pixels_];
    next_text_pixels_ = (next_text_pixels_ + 1) % text_pixels_.size();
    out.text.assign(text);
    out.pixels.clear();
    out.bounds = {};
    out.two_coloured = true;
    const QRgb white = QColor(Qt::white).rgb();
    const QRgb black = QColor(Qt::black).rgb();
    for (int y = 0; y < picture.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            if (row[x] == black) continue;
            if (row[x] != white) out.two_coloured = false;
            const Point p{x - pad, y - pad};
            out.bounds = out.pixels.empty()
                             ? Rect{p.x, p.y, p.x + 1, p.y + 1}
                             : Rect{std::min(out.bounds.left, p.x), std::min(out.bounds.top, p.y),
                                    std::max(out.bounds.right, p.x + 1),
                                    std::max(out.bounds.bottom, p.y + 1)};
            out.pixels.push_back(p);
        }
    }
    return out;
}

Size QtSurface::text_extent(std::string_view text) const {
    std::lock_guard lock(extents_mutex_);
    for (const MeasuredText& measured : extents_) {
        if (!measured.text.empty() && measured.text == text) return measured.extent;
    }
    const PanelFont& font = panel_font();
    QFontMetrics metrics(font.font);
    const Size extent{metrics.horizontalAdvance(to_qstring(text)), font.metrics.char_height};
    if (!text.empty()) {
        extents_[next_extent_] = {std::string(text), extent};
        next_extent_ = (next_extent_ + 1) % extents_.size();
    }
    return extent;
}

void QtSurface::glyph(SystemGlyph glyph, Rect r) {
    // Drawn in the window system's fixed button colours, not through the palette.
    const QColor face(192, 192, 192);
    const QColor light(255, 255, 255);
    const QColor shadow(128, 128, 128);
    const QColor dark(0, 0, 0);
    settle(r);
    QPainter painter(&image_);
    if (clip_) painter.setClipRect(to_qrect(*clip_));
    const QRect box = to_qrect(r);
    if (glyph == SystemGlyph::CheckBoxEmpty || glyph == SystemGlyph::CheckBoxChecked) {
        painter.fillRect(box, light);
        painter.setPen(shadow);
        painter.drawLine(box.left(), box.top(), box.right(), box.top());
        painter.drawLine(box.left(), box.top(), box.left(), box.bottom());
        painter.setPen(dark);
        painter.drawLine(box.left() + 1, box.top() + 1, box.right() - 1, box.top() + 1);
        painter.drawLine(box.left() + 1, box.top() + 1, box.left() + 1, box.bottom() - 1);
        if (glyph == SystemGlyph::CheckBoxChecked) {
            const int cx = box.left() + box.width() / 2;
            const int cy = box.top() + box.height() / 2;
            painter.setPen(QPen(dark, 2));
            painter.drawLine(cx - 3, cy, cx - 1, cy + 2);
            painter.drawLine(cx - 1, cy + 2, cx + 3, cy - 2);
        }
        return;
    }
    const int index = static_cast<int>(glyph);
    const int direction = index % 4;  // up, down, left, right
    const bool pressed = index >= 4 && index < 8;
    const bool inactive = index >= 8;
    painter.fillRect(box, face);
    painter.setPen(pressed ? shadow : light);
    painter.drawLine(box.left(), box.top(), box.right(), box.top());
    painter.drawLine(box.left(), box.top(), box.left(), box.bottom());
    painter.setPen(pressed ? light : dark);
    painter.drawLine(box.left(), box.bottom(), box.right(), box.bottom());
    painter.drawLine(box.right(), box.top(), box.right(), box.bottom());
    const int shift = pressed ? 1 : 0;
    const int cx = box.left() + box.width() / 2 + shift;
    const int cy = box.top() + box.height() / 2 + shift;
    const int h = std::max(2, std::min(box.width(), box.height()) / 4);
    QPolygon triangle;
    switch (direction) {
        case 0:
            triangle << QPoint(cx, cy - h) << QPoint(cx - h, cy + h / 2)
                     << QPoint(cx + h, cy + h / 2);
            break;
        case 1:
            triangle << QPoint(cx, cy + h) << QPoint(cx - h, cy - h / 2)
                     << QPoint(cx + h, cy - h / 2);
            break;
        case 2:
            triangle << QPoint(cx - h, cy) << QPoint(cx + h / 2, cy - h)
                     << QPoint(cx + h / 2, cy + h);
            break;
        default:
            triangle << QPoint(cx + h, cy) << QPoint(cx - h / 2, cy - h)
                     << QPoint(cx - h / 2, cy + h);
            break;
    }
    painter.setPen(inactive ? shadow : dark);
    painter.setBrush(inactive ? shadow : dark);
    painter.drawPolygon(triangle);
}

void QtSurface::set_clip(std::optional<Rect> rect) {
    clip_ = rect;
}

void QtSurface::blit_indexed(Point at, Size size, const uint8_t* pixels, int stride) {
    const Rect c = clipped({at.x, at.y, at.x + size.width, at.y + size.height});
    settle(c);
    for (int y = c.top; y < c.bottom; ++y) {
        const uint8_t* src = pixels + static_cast<ptrdiff_t>(y - at.y) * stride + (c.left - at.x);
        QRgb* dst = reinterpret_cast<QRgb*>(image_.scanLine(y)) + c.left;
        for (int x = 0; x < c.width(); ++x) dst[x] = lookup_[src[x]];
    }
}

namespace {

// Bytes compared at once before the pixels inside are looked at one by one.
constexpr int kRingBlock = 32;

uint64_t load_word(const uint8_t* bytes) {
    uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

// True when the block of kRingBlock bytes differs from its copy.
bool block_differs(const uint8_t* a, const uint8_t* b) {
    uint64_t differ = 0;
    for (int i = 0; i < kRingBlock; i += 8) differ |= load_word(a + i) ^ load_word(b + i);
    return differ != 0;
}

// Converts the pixels of one row whose index differs from the copy, and updates the copy.
void convert_changed(const uint8_t* source, uint8_t* seen, QRgb* colours, int width,
                     const std::array<QRgb, 256>& lookup) {
    int x = 0;
    for (; x + kRingBlock <= width; x += kRingBlock) {
        if (!block_differs(source + x, seen + x)) continue;
        for (int i = x; i < x + kRingBlock; ++i) {
            if (source[i] == seen[i]) continue;
            seen[i] = source[i];
            colours[i] = lookup[source[i]];
        }
    }
    for (; x < width; ++x) {
        if (source[x] == seen[x]) continue;
        seen[x] = source[x];
        colours[x] = lookup[source[x]];
    }
}

}  // namespace

void QtSurface::update_ring(Size size, const uint8_t* pixels, int stride,
                            const RingWrites* writes) {
    const auto width = static_cast<size_t>(size.width);
    const bool same_ring = ring_.size == size && ring_.lookup == lookup_;
    // What the writer has written since the last blit, when it tells and this is the ring
    // (at the same place, with nothing cleared since) that the last blit showed.
    const bool writes_tell =
        same_ring && writes != nullptr && ring_.writes_seen && ring_.source == pixels &&
        ring_.stride == stride && writes->whole <= *ring_.writes_seen &&
        writes->columns.size() == width && writes->rows.size() == static_cast<size_t>(size.height);
    const std::optional<uint64_t> seen = ring_.writes_seen;
    ring_.source = pixels;
    ring_.stride = stride;
    ring_.writes_seen = writes != nullptr ? std::optional<uint64_t>(writes->now) : std::nullopt;
    if (!same_ring) {
        // Another ring or another palette: everything is converted again.
        ring_.size = size;
        ring_.lookup = lookup_;
        ring_.indices.resize(width * static_cast<size_t>(size.height));
        ring_.colours.resize(ring_.indices.size());
        ring_.picture =
            QImage(reinterpret_cast<const uchar*>(ring_.colours.data()), size.width, size.height,
                   static_cast<qsizetype>(width * sizeof(QRgb)), QImage::Format_RGB32);
        for (int y = 0; y < size.height; ++y) {
            const uint8_t* source = pixels + static_cast<ptrdiff_t>(y) * stride;
            uint8_t* indices = ring_.indices.data() + y * width;
            QRgb* colours = ring_.colours.data() + y * width;
            std::memcpy(indices, source, width);
            for (size_t x = 0; x < width; ++x) colours[x] = lookup_[source[x]];
        }
        return;
    }
    auto convert_row = [&](int y) {
        convert_changed(pixels + static_cast<ptrdiff_t>(y) * stride,
                        ring_.indices.data() + y * width, ring_.colours.data() + y * width,
                        size.width, lookup_);
    };
    // A column is read across every row: past a few, one pass along the rows costs less.
    const auto columns_written = writes_tell
                                     ? std::count_if(writes->columns.begin(), writes->columns.end(),
                                                     [&](uint64_t c) { return c > *seen; })
                                     : 0;
    if (!writes_tell || columns_written > size.width / 8) {
        for (int y = 0; y < size.height; ++y) convert_row(y);
        return;
    }
    // A new ping writes a column or two and a row: only those are looked at.
    for (int y = 0; y < size.height; ++y) {
        if (writes->rows[static_cast<size_t>(y)] > *seen) convert_row(y);
    }
    for (size_t x = 0; x < width; ++x) {
        if (writes->columns[x] <= *seen) continue;
        for (int y = 0; y < size.height; ++y) {
            const uint8_t index =
                pixels[static_cast<ptrdiff_t>(y) * stride + static_cast<ptrdiff_t>(x)];
            const size_t at = static_cast<size_t>(y) * width + x;
            ring_.indices[at] = index;
            ring_.colours[at] = lookup_[index];
        }
    }
}

void QtSurface::blit_indexed_ring(Point at, Size size, const uint8_t* pixels, int stride,
                                  int first_column, const RingWrites* writes) {
    if (size.width <= 0 || size.height <= 0) return;
    first_column = ((first_column % size.width) + size.width) % size.width;
    const Rect c = clipped({at.x, at.y, at.x + size.width, at.y + size.height});
    // A ring shown elsewhere (or cut otherwise) keeps what it showed: its converted pixels
    // are about to change.
    if (shown_ring_ && (shown_ring_->area != c || shown_ring_->at != at || ring_.size != size))
        settle_all();
    update_ring(size, pixels, stride, writes);
    // The area now shows the ring; its pixels are copied in only when something is drawn
    // over them.
    shown_ring_.reset();
    if (!is_empty(c)) shown_ring_ = ShownRing{c, at, first_column};
}

Rgb QtSurface::pixel(Point at) const {
    if (at.x < 0 || at.y < 0 || at.x >= image_.width() || at.y >= image_.height()) return {};
    QRgb value = 0;
    if (shown_ring_ && shown_ring_->area.contains(at)) {
        const ShownRing& shown = *shown_ring_;
        const int column = (shown.first_column + (at.x - shown.at.x)) % ring_.size.width;
        value = ring_.colours[static_cast<size_t>(at.y - shown.at.y) * ring_.size.width +
                              static_cast<size_t>(column)];
    } else {
        value = image_.pixel(at.x, at.y);
    }
    return {static_cast<uint8_t>(qRed(value)), static_cast<uint8_t>(qGreen(value)),
            static_cast<uint8_t>(qBlue(value))};
}

}  // namespace kelvanor
