#include <gtest/gtest.h>

#include <QApplication>
#include <QInputDialog>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "app/application.h"
#include "contacts/contact_files.h"
#include "contacts/history_contact.h"
#include "datafile/record_writer.h"
#include "gui_support.h"
#include "ping/column_history.h"
#include "sim/survey_recording.h"

namespace kelvanor {
namespace {

using test::FastClock;
using test::wait_until;
using test::WorkingFolder;

std::string write_survey(const WorkingFolder& folder, int pings) {
    const std::string path = folder.file("line.vkd").toStdString();
    std::string error;
    std::optional<RecordWriter> writer = RecordWriter::create(path, error);
    SurveyRecording survey(SurveyRecordingConfig{});
    for (int i = 0; i < pings; ++i) {
        RecordStamp stamp;
        std::span<const uint8_t> reply = survey.next(stamp);
        writer->write_ping_record(stamp, reply);
    }
    return path;
}

// Answers the note dialog that is about to open: types `note` and accepts, or cancels.
void answer_note_dialog(const QString& note, bool accept) {
    QTimer::singleShot(0, [note, accept] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->textValue().startsWith("Contact "));
        if (accept) {
            dialog->setTextValue(note);
            dialog->accept();
        } else {
            dialog->reject();
        }
    });
}

// Marking over the played file: the note dialog's answer decides; an accepted mark lands in
// <file>.contacts with the column's ship position; a cancelled one leaves the list alone.
TEST(ContactsMarking, MarkAtThePointerWritesBesideThePlayedFile) {
    WorkingFolder folder;
    const std::string path = write_survey(folder, 400);
    FastClock clock;
    StartOptions options;
    options.clock = &clock;
    options.show_logo = false;
    options.watch_signals = false;
    options.play_path = path;
    Application app(options);
    app.start();
    AppState& state = app.state();
    ASSERT_TRUE(wait_until([&] { return state.datafile.playback_percent >= 90; }));
    state.run.hold = 1;
    app.program().command(0);

    struct Step {
        int x;
        int y;
        bool accept;
        const char* note;
        size_t contacts;
    } steps[] = {
        {700, 150, true, "rock, port", 1},     // port half
        {650, 400, false, "", 1},              // Esc: no contact
        {720, 380, true, "wreck <stbd>", 2},   // starboard half
        {900, 150, true, "off the image", 2},  // not over the waterfall: no dialog
    };
    for (const Step& s : steps) {
        state.panel.mouse_x = s.x;
        state.panel.mouse_y = s.y;
        if (s.x < 785) answer_note_dialog(s.note, s.accept);
        app.mark_contact_at_pointer();
        EXPECT_EQ(app.contacts().contacts().size(), s.contacts) << s.note;
    }
    const auto& contacts = app.contacts().contacts();
    ASSERT_EQ(contacts.size(), 2u);
    EXPECT_EQ(contacts[0].side, SonarSide::Port);
    EXPECT_EQ(contacts[1].side, SonarSide::Starboard);
    EXPECT_EQ(contacts[1].number, 2);
    EXPECT_EQ(contacts[1].note, "wreck <stbd>");
    for (const Contact& c : contacts) {
        ASSERT_TRUE(c.ping.antenna) << c.note;
        EXPECT_GT(c.slant_range_metres, 0.0);
        if (c.target) {
            EXPECT_NEAR(distance_metres(*c.ping.antenna, *c.target), *c.ground_range_metres, 0.05);
        } else {
            EXPECT_FALSE(c.no_position_reason.empty());
        }
    }
    const std::filesystem::path dir = contacts_folder_for_file(path);
    EXPECT_EQ(app.contacts().folder(), dir.string());
    std::ifstream csv(dir / "contacts.csv");
    std::stringstream text;
    text << csv.rdbuf();
    EXPECT_NE(text.str().find("\n1,\"rock, port\","), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("\n2,wreck <stbd>,"), std::string::npos) << text.str();
    for (const char* f : {"contacts.geojson", "contacts.kml", "contacts.gpx"}) {
        EXPECT_TRUE(std::filesystem::exists(dir / f)) << f;
    }
    app.request_close(CloseOrigin::Window);
    ASSERT_TRUE(wait_until([&] { return app.closed(); }));
}

}  // namespace
}  // namespace kelvanor

