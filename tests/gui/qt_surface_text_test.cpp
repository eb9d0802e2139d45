// Texts drawn again come from the pixels remembered for them: whatever the colour, the clip
// and the order, the surface must hold what QPainter draws with the panel font.

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QPainter>

#include <optional>
#include <string>

#include "platform/qt_surface.h"

namespace kelvanor {
namespace {

constexpr Size kSurface{160, 60};

PaletteEntries test_palette() {
    PaletteEntries p{};
    for (size_t i = 0; i < p.size(); ++i) {
        p[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                static_cast<uint8_t>(i * 7)};
    }
    return p;
}

// The text as QPainter draws it on a plain image, as the surface did before remembering.
void draw_plain(QImage& image, Point at, const std::string& text, QRgb colour,
                std::optional<Rect> clip) {
    const PanelFont& font = panel_font();
    QPainter painter(&image);
    if (clip) painter.setClipRect(QRect(clip->left, clip->top, clip->width(), clip->height()));
    painter.setFont(font.font);
    painter.setPen(QColor::fromRgb(colour));
    painter.drawText(at.x, at.y + QFontMetrics(font.font).ascent(), QString::fromStdString(text));
}

TEST(QtSurfaceText, TextDrawnAgainIsWhatQPainterDraws) {
    QtSurface surface(kSurface);
    surface.set_palette(test_palette());
    QImage plain(kSurface.width, kSurface.height, QImage::Format_RGB32);
    plain.fill(Qt::black);
    struct Draw {
        Point at;
        const char* text;
        PaletteIndex colour;
        std::optional<Rect> clip;
    };
    // Each text at least twice: the first draw measures it, the next ones reuse it; in other
    // colours, cut by clips, partly off the surface, and over each other.
    const Draw draws[] = {
        {{2, 2}, "DATA FROM", 10, std::nullopt},
        {{2, 2}, "DATA FROM", 200, std::nullopt},
        {{40, 20}, "*", 30, std::nullopt},
        {{44, 21}, "*", 31, std::nullopt},
        {{5, 30}, "09-DEC-2026  15:28:51", 60, Rect{10, 30, 70, 40}},
        {{5, 31}, "09-DEC-2026  15:28:51", 61, std::nullopt},
        {{140, 50}, "Range", 90, std::nullopt},
        {{-4, -3}, "Range", 91, std::nullopt},
        {{70, 2}, "gjpqy|", 120, std::nullopt},
        {{72, 3}, "gjpqy|", 121, Rect{0, 0, 80, 12}},
        {{100, 30}, "", 5, std::nullopt},
    };
    for (const Draw& d : draws) {
        surface.set_clip(d.clip);
        surface.text(d.at, d.text, d.colour);
        surface.set_clip(std::nullopt);
        const Rgb c = test_palette()[d.colour];
        draw_plain(plain, d.at, d.text, qRgb(c.red, c.green, c.blue), d.clip);
        int differ = 0;
        for (int y = 0; y < kSurface.height; ++y) {
            for (int x = 0; x < kSurface.width; ++x) {
                const Rgb s = surface.pixel({x, y});
                if (qRgb(s.red, s.green, s.blue) != plain.pixel(x, y)) ++differ;
            }
        }
        EXPECT_EQ(differ, 0) << "after \"" << d.text << "\" at " << d.at.x << "," << d.at.y;
    }
}

}  // namespace
}  // namespace kelvanor
