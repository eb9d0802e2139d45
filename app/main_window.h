#pragma once
// The main window: the menu, the client area that shows the off-screen surface, and the two
// tool windows "Diagnostics" and "Zoom x3". It holds no program state: commands and the close
// request go to whoever listens (the Application).

#include <QMainWindow>
#include <QWidget>

#include <map>

#include "platform/qt_surface.h"

class QAction;

namespace kelvanor {

inline constexpr const char* kProgramTitle = "Kelvanor Marlinray";
// The fixed layout needs a client area of at least this size.
inline constexpr Size kClientSize{792, 600};

// Copies a surface to the screen; nothing else happens in its paint handler.
// Mouse and keyboard input is passed on as signals in client coordinates.
class SurfaceView : public QWidget {
    Q_OBJECT
  public:
    SurfaceView(QtSurface& surface, QWidget* parent);

  signals:
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

  private:
    QtSurface& surface_;
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
