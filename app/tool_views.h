#pragma once
// The contents of the two tool windows. Both only show: the Diagnostics view draws a snapshot
// of the head link into its own surface when it is painted; the Zoom view shows the square of
// the main window's surface round the zoom centre, stretched three times. Both are shown at
// the main window's scale, each pixel repeated.

#include <QWidget>

#include <vector>

#include "control/app_state.h"
#include "headlink/diagnostics_view.h"
#include "platform/qt_surface.h"
#include "waterfall/zoom.h"

namespace kelvanor {

class DiagnosticsView : public QWidget {
    Q_OBJECT
  public:
    DiagnosticsView(const AppState& app, QWidget* parent);
    // Shows the view at a whole-number scale (its size follows).
    void set_scale(int scale);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const AppState& app_;
    DiagnosticsLayout layout_;
    QtSurface surface_;
    int scale_ = 1;
};

class ZoomPicture : public QWidget {
    Q_OBJECT
  public:
    ZoomPicture(Surface& client, QWidget* parent);
    // Shows the square round `view` (the caller has limited and stored the centre).
    void show_view(const ZoomView& view);
    // Shows the picture at a whole-number scale (its size follows).
    void set_scale(int scale);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Surface& client_;
    std::vector<Rgb> pixels_;
    QImage image_;
    int scale_ = 1;
};

}  // namespace kelvanor
