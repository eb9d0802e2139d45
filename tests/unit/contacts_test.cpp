#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "contacts/atomic_file.h"
#include "contacts/contact.h"
#include "contacts/contact_book.h"
#include "contacts/contact_files.h"
#include "contacts/history_contact.h"
#include "contacts/text_escape.h"
#include "panel/readouts.h"

namespace kelvanor {
namespace {

ContactPing full_ping(double heading, double altitude) {
    ContactPing p;
    p.record = 42;
    p.time_seconds = 1715679000.4;  // 2024-05-14 09:30:00.40
    p.antenna = GeoPoint{-37.8717, 144.9769};
    p.heading_degrees = heading;
    p.altitude_metres = altitude;
    return p;
}

// The target lies at the ground range across the track from the sensor: port to the left of
// the heading, starboard to the right, the sensor moved by the offsets first.
TEST(Contacts, TargetLiesAcrossTheTrackAtTheGroundRange) {
    struct Case {
        double heading;
        SonarSide side;
        double slant;
        double altitude;
        SensorOffsets offsets;
        double bearing_from_sensor;
    } cases[] = {
        {0.0, SonarSide::Port, 50.0, 30.0, {}, 270.0},
        {0.0, SonarSide::Starboard, 50.0, 30.0, {}, 90.0},
        {90.0, SonarSide::Port, 25.0, 7.0, {}, 0.0},
        {90.0, SonarSide::Starboard, 25.0, 7.0, {}, 180.0},
        {225.0, SonarSide::Port, 100.0, 10.0, {2.0, -1.0, 30.0}, 135.0},
        {330.0, SonarSide::Starboard, 12.5, 12.0, {0.0, 3.0, 5.0}, 60.0},
    };
    for (const Case& c : cases) {
        const ContactPing ping = full_ping(c.heading, c.altitude);
        const Contact contact = locate_contact(ping, c.side, c.slant, c.offsets);
        ASSERT_TRUE(contact.target) << c.heading;
        const double ground = std::sqrt(c.slant * c.slant - c.altitude * c.altitude);
        ASSERT_TRUE(contact.ground_range_metres);
        EXPECT_NEAR(*contact.ground_range_metres, ground, 1e-9);
        const GeoPoint sensor = sensor_position(*ping.antenna, c.heading, c.offsets);
        EXPECT_NEAR(distance_metres(sensor, *contact.target), ground, 0.01) << c.heading;
        double bearing = bearing_degrees(sensor, *contact.target) - c.bearing_from_sensor;
        bearing = std::remainder(bearing, 360.0);
        EXPECT_NEAR(bearing, 0.0, 0.05) << c.heading;
        EXPECT_TRUE(contact.no_position_reason.empty());
    }
}

// Whatever is missing leaves the contact without a position, and says why; the ship's
// position stays when there is one.
TEST(Contacts, MissingFactsGiveNoPosition) {
    struct Case {
        const char* what;
        void (*spoil)(ContactPing&);
        double slant;
        const char* reason;
    } cases[] = {
        {"no fix", [](ContactPing& p) { p.antenna.reset(); }, 40.0, "no position at this ping"},
        {"no heading", [](ContactPing& p) { p.heading_degrees.reset(); }, 40.0,
         "no heading at this ping"},
        {"no altitude", [](ContactPing& p) { p.altitude_metres.reset(); }, 40.0,
         "no altitude at this ping"},
        {"water column", [](ContactPing&) {}, 9.0, "inside the water column"},
    };
    for (const Case& c : cases) {
        ContactPing ping = full_ping(10.0, 10.0);
        c.spoil(ping);
        const Contact contact = locate_contact(ping, SonarSide::Port, c.slant, {});
        EXPECT_FALSE(contact.target) << c.what;
        EXPECT_EQ(contact.no_position_reason, c.reason) << c.what;
        const std::string json = contact_json(contact);
        EXPECT_NE(json.find("\"latitude\":null,\"longitude\":null,\"has_position\":false"),
                  std::string::npos)
            << json;
        EXPECT_NE(json.find(std::string("\"no_position\":\"") + c.reason), std::string::npos);
        EXPECT_EQ(json.find("\"ship\":{") != std::string::npos, ping.antenna.has_value());
    }
}

TEST(Contacts, JsonHoldsEveryFact) {
    Contact c = locate_contact(full_ping(90.0, 10.0), SonarSide::Starboard, 26.0, {});
    c.number = 3;
    c.note = "wreck \"A\"\n";
    c.length_metres = 6.04;
    c.height_metres = 2.0;
    c.picture = contact_picture_name(3);
    const std::string json = contact_json(c);
    const char* expected[] = {
        "{\"number\":3,\"note\":\"wreck \\\"A\\\"\\n\",\"latitude\":-37.87",
        "\"has_position\":true",
        "\"ship\":{\"latitude\":-37.87170000,\"longitude\":144.97690000}",
        "\"time\":\"2024-05-14T09:30:00.40\"",
        "\"record\":42",
        "\"side\":\"stbd\"",
        "\"slant_range_metres\":26.00",
        "\"ground_range_metres\":24.00",
        "\"altitude_metres\":10.00",
        "\"heading_degrees\":90.0",
        "\"length_metres\":6.04",
        "\"height_metres\":2.00",
        "\"picture\":\"contact-003.png\"}",
    };
    for (const char* part : expected) EXPECT_NE(json.find(part), std::string::npos) << part;
    EXPECT_EQ(json.find('\n'), std::string::npos);
}

TEST(Contacts, TextIsEscapedForEachFormat) {
    struct Case {
        std::string text;
        std::string json;
        std::string xml;
        std::string csv;
    } cases[] = {
        {"plain", "plain", "plain", "plain"},
        {"a,b", "a,b", "a,b", "\"a,b\""},
        {"say \"hi\"", "say \\\"hi\\\"", "say &quot;hi&quot;", "\"say \"\"hi\"\"\""},
        {"<x&y>'", "<x&y>'", "&lt;x&amp;y&gt;&apos;", "<x&y>'"},
        {"line\nbreak\\", "line\\nbreak\\\\", "line\nbreak\\", "\"line\nbreak\\\""},
        {std::string("bell\x07"), "bell\\u0007", "bell", std::string("bell\x07")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(json_escaped(c.text), c.json) << c.text;
        EXPECT_EQ(xml_escaped(c.text), c.xml) << c.text;
        EXPECT_EQ(csv_field(c.text), c.csv) << c.text;
    }
}

std::string read_all(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class ContactFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("contacts_test_" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::filesystem::path folder_;
};

TEST_F(ContactFiles, FourFilesWithOneRowPerContact) {
    std::vector<Contact> contacts;
    for (int i = 1; i <= 3; ++i) {
        ContactPing ping = full_ping(30.0 * i, 8.0);
        if (i == 2) ping.antenna.reset();  // no position: in the CSV and GeoJSON only
        Contact c = locate_contact(ping, SonarSide::Port, 20.0 + i, {});
        c.number = i;
        c.note = "Contact " + std::to_string(i);
        contacts.push_back(c);
    }
    std::string error;
    ASSERT_TRUE(write_contact_files((folder_ / "a.vkd.contacts").string(), contacts, error))
        << error;
    const auto dir = folder_ / "a.vkd.contacts";
    const std::string csv = read_all(dir / "contacts.csv");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 4);
    EXPECT_NE(csv.find("\n2,Contact 2,2024-05-14T09:30:00.40,,,,,port,22.00,"), std::string::npos)
        << csv;
    const std::string lat = fixed_text(contacts[0].target->latitude_degrees, 8);
    const std::string lon = fixed_text(contacts[0].target->longitude_degrees, 8);
    EXPECT_NE(csv.find(lat + ',' + lon), std::string::npos);
    EXPECT_NE(read_all(dir / "contacts.geojson").find("[" + lon + ',' + lat + "]"),
              std::string::npos);
    EXPECT_NE(read_all(dir / "contacts.geojson").find("\"geometry\":null"), std::string::npos);
    EXPECT_NE(read_all(dir / "contacts.kml").find(lon + ',' + lat), std::string::npos);
    const std::string gpx = read_all(dir / "contacts.gpx");
    EXPECT_NE(gpx.find("<wpt lat=\"" + lat + "\" lon=\"" + lon + "\">"), std::string::npos);
    EXPECT_EQ(gpx.find("Contact 2"), std::string::npos);
    // Nothing but the four files: no temporary file is left behind.
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) ++files;
    EXPECT_EQ(files, 4);
}

TEST_F(ContactFiles, ReplacingKeepsTheOldFileWhenTheNewCannotBeWritten) {
    std::string error;
    ASSERT_TRUE(ensure_folder(folder_.string(), error)) << error;
    const std::string path = (folder_ / "x.csv").string();
    ASSERT_TRUE(replace_file_atomically(path, std::string_view("one\n"), error));
    ASSERT_TRUE(replace_file_atomically(path, std::string_view("two\n"), error));
    EXPECT_EQ(read_all(path), "two\n");
    EXPECT_FALSE(replace_file_atomically((folder_ / "missing" / "x.csv").string(),
                                         std::string_view("three\n"), error));
    EXPECT_NE(error.find("missing"), std::string::npos);
    EXPECT_EQ(read_all(path), "two\n");
}

TEST(ContactFolders, NamedAfterTheFileOrTheTime) {
    EXPECT_EQ(contacts_folder_for_file("/data/survey.vkd"), "/data/survey.vkd.contacts");
    std::tm t{};
    t.tm_year = 124;
    t.tm_mon = 4;
    t.tm_mday = 14;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 7;
    t.tm_isdst = -1;
    EXPECT_EQ(dated_contacts_folder("out", std::mktime(&t)), "out/contacts-20240514-090507");
    EXPECT_EQ(contact_picture_name(7), "contact-007.png");
    EXPECT_EQ(contact_time_text(std::nullopt), "");
}

}  // namespace
}  // namespace kelvanor

