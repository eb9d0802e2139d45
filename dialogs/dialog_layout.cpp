#include "dialogs/dialog_layout.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QWidget>

#include "control/app_state.h"
#include "platform/client_scale.h"

namespace kelvanor {

namespace {

const QWidget* central_widget(const QWidget* owner) {
    if (owner == nullptr) return nullptr;
    const auto* main = qobject_cast<const QMainWindow*>(owner->window());
    return main != nullptr ? main->centralWidget() : nullptr;
}

ClientPlacement central_placement(const QWidget* owner) {
    const QWidget* central = central_widget(owner);
    if (central == nullptr) return {};
    return place_client(Size{central->width(), central->height()}, kClientSize);
}

}  // namespace

QFont dialog_font(int scale) {
    QFont font(QStringLiteral("Helvetica"), 8 * valid_scale(scale));
    font.setStyleHint(QFont::SansSerif);
    return font;
}

int client_scale(const QWidget* owner) {
    return central_placement(owner).scale;
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
    const QPoint shown = centre * frame.scale + frame.client_offset;
    int x = frame.window.left() + shown.x() - w / 2;
    if (x + w >= frame.screen.width()) x = frame.screen.width() - w - 11;
    const int top = frame.window.top() + shown.y() - h / 2;
    int y = top + frame.caption;
    if (top + h + frame.menu_bar + frame.caption >= frame.screen.height()) {
        y = frame.screen.height() - h - frame.caption - 10;
    }
    return {x, y};
}

PlacementFrame placement_frame(const QWidget* owner, Size known_screen) {
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
    const ClientPlacement placement = central_placement(owner);
    frame.scale = placement.scale;
    frame.client_offset = QPoint(placement.origin.x, placement.origin.y);
    frame.screen = QSize(known_screen.width, known_screen.height);
    if (frame.screen.width() <= 0 || frame.screen.height() <= 0) {
        const QScreen* screen =
            window != nullptr ? window->screen() : QGuiApplication::primaryScreen();
        if (screen != nullptr) frame.screen = screen->geometry().size();
    }
    return frame;
}

QPoint client_origin(const QWidget* owner) {
    if (owner == nullptr) return {};
    if (const QWidget* central = central_widget(owner)) {
        const Point origin = central_placement(owner).origin;
        return central->mapToGlobal(QPoint(origin.x, origin.y));
    }
    return owner->window()->mapToGlobal(QPoint());
}

}  // namespace kelvanor
