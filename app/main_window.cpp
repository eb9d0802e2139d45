#include "app/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QResizeEvent>

#include <vector>

#include "app/menu_layout.h"
#include "waterfall/palette.h"

namespace kelvanor {

namespace {

QRect to_qrect(Rect r) {
    return QRect(r.left, r.top, r.width(), r.height());
}

Rect from_qrect(const QRect& r) {
    return Rect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

QSize surface_qsize(const QtSurface& surface) {
    const Size size = surface.size();
    return {size.width, size.height};
}

}  // namespace

SurfaceView::SurfaceView(QtSurface& surface, QWidget* parent) : QWidget(parent), surface_(surface) {
    setMinimumSize(surface_qsize(surface));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

void SurfaceView::set_preferred_scale(int scale) {
    preferred_scale_ = valid_scale(scale);
    updateGeometry();
}

QSize SurfaceView::sizeHint() const {
    return surface_qsize(surface_) * preferred_scale_;
}

void SurfaceView::anchor(QWidget* child, Rect client_rect) {
    anchored_.emplace_back(child, client_rect);
    place_anchored();
}

void SurfaceView::place_anchored() {
    std::erase_if(anchored_, [](const auto& entry) { return entry.first.isNull(); });
    for (const auto& [child, rect] : anchored_)
        child->setGeometry(to_qrect(client_rect_to_view(placement_, rect)));
}

void SurfaceView::update_client(Rect client_rect) {
    update(to_qrect(client_rect_to_view(placement_, client_rect)));
}

QPoint SurfaceView::to_view(Point client) const {
    const Point p = client_to_view(placement_, client);
    return {p.x, p.y};
}

QPoint SurfaceView::to_client(QPoint view) const {
    const Point p = view_to_client(placement_, Point{view.x(), view.y()});
    return {p.x, p.y};
}

void SurfaceView::resizeEvent(QResizeEvent* event) {
    const int previous = placement_.scale;
    placement_ = place_client(Size{event->size().width(), event->size().height()}, surface_.size());
    place_anchored();
    update();
    if (placement_.scale != previous) emit scale_changed(placement_.scale);
}

void SurfaceView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const Size client = surface_.size();
    const QRect shown =
        to_qrect(client_rect_to_view(placement_, {0, 0, client.width, client.height}));
    // Only the surface's own pixels, each repeated scale times: no smoothing. Each rectangle
    // of the region on its own: a few small read-outs far apart are not their bounding box.
    const QRegion dirty = event->region() & shown;
    const QRegion margin = event->region() - shown;
    std::lock_guard lock(surface_.mutex());
    for (const QRect& part : margin)
        painter.fillRect(part, QColor(surface_.rgb(kPalettePanelBackground)));
    for (const QRect& part : dirty) {
        // A clip of one rectangle keeps the copy a plain blit: under the region's many
        // rectangles the painter would blend span by span, on threads of its own.
        painter.setClipRect(part);
        const Rect source = view_rect_to_client(placement_, from_qrect(part));
        // The waterfall comes straight from its converted ring, the rest from the image.
        for (const QtSurface::Piece& piece : surface_.pieces(source)) {
            painter.drawImage(
                to_qrect(client_rect_to_view(placement_, piece.client)), *piece.image,
                QRect(piece.source, QSize(piece.client.width(), piece.client.height())));
        }
    }
}

void SurfaceView::mouseMoveEvent(QMouseEvent* event) {
    emit pointer_moved(to_client(event->position().toPoint()));
}

void SurfaceView::mousePressEvent(QMouseEvent* event) {
    const QPoint at = to_client(event->position().toPoint());
    if (event->button() == Qt::LeftButton) emit left_pressed(at);
    if (event->button() == Qt::RightButton) emit right_pressed(at);
}

void SurfaceView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        emit left_released(to_client(event->position().toPoint()));
}

void SurfaceView::keyPressEvent(QKeyEvent* event) {
    emit key_pressed(event->key());
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit character_typed(13);
    } else if (event->key() == Qt::Key_Escape) {
        emit character_typed(27);
    } else {
        const QString text = event->text();
        if (text.size() == 1 && text.at(0).unicode() < 128)
            emit character_typed(text.at(0).unicode());
    }
}

void SurfaceView::keyReleaseEvent(QKeyEvent* event) {
    if (!event->isAutoRepeat()) emit key_released();
}

void SurfaceView::focusOutEvent(QFocusEvent*) {
    emit input_lost();
}

void SurfaceView::leaveEvent(QEvent*) {
    emit input_lost();
}

ToolWindow::ToolWindow(const QString& title, QSize size, QPoint offset, QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), offset_(offset) {
    setWindowTitle(title);
    resize(size);
    hide();
}

void ToolWindow::show_over(const QWidget* client) {
    // A top-level window's position is in screen coordinates: without this it would open at
    // the screen's corner, wherever the main window is.
    move(client->mapToGlobal(offset_));
    show();
}

void ToolWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
    emit closed();
}

MainWindow::MainWindow(QtSurface& surface) {
    setWindowTitle(QString::fromLatin1(kProgramTitle));
    view_ = new SurfaceView(surface, this);
    setCentralWidget(view_);
    build_menu();
    diagnostics_ =
        new ToolWindow(QStringLiteral("Diagnostics"), QSize(170, 170), QPoint(10, 10), this);
    zoom_ = new ToolWindow(QStringLiteral("Zoom x3"), QSize(306, 325), QPoint(2, 2), this);
    resize(sizeHint());
}

void MainWindow::set_client_scale(int scale) {
    view_->set_preferred_scale(scale);
    if (isMaximized() || isFullScreen()) showNormal();
    // The layout's size hint: the menu bar above the view at its preferred size.
    resize(sizeHint());
}

QAction* MainWindow::action(int id) const {
    auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

void MainWindow::build_menu() {
    QMenuBar* bar = menuBar();
    std::vector<QMenu*> open;
    for (const MenuEntry& entry : main_menu_layout()) {
        switch (entry.kind) {
            case MenuEntry::Kind::Submenu: {
                const QString title = QString::fromLatin1(entry.label);
                open.push_back(open.empty() ? bar->addMenu(title) : open.back()->addMenu(title));
                break;
            }
            case MenuEntry::Kind::End:
                open.pop_back();
                break;
            case MenuEntry::Kind::Separator:
                open.back()->addSeparator();
                break;
            case MenuEntry::Kind::Command: {
                const QString label = QString::fromLatin1(entry.label);
                QAction* action =
                    open.empty() ? bar->addAction(label) : open.back()->addAction(label);
                action->setData(entry.id);
                action->setCheckable(entry.marked);
                const int id = entry.id;
                // A checkable action flips its own mark when clicked; the marks are the
                // program's to set, so the click only reports the command.
                connect(action, &QAction::triggered, this, [this, action, id](bool) {
                    if (action->isCheckable()) action->setChecked(!action->isChecked());
                    emit command(id);
                });
                actions_[id] = action;
                break;
            }
        }
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (close_allowed_) {
        event->accept();
        return;
    }
    event->ignore();
    emit close_requested();
}

}  // namespace kelvanor
