#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "control/app_state.h"
#include "datafile/playback.h"
#include "datafile/record_writer.h"
#include "datafile_test_support.h"
#include "ping/echo_conversion.h"
#include "test_support.h"

namespace kelvanor {
namespace {

using test::append;
using test::encode;
using test::g_reply;
using test::sample_stamp;

// A record whose reply carries `tag` in its bottom-value byte, to tell records apart.
std::vector<uint8_t> tagged(uint8_t tag, int previous = 640) {
    RecordStamp stamp = sample_stamp();
    stamp.previous_record_length = previous;
    auto reply = g_reply();
    reply[8] = tag;
    return encode(stamp, reply);
}

struct Player {
    AppState app;
    RecordBuffer buffer{};
    std::vector<int> tags;  // reply byte 8 of every processed ping
    int resets = 0;
    std::vector<std::vector<uint8_t>> copies;
    PlaybackHooks hooks;

    Player() {
        hooks.process_ping = [this](const PlaybackContext& a) {
            tags.push_back(a.head.head_reply[8]);
        };
        hooks.reset_ping_tracking = [this](const PlaybackContext&) { ++resets; };
        hooks.copy_record = [this](std::span<const uint8_t> r) {
            copies.emplace_back(r.begin(), r.end());
        };
    }
};

TEST(DatafilePlayback, PlaysEveryRecordThenWrapsAndMarksTheRestart) {
    std::vector<uint8_t> file;
    append(file, tagged(1, 0));
    append(file, tagged(2));
    append(file, tagged(3));
    MemoryRecordSource source(file);
    Player p;
    ASSERT_TRUE(start_playback(p.app, source));
    EXPECT_EQ(p.app.run.playback_file_open, 1);

    EXPECT_EQ(playback_step(p.app, source, p.buffer, p.hooks), PlaybackStep::Played);
    EXPECT_EQ(p.app.datafile.playback_restarted, 1);  // first record after opening
    EXPECT_EQ(p.app.datafile.playback_percent, 33);
    EXPECT_EQ(playback_step(p.app, source, p.buffer, p.hooks), PlaybackStep::Played);
    EXPECT_EQ(p.app.datafile.playback_restarted, 0);
    EXPECT_EQ(playback_step(p.app, source, p.buffer, p.hooks), PlaybackStep::Played);
    EXPECT_EQ(p.app.datafile.playback_percent, 100);
    EXPECT_EQ(playback_step(p.app, source, p.buffer, p.hooks), PlaybackStep::Wrapped);
    EXPECT_EQ(p.app.datafile.playback_offset, 0);
    EXPECT_EQ(p.app.datafile.playback_restart, 1);
    EXPECT_EQ(p.resets, 1);
    EXPECT_EQ(playback_step(p.app, source, p.buffer, p.hooks), PlaybackStep::Played);
    EXPECT_EQ(p.app.datafile.playback_restarted, 1);
    EXPECT_EQ(p.tags, (std::vector<int>{1, 2, 3, 1}));
    ASSERT_EQ(p.copies.size(), 4u);
    EXPECT_EQ(p.copies[1], tagged(2));
}

TEST(DatafilePlayback, RefusesAFileWithoutTheMagic) {
    std::vector<uint8_t> file = tagged(1);
    file[0] = 'v';
    MemoryRecordSource source(file);
    AppState app;
    EXPECT_FALSE(start_playback(app, source));
    EXPECT_EQ(app.run.playback_file_open, 0);
    std::vector<uint8_t> tiny = {'V', 'K'};
    MemoryRecordSource short_source(tiny);
    EXPECT_FALSE(start_playback(app, short_source));
}

TEST(DatafilePlayback, RefusedRecordIsSkippedAtTheNextMagicNotTakenAsTheEnd) {
    std::vector<uint8_t> file;
    append(file, tagged(1, 0));
    auto bad = tagged(2);
    bad[4] = 0x40;  // record length 16384: beyond the limit
    append(file, bad);
    append(file, tagged(3));
    MemoryRecordSource source(file);
    Player p;
    ASSERT_TRUE(start_playback(p.app, source));
    std::vector<PlaybackStep> steps;
    for (int i = 0; i < 4; ++i) steps.push_back(playback_step(p.app, source, p.buffer, p.hooks));
    EXPECT_EQ(steps, (std::vector<PlaybackStep>{PlaybackStep::Played, PlaybackStep::Skipped,
                                                PlaybackStep::Played, PlaybackStep::Wrapped}));
    EXPECT_EQ(p.tags, (std::vector<int>{1, 3}));
    EXPECT_EQ(p.app.datafile.records_skipped, 1);
}

TEST(DatafilePlayback, TruncatedLastRecordEndsThePassWithoutChangingState) {
    std::vector<uint8_t> file;
    append(file, tagged(1, 0));
    auto last = tagged(2);
    last[20] = '2';  // another time, so a restore would show
    append(file, last);
    file.resize(file.size() - 1);
    MemoryRecordSource source(file);
    Player p;
    ASSERT_TRUE(start_playback(p.app, source));
    EXPECT_EQ(playback_step(p.app, source, p.buffer, p.hooks), PlaybackStep::Played);
    EXPECT_EQ(playback_step(p.app, source, p.buffer, p.hooks), PlaybackStep::Wrapped);
    EXPECT_STREQ(p.app.head.time_text.data(), "09:30:07");
    EXPECT_EQ(p.tags, (std::vector<int>{1}));
    EXPECT_EQ(p.copies.size(), 1u);  // a copy holds whole records only
}

TEST(DatafilePlayback, APassWithoutAPingRestsUntilTheFileChanges) {
    test::TempDir dir;
    const std::string path = dir.file("short.vkd");
    test::write_text(path, "VKD and nothing more");
    std::string error;
    auto file = PosixRecordFile::open(path, error);
    ASSERT_TRUE(file) << error;
    Player p;
    ASSERT_TRUE(start_playback(p.app, *file));
    EXPECT_EQ(playback_step(p.app, *file, p.buffer, p.hooks), PlaybackStep::Wrapped);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(playback_step(p.app, *file, p.buffer, p.hooks), PlaybackStep::Stalled);
    }
    // The file grows by a whole record: playback takes it up again.
    {
        std::string error2;
        auto writer = RecordWriter::create(path, error2);
        ASSERT_TRUE(writer);
        RecordStamp stamp = sample_stamp();
        auto reply = g_reply();
        reply[8] = 9;
        ASSERT_TRUE(writer->write_ping_record(stamp, reply));
    }
    EXPECT_EQ(playback_step(p.app, *file, p.buffer, p.hooks), PlaybackStep::Played);
    EXPECT_EQ(p.tags, (std::vector<int>{9}));
}

TEST(DatafilePlayback, FileOfRefusedRecordsStallsAfterOnePass) {
    std::vector<uint8_t> file;
    for (int i = 0; i < 3; ++i) {
        auto r = tagged(static_cast<uint8_t>(i));
        r[4] = 0;
        r[5] = 50;  // record length below the header
        append(file, r);
    }
    MemoryRecordSource source(file);
    Player p;
    ASSERT_TRUE(start_playback(p.app, source));
    int steps = 0;
    while (playback_step(p.app, source, p.buffer, p.hooks) != PlaybackStep::Stalled) {
        ASSERT_LT(++steps, 100);
    }
    EXPECT_TRUE(p.tags.empty());
}

// The format allows a record with no reply at all, or with fewer bytes than a reply header:
// such a record is read, and ping processing refuses its reply as any bad one, without the
// bytes of the reply played before it showing through.
TEST(DatafilePlayback, RecordsWithShortRepliesAreReadAndTheirRepliesRefused) {
    struct Case {
        uint16_t record_length;
        uint16_t reply_length;
    };
    for (const Case c : {Case{102, 0}, Case{128, 1}, Case{640, 12}}) {
        SCOPED_TRACE(c.reply_length);
        std::vector<uint8_t> file = tagged(7, 0);
        std::vector<uint8_t> shortened(c.record_length, 0);
        std::copy_n(file.begin(), 100, shortened.begin());
        shortened[4] = static_cast<uint8_t>(c.record_length >> 8);
        shortened[5] = static_cast<uint8_t>(c.record_length);
        shortened[6] = 0;
        shortened[7] = static_cast<uint8_t>(c.reply_length);
        std::copy_n(file.begin() + 100, c.reply_length, shortened.begin() + 100);
        append(file, shortened);
        append(file, tagged(9));
        MemoryRecordSource source(file);
        Player p;
        std::vector<bool> accepted;
        p.hooks.process_ping = [&](const PlaybackContext& a) {
            p.tags.push_back(a.head.head_reply[8]);
            accepted.push_back(convert_ping(a, 0));
        };
        ASSERT_TRUE(start_playback(p.app, source));
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(playback_step(p.app, source, p.buffer, p.hooks), PlaybackStep::Played);
        }
        // Reply byte 8 is the record's own where the short reply reaches it, else zero.
        EXPECT_EQ(p.tags, (std::vector<int>{7, c.reply_length > 8 ? 7 : 0, 9}));
        EXPECT_EQ(accepted, (std::vector<bool>{true, false, true}));
        EXPECT_EQ(p.app.datafile.records_skipped, 0);
    }
}

