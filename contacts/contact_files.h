#pragma once
// The contacts of a survey as files a GIS and a chart plotter read: contacts.csv (every
// contact), contacts.geojson and contacts.kml (points; a contact without a position has no
// geometry in GeoJSON and is left out of KML) and contacts.gpx (waypoints of the contacts
// with a position). All four are rewritten whole, atomically, at every change.

#include <ctime>
#include <span>
#include <string>

#include "contacts/contact.h"

namespace kelvanor {

std::string contacts_csv(std::span<const Contact> contacts);
std::string contacts_geojson(std::span<const Contact> contacts);
std::string contacts_kml(std::span<const Contact> contacts);
std::string contacts_gpx(std::span<const Contact> contacts);

// Writes the four files into `folder` (created when missing); false with the reason in
// `error` when one of them could not be written.
bool write_contact_files(const std::string& folder, std::span<const Contact> contacts,
                         std::string& error);

// The folder of a recording's or a played file's contacts: "<file>.contacts".
std::string contacts_folder_for_file(const std::string& data_file);
// The folder of contacts marked with no file: "contacts-YYYYMMDD-HHMMSS" in `parent`, from
// the local time `now`.
std::string dated_contacts_folder(const std::string& parent, std::time_t now);

// The picture's file name of contact `number`: "contact-001.png".
std::string contact_picture_name(int number);

}  // namespace kelvanor
