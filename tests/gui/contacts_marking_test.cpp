#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
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
#include "sim/survey_recording.h"
#include "waterfall/column_history.h"
#include "waterfall/image.h"
#include "waterfall/palette.h"
#include "waterfall/target_measurement.h"

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

// What a command prints on its standard output.
std::string run_output(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[4096];
        size_t n = 0;
        while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) out.append(chunk, n);
        pclose(pipe);
    }
    return out;
}

// The target's latitude and longitude that `vkd locate` prints for the contact's record, side
// and slant range (with `extra` options); nothing when it prints none.
std::optional<GeoPoint> vkd_located(const std::string& path, const Contact& c,
                                    const std::string& extra = {}) {
    char args[160];
    std::snprintf(args, sizeof args, " --ping %lld --side %s --range %.17g",
                  static_cast<long long>(c.ping.record.value_or(-1)), side_name(c.side),
                  c.slant_range_metres);
    const std::string out = run_output(std::string(KELVANOR_BIN_DIR) + "/vkd locate '" + path +
                                       "'" + args + extra + " 2>/dev/null");
    static const std::regex top_level(
        "^\\{\"number\":[0-9]+,\"note\":\"[^\"]*\",\"latitude\":([-0-9.]+),"
        "\"longitude\":([-0-9.]+),");
    std::smatch m;
    if (!std::regex_search(out, m, top_level)) return std::nullopt;
    return GeoPoint{std::stod(m[1]), std::stod(m[2])};
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
    {
        // The sonar towed 7.5 m behind the antenna and mounted 1.25 m to starboard of it.
        std::ofstream ini(folder.file("KELVANOR.INI").toStdString());
        ini << "[Sonar]\r\nLayback=7.5\r\nOffsetStarboard=1.25\r\n";
    }
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

    // Over a column no ping was drawn in (the screen cleared) there is nothing to mark: no
    // dialog opens.
    {
        const ImageLock held = lock_image(state.waterfall);
        const ColumnHistory& h = state.ping.column_history;
        state.ping.column_history
            .records[static_cast<size_t>(history_slot_for_column(h.history_index, 30))] =
            HistoryRecordBytes{};
    }
    state.panel.mouse_x = 30;
    state.panel.mouse_y = 150;
    app.mark_contact_at_pointer();
    EXPECT_TRUE(app.contacts().contacts().empty());

    // A length measured on screen just before the first mark goes with that contact alone.
    state.run.target_length_mode = 1;
    ASSERT_TRUE(target_right_click(state, {600, 150}));
    ASSERT_TRUE(target_right_click(state, {650, 190}));
    state.run.target_length_mode = 0;
    const std::optional<float> measured = state.target.completed_length_metres;
    ASSERT_TRUE(measured);

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
        {783, 4, true, "corner", 3},           // the picture reaches past two edges
    };
    std::vector<uint8_t> image_before(static_cast<size_t>(kImageWidth * kImageHeight));
    {
        const ImageLock held = lock_image(state.waterfall);
        copy_image(state.waterfall, held, image_before.data(), kImageWidth);
    }
    for (const Step& s : steps) {
        state.panel.mouse_x = s.x;
        state.panel.mouse_y = s.y;
        if (s.x < 785) answer_note_dialog(s.note, s.accept);
        app.mark_contact_at_pointer();
        EXPECT_EQ(app.contacts().contacts().size(), s.contacts) << s.note;
    }
    const auto& contacts = app.contacts().contacts();
    ASSERT_EQ(contacts.size(), 3u);
    EXPECT_EQ(contacts[0].side, SonarSide::Port);
    EXPECT_EQ(contacts[1].side, SonarSide::Starboard);
    EXPECT_EQ(contacts[1].number, 2);
    EXPECT_EQ(contacts[0].length_metres, std::optional<double>(*measured));
    EXPECT_FALSE(contacts[1].length_metres);
    EXPECT_EQ(contacts[1].note, "wreck <stbd>");
    for (const Contact& c : contacts) {
        ASSERT_TRUE(c.ping.antenna) << c.note;
        ASSERT_TRUE(c.ping.record) << "read back from the played file";
        EXPECT_GT(c.slant_range_metres, 0.0);
        ASSERT_TRUE(c.target) << c.no_position_reason;
        // Placed with the settings' offsets, as vkd locate places it with the same ones.
        const std::optional<GeoPoint> same =
            vkd_located(path, c, " --layback 7.5 --offset-starboard 1.25");
        ASSERT_TRUE(same) << c.note;
        EXPECT_NEAR(same->latitude_degrees, c.target->latitude_degrees, 1e-7) << c.note;
        EXPECT_NEAR(same->longitude_degrees, c.target->longitude_degrees, 1e-7) << c.note;
        const std::optional<GeoPoint> without = vkd_located(path, c);
        ASSERT_TRUE(without);
        EXPECT_NEAR(distance_metres(*without, *c.target), std::hypot(7.5, 1.25), 0.05) << c.note;
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

    // Each picture: the image around the marked pixel through the current palette, black
    // past the image's edges.
    const Point marked[] = {{700, 150}, {720, 380}, {783, 4}};
    for (size_t i = 0; i < contacts.size(); ++i) {
        const Contact& c = contacts[i];
        EXPECT_EQ(c.picture, contact_picture_name(c.number));
        const QImage picture(QString::fromStdString((dir / c.picture).string()));
        ASSERT_EQ(picture.size(), QSize(128, 128)) << c.picture;
        int mismatched = 0;
        const ImageLock held = lock_image(state.waterfall);
        for (int y = 0; y < 128; ++y) {
            for (int x = 0; x < 128; ++x) {
                const int row = marked[i].y - 1 - 64 + y;
                const int column = marked[i].x - 1 - 64 + x;
                Rgb want{0, 0, 0};
                if (row >= 0 && row < kImageHeight && column >= 0 && column < kImageWidth) {
                    want = state.waterfall.palette[image_pixel(state.waterfall, held, row, column)];
                }
                const QRgb got = picture.pixel(x, y);
                if (qRed(got) != want.red || qGreen(got) != want.green || qBlue(got) != want.blue) {
                    ++mismatched;
                }
            }
        }
        EXPECT_EQ(mismatched, 0) << c.picture;
    }

    // The markers: drawn on the window's surface over each contact's pixel, the image itself
    // untouched.
    show_image(state.waterfall);
    ASSERT_TRUE(app.program().refresh_image());
    const Rgb light = make_palette(state.settings.Colors)[kOverlayLight];
    for (const Point& p : marked) {
        int lit = 0;
        for (int y = p.y - 6; y <= p.y + 6; ++y) {
            for (int x = std::max(1, p.x - 6); x <= std::min(784, p.x + 6); ++x) {
                if (y >= 1 && app.surface().pixel({x, y}) == light) ++lit;
            }
        }
        EXPECT_GE(lit, 6) << "marker at " << p.x << "," << p.y;
    }
    std::vector<uint8_t> image_after(image_before.size());
    {
        const ImageLock held = lock_image(state.waterfall);
        copy_image(state.waterfall, held, image_after.data(), kImageWidth);
    }
    EXPECT_EQ(image_before, image_after) << "markers are never drawn into the image";
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
    // Only the last few records of a pass show 100 %, and the next one starts the file again:
    // the event loop is turned one record at a time so that the look falls between them.
    QDeadlineTimer played(30000);
    while (state.datafile.playback_percent < 100 && !played.hasExpired())
        QCoreApplication::processEvents();
    ASSERT_GE(state.datafile.playback_percent, 100);
    state.run.hold = 1;
    app.program().command(0);

    const std::string dump = run_output(std::string(KELVANOR_BIN_DIR) + "/vkd dump '" + path + "'");
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

        // vkd locate at the contact's record, side and slant range gives the same place.
        ASSERT_TRUE(c.ping.record);
        const std::optional<GeoPoint> located = vkd_located(path, c);
        ASSERT_TRUE(located);
        EXPECT_NEAR(located->latitude_degrees, c.target->latitude_degrees, 1e-7);
        EXPECT_NEAR(located->longitude_degrees, c.target->longitude_degrees, 1e-7);

        // The contact's record index is vkd dump's: that record starts where the column's
        // ping was read from.
        std::optional<ColumnSource> source;
        {
            const ImageLock held = lock_image(state.waterfall);
            source = column_source(
                state.ping.column_history,
                history_slot_for_column(state.ping.column_history.history_index, best_x));
        }
        ASSERT_TRUE(source);
        std::smatch m;
        const std::regex record_line("\\{\"index\":" + std::to_string(*c.ping.record) +
                                     ",\"offset\":([0-9]+),");
        ASSERT_TRUE(std::regex_search(dump, m, record_line));
        EXPECT_EQ(std::stoll(m[1]), source->record_offset);
        ++marked;
    }
    EXPECT_GT(marked, 0);
    app.request_close(CloseOrigin::Window);
    ASSERT_TRUE(wait_until([&] { return app.closed(); }));
}

}  // namespace
}  // namespace kelvanor