namespace kelvanor {
namespace {

// A waterfall column's record gives the antenna's position, the heading and the bottom
// value's altitude; a text that is no position gives none.
TEST(ContactsFromHistory, ColumnRecordGivesWhatItHolds) {
    struct Case {
        const char* position;
        uint8_t bottom_low;
        uint8_t bottom_high;
        std::optional<GeoPoint> antenna;
        std::optional<double> altitude;
    } cases[] = {
        {" 54.21.000 N010.07.000 E", 0x52, 6, GeoPoint{54.35, 10.116666667}, 8.5},  // 850 cm
        {" 37.52.304 S144.58.617 E", 0, 0, GeoPoint{-37.871733333, 144.97695}, std::nullopt},
        {"                        ", 0x05, 0, std::nullopt, 0.05},
        {" 54.61.000 N010.07.000 E", 0x80 | 0x05, 0, std::nullopt, 0.05},  // top bit not counted
    };
    for (const Case& c : cases) {
        HistoryEntry entry;
        std::copy_n(c.position, kHistoryPositionSize, entry.position_text.begin());
        entry.reply_header[8] = c.bottom_low;
        entry.reply_header[9] = c.bottom_high;
        entry.heading_degrees = 123.5f;
        const ContactPing ping = contact_ping_from_history(entry);
        ASSERT_EQ(ping.antenna.has_value(), c.antenna.has_value()) << c.position;
        if (c.antenna) {
            EXPECT_NEAR(ping.antenna->latitude_degrees, c.antenna->latitude_degrees, 1e-8);
            EXPECT_NEAR(ping.antenna->longitude_degrees, c.antenna->longitude_degrees, 1e-8);
        }
        ASSERT_EQ(ping.altitude_metres.has_value(), c.altitude.has_value()) << c.position;
        if (c.altitude) {
            EXPECT_NEAR(*ping.altitude_metres, *c.altitude, 1e-9);
        }
        EXPECT_EQ(ping.heading_degrees, 123.5);
        EXPECT_FALSE(ping.record);
        EXPECT_FALSE(ping.time_seconds);
    }
}

}  // namespace
}  // namespace kelvanor

