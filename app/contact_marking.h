#pragma once
// Marking a contact in the window: the column under the pointer gives the ping, the row the
// side and slant range; a small dialog asks for the note, a picture of the waterfall around
// it is saved, the contact book rewrites the contact files, and a marker shows the contact on
// the waterfall while its column is on screen. Contacts... lists them.
//
// Over a played or recorded file the ping is read back from the file and placed through its
// track, exactly as `vkd locate` places it; otherwise (live pings not recorded) from what
// the column history kept of it.

#include <string>

#include "contacts/contact.h"
#include "contacts/contact_book.h"
#include "control/app_state.h"
#include "platform/geometry.h"

class QWidget;

namespace kelvanor {

class Program;

// The folder for contacts marked now: beside the recording being made or the file being
// played (`data_file`), else the book's dated folder in the working folder, made once.
void choose_contacts_folder(ContactBook& book, const std::string& data_file);

// The contact at client point `p` of the waterfall, before its note, number and picture:
// nothing when `p` is off the image or over a column no ping was drawn in. `data_file` is
// the file the pings come from, if any; `offsets` place the sonar relative to the GPS
// antenna.
std::optional<Contact> contact_at_point(const AppState& state, const std::string& data_file,
                                        const SensorOffsets& offsets, Point p);

// Writes the contact's picture (kContactPictureSize pixels square of the image around client
// point `p`, through the current palette) as a PNG into `folder` under `name`.
bool write_contact_picture(const AppState& state, Point p, const std::string& folder,
                           const std::string& name, std::string& error);

// Marks a contact at the pointer after asking for its note, the sonar placed by the offsets
// and layback of the settings file (settings/sensor_offsets_io.h). False when the pointer is off
// the image or the dialog was cancelled.
bool mark_contact_at_pointer(QWidget* parent, Program& program, ContactBook& book);

// The list of contacts: number, time, position, note, length, height; delete and copy
// position. Deleted contacts leave the waterfall too.
void show_contacts_dialog(QWidget* parent, Program& program, ContactBook& book);

}  // namespace kelvanor
