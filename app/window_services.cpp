#include "app/window_services.h"

#include <QAction>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>

#include <cstdio>

namespace kelvanor {

namespace {

QString to_qstring(std::string_view text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

QString filter_text(const FileDialogSpec& request) {
    QStringList patterns;
    for (const std::string& p : request.patterns) patterns << QString::fromStdString(p);
    return QString::fromStdString(request.filter_name) + QStringLiteral(" (") + patterns.join(' ') +
           QStringLiteral(")");
}

}  // namespace

WindowServices::WindowServices(MainWindow& window) : QObject(&window), window_(window) {}

template <class Fn>
void WindowServices::on_gui_thread(Fn&& fn) {
    if (QThread::currentThread() == thread()) {
        fn();
    } else {
        QMetaObject::invokeMethod(this, std::forward<Fn>(fn), Qt::QueuedConnection);
    }
}

void WindowServices::check_menu_item(int id, bool checked) {
    on_gui_thread([this, id, checked] {
        if (QAction* a = window_.action(id)) a->setChecked(checked);
    });
}

void WindowServices::enable_menu_item(int id, bool enabled) {
    on_gui_thread([this, id, enabled] {
        if (QAction* a = window_.action(id)) a->setEnabled(enabled);
    });
}

void WindowServices::set_menu_label(int id, std::string_view label) {
    on_gui_thread([this, id, text = to_qstring(label)] {
        if (QAction* a = window_.action(id)) a->setText(text);
    });
}

void WindowServices::set_window_title(std::string_view title) {
    on_gui_thread([this, text = to_qstring(title)] { window_.setWindowTitle(text); });
}

void WindowServices::message_box(std::string_view text, std::string_view caption,
                                 MessageKind kind) {
    if (unattended_) {
        // Acknowledged at once, and written where a person or a log can read it.
        std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                     static_cast<int>(text.size()), text.data());
        return;
    }
    on_gui_thread([this, body = to_qstring(text), title = to_qstring(caption), kind] {
        if (unattended_) {
            std::fprintf(stderr, "%s: %s\n", title.toLocal8Bit().constData(),
                         body.toLocal8Bit().constData());
            return;
        }
        QMessageBox box(kind == MessageKind::Information ? QMessageBox::Information
                        : kind == MessageKind::Error     ? QMessageBox::Critical
                                                         : QMessageBox::Warning,
                        title, body, QMessageBox::Ok, &window_);
        // The box grows with the main window's scale, as the dialogs do.
        const int scale = window_.view()->scale();
        if (scale > 1) {
            QFont font = box.font();
            if (font.pointSizeF() > 0) {
                font.setPointSizeF(font.pointSizeF() * scale);
            } else {
                font.setPixelSize(font.pixelSize() * scale);
            }
            box.setFont(font);
        }
        box.exec();
    });
}

std::optional<std::string> WindowServices::take_answer(bool& had_answer) {
    had_answer = !answers_.empty();
    if (!had_answer) return std::nullopt;
    std::optional<std::string> answer = std::move(answers_.front());
    answers_.pop_front();
    return answer;
}

std::optional<std::string> WindowServices::open_file_dialog(const FileDialogSpec& request) {
    bool had_answer = false;
    if (auto answer = take_answer(had_answer); had_answer) return answer;
    if (unattended_) return std::nullopt;
    const QString path = QFileDialog::getOpenFileName(
        &window_, QString::fromStdString(request.title),
        QString::fromLocal8Bit(request.initial_path.c_str()), filter_text(request));
    if (path.isEmpty()) return std::nullopt;
    return path.toLocal8Bit().toStdString();
}

std::optional<std::string> WindowServices::save_file_dialog(const FileDialogSpec& request) {
    bool had_answer = false;
    if (auto answer = take_answer(had_answer); had_answer) return answer;
    if (unattended_) return std::nullopt;
    QFileDialog dialog(&window_, QString::fromStdString(request.title), QString(),
                       filter_text(request));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QString::fromStdString(request.default_extension));
    if (!request.prompt_overwrite) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front().toLocal8Bit().toStdString();
}

void WindowServices::request_repaint() {
    // Many pings may ask before the GUI thread gets round to it: one repaint serves them all.
    if (repaint_pending_.exchange(true)) return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            repaint_pending_ = false;
            window_.view()->update();
        },
        Qt::QueuedConnection);
}

void WindowServices::request_repaint(Rect area) {
    QMetaObject::invokeMethod(
        this, [this, area] { window_.view()->update_client(area); }, Qt::QueuedConnection);
}

}  // namespace kelvanor
