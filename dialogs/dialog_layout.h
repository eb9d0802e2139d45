#pragma once
// What the four dialogs share: dialog units and where a dialog opens.
//
// The dialog templates give sizes and positions in dialog units of their 8-point font: a
// horizontal unit is a quarter of the font's average character width, a vertical unit an
// eighth of its height. DialogUnits measures the dialog's own font the same way, so a
// template keeps its proportions whatever font the desktop supplies.

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>

#include "platform/geometry.h"

class QDialog;
class QWidget;

namespace kelvanor {

// The font the dialog templates are laid out for, enlarged by the scale the main window shows
// its client area at: the dialog units, and so the whole dialog, grow with it.
QFont dialog_font(int scale = 1);

// The whole-number scale the owner's main window shows its client area at (1 for any other
// owner).
int client_scale(const QWidget* owner);

class DialogUnits {
  public:
    explicit DialogUnits(const QFont& font);
    // Base units in pixels: average character width and character height.
    DialogUnits(int base_x, int base_y) : base_x_(base_x), base_y_(base_y) {}

    int x(int units) const { return units * base_x_ / 4; }
    int y(int units) const { return units * base_y_ / 8; }
    QRect rect(int x_units, int y_units, int w_units, int h_units) const {
        return {x(x_units), y(y_units), x(w_units), y(h_units)};
    }
    QSize size(int w_units, int h_units) const { return {x(w_units), y(h_units)}; }

  private:
    int base_x_;
    int base_y_;
};

// Where the main window stands and what the screen offers, as the placement needs them.
struct PlacementFrame {
    QRect window;          // the main window on the screen, frame included
    int caption = 0;       // height of the caption
    int menu_bar = 0;      // height of the menu bar
    QSize screen;          // the screen's size
    int scale = 1;         // the scale the client area is shown at
    QPoint client_offset;  // where the enlarged client area stands in the central widget
};

// Top-left corner of a dialog of `size` centred on `centre` (a client point, taken relative
// to the window's top-left corner at scale 1), kept off the right and bottom edges of the
// screen. At a larger scale the point is where the enlarged client area shows it.
QPoint centred_dialog_position(const PlacementFrame& frame, QSize size, QPoint centre);

// The middle of the waterfall: About and ComPort Setup open around it.
inline constexpr QPoint kWaterfallCentre{393, 251};
// Channel Balance opens around this point and then 50 pixels higher.
inline constexpr QPoint kBalanceCentre{400, 300};
inline constexpr int kBalanceLift = 50;

// The placement frame of the owner's main window; the screen size is `known_screen` when it
// is known (both sides above 0), else the owner's screen's.
PlacementFrame placement_frame(const QWidget* owner, Size known_screen);

// The top-left corner of the owner window's client area (below its menu bar, where the
// enlarged client surface starts) on the screen.
QPoint client_origin(const QWidget* owner);

}  // namespace kelvanor