TEST(DatafilePlayback, SyncFindsTheMagicWhereverItLies) {
    struct Case {
        std::vector<uint8_t> bytes;
        int64_t start;
        bool found;
        int64_t end;
    };
    std::vector<uint8_t> big(9000, 'V');
    big[8190] = 'V';
    big[8191] = 'K';
    big[8192] = 'D';  // straddles the scan's chunk boundary
    std::vector<uint8_t> edge(4100, 0);
    edge[4095] = 'V';
    edge[4096] = 'K';
    edge[4097] = 'D';
    std::vector<Case> cases = {
        {{'x', 'V', 'K', 'D'}, 0, true, 1},
        {{'V', 'V', 'K', 'D'}, 0, true, 1},
        {{'V', 'K', 'V', 'K', 'D'}, 0, true, 2},
        {{'V', 'K', 'D'}, 0, true, 0},
        {{'V', 'K', 'D', 'V', 'K', 'D'}, 1, true, 3},
        {{'V', 'K', 'x', 'D'}, 0, false, 4},
        {{'V', 'K'}, 0, false, 2},
        {{}, 0, false, 0},
        {big, 0, true, 8190},
        {edge, 10, true, 4095},
    };
    for (const auto& c : cases) {
        MemoryRecordSource source(c.bytes);
        source.seek(c.start);
        EXPECT_EQ(sync_to_record(source), c.found) << c.bytes.size();
        EXPECT_EQ(source.tell(), c.end) << c.bytes.size();
    }
}

