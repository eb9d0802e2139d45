#pragma once
// Marking a contact in the window: the column under the pointer gives the ping (through the
// column history), the row the side and slant range; a small dialog asks for the note, and
// the contact book rewrites the contact files. Contacts... lists them.

#include <string>

#include "contacts/contact_book.h"
#include "control/app_state.h"
#include "platform/geometry.h"

class QWidget;

namespace kelvanor {

// The folder for contacts marked now: beside the recording being made or the file being
// played (`data_file`), else the book's dated folder in the working folder, made once.
void choose_contacts_folder(ContactBook& book, const std::string& data_file);

// Marks a contact at client point `p` of the waterfall after asking for its note. False when
// `p` is off the image or the dialog was cancelled; the reason of a failed write in `error`.
bool mark_contact(QWidget* parent, AppState& state, ContactBook& book, Point p, std::string& error);

// The list of contacts: number, time, position, note, length, height; delete and copy
// position.
void show_contacts_dialog(QWidget* parent, ContactBook& book);

}  // namespace kelvanor
