#include "dialogs/dialog_layout.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QWidget>

#include "settings/app_state.h"

namespace kelvanor {

QFont dialog_font() {
    QFont font(QStringLiteral("Helvetica"), 8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

DialogUnits::DialogUnits(const QFont& font) {
    // The average width of the 52 letters, rounded, and the character height: the measure
    // the templates' units were defined by.
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    base_x_ = std::max(1, (letters / 26 + 1) / 2);
    base_y_ = std::max(1, metrics.height());
}

QPoint centred_dialog_position(const PlacementFrame& frame, QSize size, QPoint centre) {
    const int w = size.width();
    const int h = size.height();
    int x = frame.window.left() + centre.x() - w / 2;
    if (x + w >= frame.screen.width()) x = frame.screen.width() - w - 11;
    const int top = frame.window.top() + centre.y() - h / 2;
    int y = top + frame.caption;
    if (top + h + frame.menu_bar + frame.caption >= frame.screen.height()) {
        y = frame.screen.height() - h - frame.caption - 10;
    }
    return {x, y};
}

PlacementFrame placement_frame(const QWidget* owner, const AppState& app) {
    PlacementFrame frame;
    const QWidget* window = owner != nullptr ? owner->window() : nullptr;
    if (window != nullptr) {
        frame.window = window->frameGeometry();
        frame.caption = std::max(0, window->geometry().top() - window->frameGeometry().top());
        if (const auto* main = qobject_cast<const QMainWindow*>(window)) {
            if (main->menuWidget() != nullptr && main->menuWidget()->isVisible()) {
                frame.menu_bar = main->menuWidget()->height();
            }
        }
    }
    frame.screen = QSize(app.run.screen_width, app.run.screen_height);
    if (frame.screen.width() <= 0 || frame.screen.height() <= 0) {
        const QScreen* screen =
            window != nullptr ? window->screen() : QGuiApplication::primaryScreen();
        if (screen != nullptr) frame.screen = screen->geometry().size();
    }
    return frame;
}

QPoint client_origin(const QWidget* owner) {
    if (owner == nullptr) return {};
    const QWidget* window = owner->window();
    if (const auto* main = qobject_cast<const QMainWindow*>(window)) {
        if (main->centralWidget() != nullptr) return main->centralWidget()->mapToGlobal(QPoint());
    }
    return window->mapToGlobal(QPoint());
}

}  // namespace kelvanor