TEST(DatafilePlayback, JumpLandingBeforeMagicInsideReplyDataTakesItAsARecordStart) {
    std::vector<uint8_t> file;
    auto first = tagged(1, 0);
    std::memcpy(&first[300], "VKD", 3);
    append(file, first);
    append(file, tagged(2));
    MemoryRecordSource source(file);
    Player p;
    ASSERT_TRUE(start_playback(p.app, source));
    source.seek(200);
    ASSERT_TRUE(sync_to_record(source));
    EXPECT_EQ(source.tell(), 300);
    // What follows the false magic is no record: it is refused and the next real one plays.
    EXPECT_EQ(playback_step(p.app, source, p.buffer, p.hooks), PlaybackStep::Skipped);
    EXPECT_EQ(playback_step(p.app, source, p.buffer, p.hooks), PlaybackStep::Played);
    EXPECT_EQ(p.tags, (std::vector<int>{2}));
}

TEST(DatafilePlayback, SliderJumpsOnlyBetweenOneAndNinetyNine) {
    std::vector<uint8_t> file;
    for (int i = 0; i < 4; ++i) append(file, tagged(static_cast<uint8_t>(i), i ? 640 : 0));
    MemoryRecordSource source(file);
    Player p;
    ASSERT_TRUE(start_playback(p.app, source));
    EXPECT_FALSE(seek_playback(p.app, source, 0, p.hooks));
    EXPECT_FALSE(seek_playback(p.app, source, 100, p.hooks));
    EXPECT_EQ(source.tell(), 0);
    EXPECT_TRUE(seek_playback(p.app, source, 50, p.hooks));
    EXPECT_EQ(source.tell(), 1280);
    EXPECT_EQ(p.resets, 1);
    EXPECT_TRUE(seek_playback(p.app, source, 51, p.hooks));
    EXPECT_EQ(source.tell(), 1920);
}

