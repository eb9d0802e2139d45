#include "app/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
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

ToolWindow::ToolWindow(const QString& title, QSize size, QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(title);
    resize(size);
    hide();
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
    diagnostics_ = new ToolWindow(QStringLiteral("Diagnostics"), QSize(170, 170), this);
    zoom_ = new ToolWindow(QStringLiteral("Zoom x3"), QSize(306, 325), this);
    diagnostics_->move(10, 10);
    zoom_->move(2, 2);
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
                action->setCheckable(!open.empty());
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
