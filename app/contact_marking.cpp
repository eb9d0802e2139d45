#include "app/contact_marking.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QImage>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <ctime>
#include <filesystem>
#include <mutex>

#include "contacts/atomic_file.h"
#include "contacts/contact_files.h"
#include "contacts/file_contact.h"
#include "contacts/history_contact.h"
#include "control/program.h"
#include "panel/panel_layout.h"
#include "settings/sensor_offsets_io.h"
#include "waterfall/column_history.h"
#include "waterfall/contact_markers.h"
#include "waterfall/image.h"
#include "waterfall/image_crop.h"

namespace kelvanor {

void choose_contacts_folder(ContactBook& book, const std::string& data_file) {
    if (!data_file.empty()) {
        book.set_folder(contacts_folder_for_file(data_file));
    } else if (book.folder().empty() || book.folder().ends_with(".contacts")) {
        book.set_folder(dated_contacts_folder(".", std::time(nullptr)));
    }
}

namespace {

std::string contact_data_file(Program& program) {
    const RunState& run = program.app().run;
    if (run.recording) return program.record_path();
    if (run.playback_file_open) return program.playback_path();
    return {};
}

// The markers of the contacts still in the book.
void keep_markers_of(AppState& state, const ContactBook& book,
                     std::optional<ContactMarker> added = std::nullopt) {
    std::vector<ContactMarker> markers;
    {
        std::lock_guard lock(state.target.overlay_mutex);
        markers = state.target.contact_markers;
    }
    if (added) markers.push_back(*added);
    std::erase_if(markers, [&](const ContactMarker& m) {
        return std::none_of(book.contacts().begin(), book.contacts().end(),
                            [&](const Contact& c) { return c.number == m.number; });
    });
    set_contact_markers(state, std::move(markers));
}

// The ping read back from the file it was played from or recorded to, through the file's
// track; nothing when the record cannot be found there.
std::optional<Contact> contact_from_file(const std::string& path, int64_t offset,
                                         const PointerTarget& at, const SensorOffsets& offsets) {
    std::string error;
    std::optional<PosixRecordFile> file = PosixRecordFile::open(path, error);
    if (!file) return std::nullopt;
    FileTarget target;
    target.offset = offset;
    target.side = at.side;
    target.slant_metres = at.slant_metres;
    const std::vector<FileContact> found = locate_in_file(*file, {&target, 1}, offsets);
    return found.front().contact;
}

}  // namespace

std::optional<Contact> contact_at_point(const AppState& state, const std::string& data_file,
                                        const SensorOffsets& offsets, Point p) {
    if (!waterfall_hit(p)) return std::nullopt;
    HistoryEntry entry;
    std::optional<ColumnSource> source;
    {
        const ImageLock held = lock_image(state.waterfall);
        const ColumnHistory& history = state.ping.column_history;
        const int32_t slot = history_slot_for_column(history.history_index, p.x);
        entry = read_history_record(history, slot);
        source = column_source(history, slot);
    }
    // A column no ping was drawn in (not yet reached, or cleared) has nothing to mark.
    if (!source) return std::nullopt;
    const PointerTarget at =
        pointer_target(state.settings.channel_code.load(), entry.range_metres(), p.y);
    if (source->record_offset >= 0 && !data_file.empty()) {
        if (std::optional<Contact> c =
                contact_from_file(data_file, source->record_offset, at, offsets)) {
            return c;
        }
    }
    ContactPing ping = contact_ping_from_history(entry);
    if (!ping.altitude_metres) {
        const float a = source->altitude_metres[static_cast<size_t>(at.side)];
        if (a > 0.0f) ping.altitude_metres = a;
    }
    return locate_contact(ping, at.side, at.slant_metres, offsets);
}

bool write_contact_picture(const AppState& state, Point p, const std::string& folder,
                           const std::string& name, std::string& error) {
    const std::vector<uint8_t> rgb =
        crop_image_rgb24(state.waterfall, p.y - kImageOrigin.y, p.x - kImageOrigin.x);
    const QImage image(rgb.data(), kContactPictureSize, kContactPictureSize,
                       kContactPictureSize * 3, QImage::Format_RGB888);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        error = "the picture could not be encoded";
        return false;
    }
    if (!ensure_folder(folder, error)) return false;
    return replace_file_atomically(
        (std::filesystem::path(folder) / name).string(),
        std::span(reinterpret_cast<const unsigned char*>(png.constData()),
                  static_cast<size_t>(png.size())),
        error);
}

