#include "app/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>

#include <vector>

#include "app/menu_layout.h"

namespace kelvanor {

SurfaceView::SurfaceView(QtSurface& surface, QWidget* parent) : QWidget(parent), surface_(surface) {
    setFixedSize(surface.image().size());
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

void SurfaceView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    std::lock_guard lock(surface_.mutex());
    painter.drawImage(event->rect(), surface_.image(), event->rect());
}

void SurfaceView::mouseMoveEvent(QMouseEvent* event) {
    emit pointer_moved(event->position().toPoint());
}

void SurfaceView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit left_pressed(event->position().toPoint());
    if (event->button() == Qt::RightButton) emit right_pressed(event->position().toPoint());
}

void SurfaceView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit left_released(event->position().toPoint());
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
    setFixedSize(sizeHint());
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
