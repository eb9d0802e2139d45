#include "app/contact_marking.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <ctime>

#include "contacts/contact_files.h"
#include "contacts/history_contact.h"
#include "panel/panel_layout.h"
#include "ping/column_history.h"
#include "waterfall/image.h"

namespace kelvanor {

void choose_contacts_folder(ContactBook& book, const std::string& data_file) {
    if (!data_file.empty()) {
        book.set_folder(contacts_folder_for_file(data_file));
    } else if (book.folder().empty() || book.folder().ends_with(".contacts")) {
        book.set_folder(dated_contacts_folder(".", std::time(nullptr)));
    }
}

bool mark_contact(QWidget* parent, AppState& state, ContactBook& book, Point p,
                  std::string& error) {
    if (!waterfall_hit(p)) return false;
    HistoryEntry entry;
    {
        const ImageLock held = lock_image(state.waterfall);
        entry = read_history_record(
            state.ping.column_history,
            history_slot_for_column(state.ping.column_history.history_index, p.x));
    }
    const PointerTarget at = pointer_target(state.settings.channel_code, entry.range_metres(), p.y);
    Contact contact =
        locate_contact(contact_ping_from_history(entry), at.side, at.slant_metres, {});
    bool ok = false;
    const QString note = QInputDialog::getText(parent, "Mark Contact", "Note:", QLineEdit::Normal,
                                               QString("Contact %1").arg(book.next_number()), &ok);
    if (!ok) return false;
    contact.note = note.toStdString();
    if (!book.add(std::move(contact), error)) {
        QMessageBox::warning(parent, "Mark Contact", QString::fromStdString(error));
    }
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

void show_contacts_dialog(QWidget* parent, ContactBook& book) {
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