TEST(DatafilePlayback, BackLinksChainTheRecordsOfOneRecording) {
    test::TempDir dir;
    const std::string path = dir.file("chain.vkd");
    std::string error;
    {
        auto writer = RecordWriter::create(path, error);
        ASSERT_TRUE(writer) << error;
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(writer->write_ping_record(sample_stamp(), g_reply()));
        EXPECT_EQ(writer->bytes_written(), 3 * 640);
        EXPECT_EQ(writer->failed_writes(), 0);
    }
    std::string bytes = test::read_text(path);
    ASSERT_EQ(bytes.size(), 3u * 640);
    auto link = [&](size_t record) {
        size_t end = (record + 1) * 640;
        return (static_cast<uint8_t>(bytes[end - 2]) << 8) | static_cast<uint8_t>(bytes[end - 1]);
    };
    EXPECT_EQ(link(0), 640);
    EXPECT_EQ(link(1), 1280);
    EXPECT_EQ(link(2), 1280);
}

TEST(DatafilePlayback, FailedWriteIsCountedAndReported) {
    std::string error;
    auto writer = RecordWriter::create("/dev/full", error);
    if (!writer) GTEST_SKIP() << "/dev/full: " << error;
    EXPECT_FALSE(writer->write_ping_record(sample_stamp(), g_reply()));
    EXPECT_EQ(writer->failed_writes(), 1);
    EXPECT_EQ(writer->bytes_written(), 0);
    EXPECT_EQ(writer->previous_record_length(), 0);
    writer->close();
    EXPECT_FALSE(writer->append(std::vector<uint8_t>(10)));
    EXPECT_EQ(writer->failed_writes(), 2);
}

TEST(DatafilePlayback, LeavingFileModeRestoresTheHeadParameters) {
    AppState app;
    app.head.head_type = 'G';
    app.head.reply_length = 413;
    app.settings.SSGain = 6;
    app.run.speed_knots = 5.0f;
    const HeadParameterSet saved = capture_head_parameters(app);

    std::vector<uint8_t> reply(513, 0);
    reply[0] = 'Q';
    reply[1] = 'H';
    reply[2] = 'Z';
    reply[3] = 0x10;
    reply[4] = 1;
    reply.back() = 0xFC;
    RecordStamp stamp = sample_stamp();
    const auto record = encode(stamp, reply);
    MemoryRecordSource source(record);
    Player p;
    ASSERT_TRUE(start_playback(app, source));
    ASSERT_EQ(playback_step(app, source, p.buffer, p.hooks), PlaybackStep::Played);
    EXPECT_EQ(app.head.head_type, 'H');
    EXPECT_EQ(app.head.reply_length, 513);
    EXPECT_EQ(app.settings.SSGain, 17);

    restore_head_parameters(app, saved);
    EXPECT_EQ(app.head.head_type, 'G');
    EXPECT_EQ(app.head.reply_length, 413);
    EXPECT_EQ(app.head.samples_per_line, 400);
    EXPECT_EQ(app.settings.SSGain, 6);
    EXPECT_FLOAT_EQ(app.run.speed_knots, 5.0f);
    EXPECT_EQ(app.head.sample_bits, 8);
}

}  // namespace
}  // namespace kelvanor
