#include "contacts/contact_files.h"

#include <cstdio>
#include <filesystem>

#include "contacts/atomic_file.h"
#include "contacts/text_escape.h"

namespace kelvanor {

namespace {

std::string optional_number(const std::optional<double>& v, int decimals) {
    return v ? fixed_text(*v, decimals) : std::string();
}

// "latitude,longitude" with 8 decimals, or two empty fields.
std::string point_text(const std::optional<GeoPoint>& p) {
    if (!p) return ",";
    return fixed_text(p->latitude_degrees, 8) + ',' + fixed_text(p->longitude_degrees, 8);
}

std::string contact_name(const Contact& c) {
    return c.note.empty() ? "Contact " + std::to_string(c.number) : c.note;
}

// One line describing the contact for the text of a placemark or waypoint.
std::string description(const Contact& c) {
    std::string d = "Contact " + std::to_string(c.number);
    const std::string time = contact_time_text(c.ping);
    if (!time.empty()) d += ", " + time;
    d += std::string(", ") + side_name(c.side) + " " + fixed_text(c.slant_range_metres, 1) +
         " m slant";
    if (c.ground_range_metres) d += ", " + fixed_text(*c.ground_range_metres, 1) + " m ground";
    if (c.length_metres) d += ", length " + fixed_text(*c.length_metres, 2) + " m";
    if (c.height_metres) d += ", height " + fixed_text(*c.height_metres, 2) + " m";
    return d;
}

}  // namespace

std::string contacts_csv(std::span<const Contact> contacts) {
    std::string out =
        "number,note,time,latitude,longitude,ship_latitude,ship_longitude,side,"
        "slant_range_m,ground_range_m,altitude_m,heading_deg,record,length_m,height_m,"
        "picture\n";
    for (const Contact& c : contacts) {
        out += std::to_string(c.number) + ',' + csv_field(c.note) + ',' +
               contact_time_text(c.ping) + ',' + point_text(c.target) + ',' +
               point_text(c.ping.antenna) + ',' + side_name(c.side) + ',' +
               fixed_text(c.slant_range_metres, 2) + ',' +
               optional_number(c.ground_range_metres, 2) + ',' +
               optional_number(c.ping.altitude_metres, 2) + ',' +
               optional_number(c.ping.heading_degrees, 1) + ',' +
               (c.ping.record ? std::to_string(*c.ping.record) : std::string()) + ',' +
               optional_number(c.length_metres, 2) + ',' + optional_number(c.height_metres, 2) +
               ',' + csv_field(c.picture) + '\n';
    }
    return out;
}

std::string contacts_geojson(std::span<const Contact> contacts) {
    std::string out = "{\"type\":\"FeatureCollection\",\"features\":[";
    bool first = true;
    for (const Contact& c : contacts) {
        if (!first) out += ',';
        first = false;
        out += "\n{\"type\":\"Feature\",\"geometry\":";
        if (c.target) {
            out += "{\"type\":\"Point\",\"coordinates\":[" +
                   fixed_text(c.target->longitude_degrees, 8) + ',' +
                   fixed_text(c.target->latitude_degrees, 8) + "]}";
        } else {
            out += "null";
        }
        out += ",\"properties\":" + contact_json(c) + '}';
    }
    return out + "\n]}\n";
}

std::string contacts_kml(std::span<const Contact> contacts) {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n<name>Contacts</name>\n";
    for (const Contact& c : contacts) {
        if (!c.target) continue;
        out += "<Placemark><name>" + xml_escaped(contact_name(c)) + "</name><description>" +
               xml_escaped(description(c)) + "</description><Point><coordinates>" +
               fixed_text(c.target->longitude_degrees, 8) + ',' +
               fixed_text(c.target->latitude_degrees, 8) + "</coordinates></Point></Placemark>\n";
    }
    return out + "</Document>\n</kml>\n";
}

std::string contacts_gpx(std::span<const Contact> contacts) {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"KELVANOR\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
    for (const Contact& c : contacts) {
        if (!c.target) continue;
        out += "<wpt lat=\"" + fixed_text(c.target->latitude_degrees, 8) + "\" lon=\"" +
               fixed_text(c.target->longitude_degrees, 8) + "\"><name>" +
               xml_escaped(contact_name(c)) + "</name><desc>" + xml_escaped(description(c)) +
               "</desc><sym>Flag</sym></wpt>\n";
    }
    return out + "</gpx>\n";
}

bool write_contact_files(const std::string& folder, std::span<const Contact> contacts,
                         std::string& error) {
    if (!ensure_folder(folder, error)) return false;
    const std::filesystem::path dir(folder);
    return replace_file_atomically((dir / "contacts.csv").string(), contacts_csv(contacts),
                                   error) &&
           replace_file_atomically((dir / "contacts.geojson").string(), contacts_geojson(contacts),
                                   error) &&
           replace_file_atomically((dir / "contacts.kml").string(), contacts_kml(contacts),
                                   error) &&
           replace_file_atomically((dir / "contacts.gpx").string(), contacts_gpx(contacts), error);
}

std::string contacts_folder_for_file(const std::string& data_file) {
    return data_file + ".contacts";
}

std::string dated_contacts_folder(const std::string& parent, std::time_t now) {
    std::tm local{};
    localtime_r(&now, &local);
    char name[80];
    std::snprintf(name, sizeof name, "contacts-%04d%02d%02d-%02d%02d%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return (std::filesystem::path(parent) / name).string();
}

std::string contact_picture_name(int number) {
    char name[32];
    std::snprintf(name, sizeof name, "contact-%03d.png", number);
    return name;
}

}  // namespace kelvanor
