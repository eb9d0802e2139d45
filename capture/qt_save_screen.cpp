#include "capture/qt_save_screen.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include <cstdlib>

#include "capture/bmp_writer.h"
#include "capture/qt_window_grab.h"
#include "control/file_names.h"

namespace kelvanor {

namespace {

constexpr const char* kCaption = "Save Screen As";

// Whether `part` shows the same picture as `own`: the screen copy of the client area
// matches the window's own rendering (a few stray pixels aside, e.g. a blinking caret).
bool same_picture(const QImage& part, const QImage& own) {
    if (part.size() != own.size()) return false;
    const QImage a = part.convertToFormat(QImage::Format_RGB32);
    const QImage b = own.convertToFormat(QImage::Format_RGB32);
    qsizetype differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* row_a = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* row_b = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = row_a[x];
            const QRgb q = row_b[x];
            if (std::abs(qRed(p) - qRed(q)) > 8 || std::abs(qGreen(p) - qGreen(q)) > 8 ||
                std::abs(qBlue(p) - qBlue(q)) > 8) {
                ++differing;
            }
        }
    }
    return differing * 200 <= static_cast<qsizetype>(a.width()) * a.height();
}

}  // namespace

FileDialogSpec save_screen_dialog_spec() {
    FileDialogSpec request;
    request.title = kCaption;
    // Shown as "BITMAP File    (*.BMP *.bmp)": files are created with lower-case names, and
    // a case-sensitive file system lists them only under the lower-case pattern.
    request.filter_name = "BITMAP File   ";
    request.patterns = {"*.BMP", "*.bmp"};
    request.default_extension = "BMP";
    request.prompt_overwrite = true;
    request.must_exist = false;
    return request;
}

QImage capture_main_window(QWidget& main_window) {
    const QImage own = grab_window(main_window);
    // Only an X server lets a program read the screen back; the window manager's frame is
    // there and nowhere else. Elsewhere (Wayland, offscreen) the window's own rendering is
    // the picture.
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return own;
    const QRect frame = main_window.frameGeometry();
    const QRect client = main_window.geometry();
    if (frame == client || !main_window.isVisible() || main_window.isMinimized()) return own;
    QScreen* screen = main_window.screen();
    if (screen == nullptr || screen->devicePixelRatio() != 1.0 ||
        !screen->geometry().contains(frame)) {
        return own;
    }
    const QPoint at = frame.topLeft() - screen->geometry().topLeft();
    const QImage shot =
        screen->grabWindow(0, at.x(), at.y(), frame.width(), frame.height()).toImage();
    if (shot.size() != frame.size()) return own;
    // Another window over ours, or a screen not yet repainted, would put something else in
    // the picture: then the window's own rendering is the truer one.
    const QImage client_part = shot.copy(QRect(client.topLeft() - frame.topLeft(), own.size()));
    if (!same_picture(client_part, own)) return own;
    return shot.convertToFormat(QImage::Format_RGB32);
}

SaveScreenOutcome save_screen(QWidget& main_window, UiServices& ui,
                              const std::function<void()>& show_current_readout) {
    const std::optional<std::string> chosen = ui.save_file_dialog(save_screen_dialog_spec());
    if (!chosen) return SaveScreenOutcome::Cancelled;
    const std::string path = with_lower_case_file_name(*chosen);
    if (!has_extension(path, "bmp")) {
        ui.message_box("File extension must be .BMP", kCaption, MessageKind::Warning);
        return SaveScreenOutcome::WrongExtension;
    }
    const std::string failed = "The screen could not be saved to\n" + path;
    // Created before the picture is taken, so that a path that cannot be written costs no
    // capture.
    if (!write_file(path, {})) {
        ui.message_box(failed, kCaption, MessageKind::Warning);
        return SaveScreenOutcome::Failed;
    }

    // The dialog has gone: let the window repaint what it covered, with a current read-out.
    QCoreApplication::processEvents();
    if (show_current_readout) show_current_readout();
    main_window.repaint();

    if (!save_bmp(capture_main_window(main_window), path)) {
        ui.message_box(failed, kCaption, MessageKind::Warning);
        return SaveScreenOutcome::Failed;
    }
    return SaveScreenOutcome::Saved;
}

}  // namespace kelvanor