bool mark_contact_at_pointer(QWidget* parent, Program& program, ContactBook& book) {
    AppState& state = program.app();
    const std::string data_file = contact_data_file(program);
    choose_contacts_folder(book, data_file);
    keep_markers_of(state, book);
    const Point p{state.panel.mouse_x.load(), state.panel.mouse_y.load()};
    std::optional<Contact> contact =
        contact_at_point(state, data_file, load_sensor_offsets(state.run.ini_path), p);
    if (!contact) return false;
    uint64_t column_serial = 0;
    {
        const ImageLock held = lock_image(state.waterfall);
        const ColumnHistory& history = state.ping.column_history;
        if (const auto source =
                column_source(history, history_slot_for_column(history.history_index, p.x))) {
            column_serial = source->serial;
        }
    }
    const int number = book.next_number();
    bool ok = false;
    const QString note = QInputDialog::getText(parent, "Mark Contact", "Note:", QLineEdit::Normal,
                                               QString("Contact %1").arg(number), &ok);
    if (!ok) return false;
    contact->note = note.toStdString();
    {
        // A measurement completed just before belongs to this contact.
        std::lock_guard lock(state.target.overlay_mutex);
        contact->length_metres = state.target.completed_length_metres;
        contact->height_metres = state.target.completed_height_metres;
        state.target.completed_length_metres.reset();
        state.target.completed_height_metres.reset();
    }
    std::string error;
    const std::string picture = contact_picture_name(number);
    if (write_contact_picture(state, p, book.folder(), picture, error)) {
        contact->picture = picture;
    } else {
        QMessageBox::warning(parent, "Mark Contact",
                             QString::fromStdString("The picture was not saved: " + error));
    }
    if (!book.add(std::move(*contact), error)) {
        QMessageBox::warning(parent, "Mark Contact", QString::fromStdString(error));
    }
    keep_markers_of(state, book, ContactMarker{number, column_serial, p.y});
    return true;
}

namespace {

QString number_text(const std::optional<double>& v, int decimals) {
    return v ? QString::number(*v, 'f', decimals) : QString();
}

void fill_table(QTableWidget& table, const ContactBook& book) {
    table.setRowCount(static_cast<int>(book.contacts().size()));
    int row = 0;
    for (const Contact& c : book.contacts()) {
        const QString position =
            c.target ? QString::number(c.target->latitude_degrees, 'f', 7) + ", " +
                           QString::number(c.target->longitude_degrees, 'f', 7)
                     : QString("none: ") + QString::fromStdString(c.no_position_reason);
        const QString cells[] = {QString::number(c.number),
                                 QString::fromStdString(contact_time_text(c.ping)),
                                 position,
                                 QString::fromStdString(c.note),
                                 number_text(c.length_metres, 2),
                                 number_text(c.height_metres, 2)};
        for (int col = 0; col < 6; ++col) table.setItem(row, col, new QTableWidgetItem(cells[col]));
        ++row;
    }
}

}  // namespace

void show_contacts_dialog(QWidget* parent, Program& program, ContactBook& book) {
    QDialog dialog(parent);
    dialog.setWindowTitle("Contacts");
    auto* layout = new QVBoxLayout(&dialog);
    auto* table = new QTableWidget(0, 6, &dialog);
    table->setHorizontalHeaderLabels({"No.", "Time", "Position", "Note", "Length", "Height"});
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setMinimumSize(640, 240);
    fill_table(*table, book);
    layout->addWidget(table);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    QPushButton* remove = buttons->addButton("&Delete", QDialogButtonBox::ActionRole);
    QPushButton* copy = buttons->addButton("&Copy Position", QDialogButtonBox::ActionRole);
    layout->addWidget(buttons);
    auto selected = [&]() -> const Contact* {
        const int row = table->currentRow();
        if (row < 0 || row >= static_cast<int>(book.contacts().size())) return nullptr;
        return &book.contacts()[static_cast<size_t>(row)];
    };
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(remove, &QPushButton::clicked, &dialog, [&] {
        const Contact* c = selected();
        if (!c) return;
        std::string error;
        if (!book.remove(c->number, error)) {
            QMessageBox::warning(&dialog, "Contacts", QString::fromStdString(error));
        }
        fill_table(*table, book);
        keep_markers_of(program.app(), book);
    });
    QObject::connect(copy, &QPushButton::clicked, &dialog, [&] {
        const Contact* c = selected();
        if (!c || !c->target) return;
        QApplication::clipboard()->setText(QString::number(c->target->latitude_degrees, 'f', 7) +
                                           ", " +
                                           QString::number(c->target->longitude_degrees, 'f', 7));
    });
    dialog.exec();
}

}  // namespace kelvanor
