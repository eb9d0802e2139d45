#pragma once
// The main window: the menu, the client area that shows the off-screen surface, and the two
// tool windows "Diagnostics" and "Zoom x3". It holds no program state: commands and the close
// request go to whoever listens (the Application).

#include <QMainWindow>
#include <QWidget>

#include <QPointer>

#include <map>
#include <utility>
#include <vector>

#include "platform/client_scale.h"
#include "platform/qt_surface.h"

class QAction;

namespace kelvanor {

inline constexpr const char* kProgramTitle = "Kelvanor Marlinray";

// Copies a surface to the screen; nothing else happens in its paint handler. The surface is
// shown at the largest whole-number scale that fits the view, centred on the panel colour,
// each pixel a square of scale x scale screen pixels.
// Mouse and keyboard input is passed on as signals in client coordinates.
class SurfaceView : public QWidget {
    Q_OBJECT
  public:
    SurfaceView(QtSurface& surface, QWidget* parent);

    const ClientPlacement& placement() const { return placement_; }
    int scale() const { return placement_.scale; }
    // The size the view asks for: the surface at this scale.
    void set_preferred_scale(int scale);
    QSize sizeHint() const override;
    // Keeps a child widget over a client rectangle, at every scale.
    void anchor(QWidget* child, Rect client_rect);
    // Repaints the part of the view that shows a client rectangle.
    void update_client(Rect client_rect);
    // The view position in the middle of a client pixel.
    QPoint to_view(Point client) const;
    // The client pixel under a view position.
    QPoint to_client(QPoint view) const;

  signals:
    // The surface is now shown at another scale.
    void scale_changed(int scale);
    void pointer_moved(QPoint at);
    void left_pressed(QPoint at);
    void left_released(QPoint at);
    void right_pressed(QPoint at);
    // A typed character (ASCII), Enter as 13 and Esc as 27.
    void character_typed(int character);
    void key_pressed(int key);
    void key_released();
    // The mouse or the keyboard focus went elsewhere.
    void input_lost();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void place_anchored();

    QtSurface& surface_;
    ClientPlacement placement_;
    int preferred_scale_ = 1;
    std::vector<std::pair<QPointer<QWidget>, Rect>> anchored_;
};

// A small tool window with its own caption and close box; closing it only hides it. It
// opens at `offset` from the top-left corner of its owner's client area.
class ToolWindow : public QWidget {
    Q_OBJECT
  public:
    ToolWindow(const QString& title, QSize size, QPoint offset, QWidget* owner);

    // Moves the window to its offset from `client` as it is now, and shows it.
    void show_over(const QWidget* client);

  signals:
    void closed();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QPoint offset_;
};

class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    explicit MainWindow(QtSurface& surface);

    QAction* action(int id) const;
    SurfaceView* view() const { return view_; }
    ToolWindow* diagnostics_window() const { return diagnostics_; }
    ToolWindow* zoom_window() const { return zoom_; }

    // Sizes the window so that the surface is shown at `scale` (1..3), leaving the maximised
    // or full-screen state; where the screen is too small, the scale that fits is shown.
    void set_client_scale(int scale);

    // Once set, the next close request closes the window for real.
    void allow_close() { close_allowed_ = true; }

  signals:
    void command(int id);
    // The user (close box, window manager) asked the window to close.
    void close_requested();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void build_menu();

    SurfaceView* view_;
    ToolWindow* diagnostics_;
    ToolWindow* zoom_;
    std::map<int, QAction*> actions_;
    bool close_allowed_ = false;
};

}  // namespace kelvanor
