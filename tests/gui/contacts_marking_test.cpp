#include <gtest/gtest.h>

#include <QApplication>
#include <QInputDialog>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/application.h"
#include "contacts/contact_files.h"
#include "datafile/record_writer.h"
#include "gui_support.h"
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
