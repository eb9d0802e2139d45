#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <QFontInfo>

#include "platform/qt_surface.h"

namespace kelvanor {
namespace {

TEST(PanelFont, FitsTheFixedLayout) {
    // The face built into the program, whatever faces of its family the machine offers.
    const QFontInfo info(panel_font().font);
    EXPECT_EQ(info.family(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(info.styleName(), QStringLiteral("Condensed"));
    EXPECT_EQ(info.pixelSize(), 13);
    const FontMetrics& m = panel_font().metrics;
    EXPECT_GE(m.char_width, 6);
    EXPECT_LE(m.char_width, 8);
    EXPECT_GE(m.char_height, 14);
    EXPECT_LE(m.char_height, 17);
    QtSurface surface({100, 40});
    EXPECT_EQ(surface.text_extent("XXXXX").width, 5 * m.char_width);
}

// The panel's texts drawn white on black: every pixel is one of the two (no antialiasing,
// no coloured subpixel fringes), and the widths and pixels, written to the file named by
// KELVANOR_FONT_FINGERPRINT, let a script compare one platform's rendering with another's.
TEST(PanelFont, RendersTwoColoursAndWritesItsFingerprint) {
    const std::vector<std::string> texts = {"X",
                                            "DATA FROM",
                                            "Range",
                                            "Gain",
                                            "Channel",
                                            "Hold",
                                            "LAT",
                                            "LNG",
                                            "Low Freq",
                                            "High Freq",
                                            "Plot Spd",
                                            "120 M",
                                            "800 FT",
                                            "40 dB",
                                            "Both",
                                            "HEAD",
                                            "FILE",
                                            "-1.5/1.5",
                                            "160 FT/DIV",
                                            "28-SEP-2026  23:58:59",
                                            " 54.21.123 N",
                                            "010.07.456 E",
                                            "No Data at COM1",
                                            "REC Pause",
                                            "Delay Cnt",
                                            "2147483647"};
    PaletteEntries palette{};
    palette[255] = {255, 255, 255};
    std::string fingerprint;
    for (const std::string& text : texts) {
        const Size extent = QtSurface({1, 1}).text_extent(text);
        QtSurface surface({extent.width + 4, extent.height + 4});
        surface.set_palette(palette);
        surface.fill_rect({0, 0, extent.width + 4, extent.height + 4}, 0);
        surface.text({2, 2}, text, 255);
        uint64_t hash = 1469598103934665603ull;  // FNV-1a over the white pixels
        int others = 0;
        for (int y = 0; y < extent.height + 4; ++y) {
            for (int x = 0; x < extent.width + 4; ++x) {
                const Rgb p = surface.pixel({x, y});
                const bool white = p == Rgb{255, 255, 255};
                others += !white && p != Rgb{0, 0, 0};
                hash = (hash ^ static_cast<uint64_t>(white)) * 1099511628211ull;
            }
        }
        EXPECT_EQ(others, 0) << '"' << text << "\" is drawn with blended pixels";
        fingerprint += text + "\t" + std::to_string(extent.width) + "x" +
                       std::to_string(extent.height) + "\t" + std::to_string(hash) + "\n";
    }
    if (const char* path = std::getenv("KELVANOR_FONT_FINGERPRINT")) {
        std::ofstream(path) << fingerprint;
    }
}

TEST(QtSurface, DrawsInPaletteColoursWithEndExclusiveShapes) {
    QtSurface surface({50, 50});
    PaletteEntries palette{};
    palette[121] = {10, 20, 30};
    palette[127] = {255, 0, 0};
    palette[7] = {1, 2, 3};
    surface.set_palette(palette);
    surface.fill_rect({0, 0, 50, 50}, 121);
    surface.line({5, 5}, {10, 5}, 127);
    EXPECT_EQ(surface.pixel({5, 5}), (Rgb{255, 0, 0}));
    EXPECT_EQ(surface.pixel({9, 5}), (Rgb{255, 0, 0}));
    EXPECT_EQ(surface.pixel({10, 5}), (Rgb{10, 20, 30}));  // the end point is not drawn
    surface.frame_rect({20, 20, 30, 30}, 127);
    EXPECT_EQ(surface.pixel({29, 29}), (Rgb{255, 0, 0}));
    EXPECT_EQ(surface.pixel({25, 25}), (Rgb{10, 20, 30}));
    EXPECT_EQ(surface.pixel({30, 30}), (Rgb{10, 20, 30}));

    // The clip limits every call; a blit goes through the palette.
    surface.set_clip(Rect{0, 0, 42, 50});
    const uint8_t pixels[2 * 4] = {7, 7, 7, 7, 127, 127, 127, 127};
    surface.blit_indexed({40, 40}, {4, 2}, pixels, 4);
    surface.set_clip(std::nullopt);
    EXPECT_EQ(surface.pixel({41, 40}), (Rgb{1, 2, 3}));
    EXPECT_EQ(surface.pixel({41, 41}), (Rgb{255, 0, 0}));
    EXPECT_EQ(surface.pixel({42, 40}), (Rgb{10, 20, 30}));
    // Nothing is drawn outside the surface, whatever the coordinates.
    surface.fill_rect({-100, -100, 1000, 1000}, 7);
    surface.line({-10, -10}, {100, 100}, 127);
    surface.blit_indexed({45, 45}, {4, 2}, pixels, 4);
}

TEST(QtSurface, OpaqueTextFillsItsCellsTransparentTextDoesNot) {
    QtSurface surface({100, 40});
    PaletteEntries palette{};
    palette[121] = {10, 20, 30};
    palette[125] = {0, 0, 0};
    palette[255] = {255, 255, 255};
    surface.set_palette(palette);
    surface.fill_rect({0, 0, 100, 40}, 121);
    surface.text({0, 0}, " ", 255, 125);
    EXPECT_EQ(surface.pixel({1, 1}), (Rgb{0, 0, 0}));
    surface.text({50, 0}, " ", 255);
    EXPECT_EQ(surface.pixel({51, 1}), (Rgb{10, 20, 30}));
    surface.text({0, 20}, "X", 255);
    bool drew = false;
    const FontMetrics& m = panel_font().metrics;
    for (int y = 20; y < 20 + m.char_height; ++y)
        for (int x = 0; x < m.char_width; ++x)
            drew = drew || surface.pixel({x, y}) == Rgb{255, 255, 255};
    EXPECT_TRUE(drew);
}

}  // namespace
}  // namespace kelvanor