namespace kelvanor {
namespace {

// The row under the pointer gives the side the image shows there and the slant range the
// cursor read-out prints for it.
TEST(ContactsFromHistory, RowGivesSideAndTheReadOutsRange) {
    struct Case {
        int32_t channel;
        int32_t y;
        SonarSide side;
    } cases[] = {
        {3, 1, SonarSide::Port},        {3, 100, SonarSide::Port},
        {3, 251, SonarSide::Port},      {3, 252, SonarSide::Starboard},
        {3, 500, SonarSide::Starboard}, {1, 2, SonarSide::Starboard},
        {1, 377, SonarSide::Starboard}, {2, 499, SonarSide::Port},
        {2, 12, SonarSide::Port},
    };
    for (const int32_t range : {15, 60, 120}) {
        for (const Case& c : cases) {
            const PointerTarget t = pointer_target(static_cast<ChannelCode>(c.channel), range, c.y);
            EXPECT_EQ(t.side, c.side) << c.channel << " " << c.y;
            const std::string shown = cursor_range_text(
                LengthUnit::Metres, static_cast<ChannelCode>(c.channel), range, c.y);
            EXPECT_NEAR(t.slant_metres, std::stod(shown), 0.006) << shown;
        }
    }
}

}  // namespace
}  // namespace kelvanor

namespace kelvanor {
namespace {

// Each contact added or deleted rewrites the files with the whole list; numbers are never
// reused while the list lasts; a new folder starts a new list.
TEST_F(ContactFiles, BookRewritesTheFilesAtEveryChange) {
    ContactBook book((folder_ / "b.contacts").string());
    std::string error;
    auto csv_rows = [&] {
        const std::string csv = read_all(folder_ / "b.contacts" / "contacts.csv");
        return std::count(csv.begin(), csv.end(), '\n') - 1;
    };
    ContactPing ping;
    ping.time_text = "14/05/2024 09:30:00";
    const Contact c = locate_contact(ping, SonarSide::Port, 10.0, {});
    struct Step {
        bool add;
        int remove;
        bool ok;
        std::vector<int> numbers;
    } steps[] = {
        {true, 0, true, {1}},     {true, 0, true, {1, 2}},    {true, 0, true, {1, 2, 3}},
        {false, 2, true, {1, 3}}, {false, 2, false, {1, 3}},  {true, 0, true, {1, 3, 4}},
        {false, 4, true, {1, 3}}, {true, 0, true, {1, 3, 4}},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(s.add ? book.add(c, error) : book.remove(s.remove, error), s.ok);
        std::vector<int> numbers;
        for (const Contact& k : book.contacts()) numbers.push_back(k.number);
        EXPECT_EQ(numbers, s.numbers);
        EXPECT_EQ(csv_rows(), static_cast<long>(s.numbers.size()));
    }
    EXPECT_NE(read_all(folder_ / "b.contacts" / "contacts.csv").find(",14/05/2024 09:30:00,"),
              std::string::npos);
    book.set_folder((folder_ / "c.contacts").string());
    EXPECT_TRUE(book.contacts().empty());
    EXPECT_EQ(book.next_number(), 1);
}

}  // namespace
}  // namespace kelvanor