namespace kelvanor {
namespace {

// A synthetic survey with a truth file played to its end: each target still on screen is
// marked at its pixel (the column whose ping passes abeam of it, the row of its slant range)
// and the stored contact lies within 3 m of the truth.
TEST(ContactsMarking, MarkedTargetLiesWhereTheTruthPutsIt) {
    WorkingFolder folder;
    const std::string path = folder.file("truth.vkd").toStdString();
    const std::string truth = folder.file("truth.json").toStdString();
    const std::string command = std::string(KELVANOR_BIN_DIR) + "/vkd synth -o '" + path +
                                "' --pings 900 --speed 5 --truth '" + truth + "' >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(truth);
    std::stringstream text;
    text << in.rdbuf();
    // The targets: latitude, longitude, side and across-track distance, read plainly.
    struct Truth {
        GeoPoint point;
        SonarSide side;
        double across;
    };
    std::vector<Truth> targets;
    const std::regex entry(
        "\"latitude\": ([-0-9.]+),\\s*\"longitude\": ([-0-9.]+),\\s*\"side\": \"(port|starboard)\","
        "\\s*\"across_metres\": ([0-9.]+)");
    const std::string all = text.str();
    for (std::sregex_iterator it(all.begin(), all.end(), entry), end; it != end; ++it) {
        targets.push_back({{std::stod((*it)[1]), std::stod((*it)[2])},
                           (*it)[3] == "port" ? SonarSide::Port : SonarSide::Starboard,
                           std::stod((*it)[4])});
    }
    ASSERT_FALSE(targets.empty());

    FastClock clock;
    StartOptions options;
    options.clock = &clock;
    options.show_logo = false;
    options.watch_signals = false;
    options.play_path = path;
    Application app(options);
    app.start();
    AppState& state = app.state();
    ASSERT_TRUE(wait_until([&] { return state.datafile.playback_percent >= 100; }));
    state.run.hold = 1;
    app.program().command(0);

    int marked = 0;
    for (const Truth& t : targets) {
        // The column whose ping lies abeam of the target: the one nearest to it.
        int best_x = 0;
        double best = 1e9;
        int32_t range = 0;
        for (int x = 1; x <= kHistoryColumns; ++x) {
            const HistoryEntry e = read_history_record(
                state.ping.column_history,
                history_slot_for_column(state.ping.column_history.history_index, x));
            const ContactPing ping = contact_ping_from_history(e);
            if (!ping.antenna || !ping.heading_degrees) continue;
            const GeoPoint abeam =
                across_track_point(*ping.antenna, *ping.heading_degrees, t.side, t.across);
            const double d = distance_metres(abeam, t.point);
            if (d < best) {
                best = d;
                best_x = x;
                range = e.range_metres();
            }
        }
        if (best > 5.0) continue;  // scrolled off the screen
        const double slant = std::hypot(t.across, 8.0);
        const int y = t.side == SonarSide::Port
                          ? static_cast<int>(std::lround(251 - slant * 250 / range))
                          : static_cast<int>(std::lround(251 + slant * 250 / range));
        state.panel.mouse_x = best_x;
        state.panel.mouse_y = y;
        answer_note_dialog("target", true);
        app.mark_contact_at_pointer();
        ASSERT_FALSE(app.contacts().contacts().empty());
        const Contact& c = app.contacts().contacts().back();
        ASSERT_TRUE(c.target) << c.no_position_reason;
        const double off = distance_metres(*c.target, t.point);
        std::printf("target marked at column %d row %d: %.2f m from the truth\n", best_x, y, off);
        EXPECT_LE(off, 3.0) << "column " << best_x;
        ++marked;
    }
    EXPECT_GT(marked, 0);
    app.request_close(CloseOrigin::Window);
    ASSERT_TRUE(wait_until([&] { return app.closed(); }));
}

}  // namespace
}  // namespace kelvanor
