// The line assembler: sentences out of a stream of reads, the lines it refuses, the zero
// tail that keeps an earlier line from completing a short one, and every receiver capture
// of the corpus fed through it for each position sentence type.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "control/app_state.h"
#include "datafile/ping_record.h"
#include "gps/gps_line_assembler.h"
#include "test_support.h"

namespace kelvanor {
namespace {

std::span<const uint8_t> bytes_of(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::string position_of(const AppState& app) {
    std::lock_guard lock(app.head.position_text_lock);
    return std::string(app.head.position_text.begin(), app.head.position_text.end());
}

std::unique_ptr<AppState> make_app(int32_t heading_type) {
    auto app = std::make_unique<AppState>();
    app->settings.GPSHeadingType = heading_type;
    return app;
}

const std::string kGll = "$GPGLL,3752.304,S,14458.617,E,123519,A*2C\r\n";

TEST(GpsAssembler, SentenceEndingInCarriageReturnLineFeedIsDispatchedOnce) {
    auto app = make_app(kGpsPositionFromGll);
    EXPECT_TRUE(assemble_gps_chunk(gps_context(*app), bytes_of(kGll)));
    EXPECT_EQ(app->gps.sentences_dispatched, 1);
    EXPECT_EQ(position_of(*app), " 37.52.304 S144.58.617 E");
    EXPECT_EQ(app->gps.line.length, 0);
}

TEST(GpsAssembler, LinesThatAreNoSentenceAreDroppedAtTheLineFeed) {
    const std::string dropped[] = {
        "$GPGLL,3752.304,S,14458.617,E,123519,A*2C\n",     // no carriage return
        "GPGLL,3752.304,S,14458.617,E,123519,A*2C\r\n",    // no "$"
        " $GPGLL,3752.304,S,14458.617,E,123519,A*2C\r\n",  // "$" not first
        "\r\n",
        "\n",
    };
    for (const std::string& line : dropped) {
        SCOPED_TRACE(line);
        auto app = make_app(kGpsPositionFromGll);
        EXPECT_TRUE(assemble_gps_chunk(gps_context(*app), bytes_of(line)));
        EXPECT_EQ(app->gps.sentences_dispatched, 0);
        EXPECT_EQ(app->gps.line.length, 0);
    }
}

TEST(GpsAssembler, SentenceSplitOverReadsIsAssembled) {
    for (size_t cut = 1; cut < kGll.size(); ++cut) {
        SCOPED_TRACE(cut);
        auto app = make_app(kGpsPositionFromGll);
        EXPECT_FALSE(assemble_gps_chunk(gps_context(*app), bytes_of(kGll.substr(0, cut))));
        EXPECT_TRUE(assemble_gps_chunk(gps_context(*app), bytes_of(kGll.substr(cut))));
        EXPECT_EQ(app->gps.sentences_dispatched, 1);
        EXPECT_EQ(position_of(*app), " 37.52.304 S144.58.617 E");
    }
}

TEST(GpsAssembler, TwoSentencesInOneReadAreBothUsed) {
    auto app = make_app(kGpsPositionFromGll);
    const std::string second = "$GPGLL,3852.111,N,14558.222,W,123520,A*2C\r\n";
    EXPECT_TRUE(assemble_gps_chunk(gps_context(*app), bytes_of(kGll + second + "$GPG")));
    EXPECT_EQ(app->gps.sentences_dispatched, 2);
    EXPECT_EQ(position_of(*app), " 38.52.111 N145.58.222 W");
    EXPECT_EQ(app->gps.line.length, 4);  // the start of a third stays for the next read
}

TEST(GpsAssembler, LineOfEightyCharactersWithoutLineFeedIsDropped) {
    auto app = make_app(kGpsPositionFromGll);
    EXPECT_FALSE(assemble_gps_chunk(gps_context(*app), bytes_of(std::string(79, 'x'))));
    EXPECT_EQ(app->gps.line.length, 79);
    EXPECT_TRUE(assemble_gps_chunk(gps_context(*app), bytes_of("y")));
    EXPECT_EQ(app->gps.line.length, 0);
    // The next sentence starts clean.
    assemble_gps_chunk(gps_context(*app), bytes_of(kGll));
    EXPECT_EQ(app->gps.sentences_dispatched, 1);
}

TEST(GpsAssembler, LeftoversOfALongerLineNeverCompleteAShortOne) {
    // The short line stops inside the longitude; the longer line before it had the rest of
    // a longitude at the same place. Read together they would make a plausible position.
    auto app = make_app(kGpsPositionFromGll);
    assemble_gps_chunk(gps_context(*app), bytes_of(kGll));
    const std::string before = position_of(*app);
    assemble_gps_chunk(gps_context(*app), bytes_of("$GPGLL,3852.111,N,1\r\n"));
    EXPECT_EQ(app->gps.sentences_dispatched, 2);
    EXPECT_EQ(position_of(*app), before);
    EXPECT_TRUE(std::all_of(app->gps.line.text.begin(), app->gps.line.text.end(),
                            [](char c) { return c == '\0'; }));
}

TEST(GpsAssembler, DroppedGarbageLeavesNoTailBehind) {
    auto app = make_app(kGpsPositionFromRmc);
    const float speed = app->run.speed_knots;
    assemble_gps_chunk(gps_context(*app), bytes_of(std::string(127, '7')));  // dropped: 80 or more
    assemble_gps_chunk(gps_context(*app), bytes_of("$GPRMC,1\r\n"));
    EXPECT_EQ(position_of(*app), std::string(kPositionTextSize, '\0'));
    // Without position fields the sentence sets no speed, and no digit of the garbage does.
    EXPECT_FLOAT_EQ(app->run.speed_knots, speed);
    const std::string_view line(app->gps.line.text.data(), app->gps.line.text.size());
    EXPECT_EQ(line.find('7'), std::string_view::npos);
}

// Receiver captures: which position sentences each holds, its hemispheres, and whether its
// sentences end in CR LF (files stored with LF alone give no sentence at all).
struct CorpusFile {
    const char* name;
    const char* position_sentences;  // G = GLL, A = GGA, R = RMC
    char latitude_hemisphere;
    char longitude_hemisphere;
    bool crlf;
};

const CorpusFile kCorpus[] = {
    {"GPSmap-76S.log", "GAR", 'N', 'W', true},
    {"bu353-glonass.log", "AR", 'N', 'E', true},
    {"eXplorist110.log", "GAR", 'N', 'W', true},
    {"firefly-II.log", "AR", 'N', 'W', true},
    {"garmin-10x.log", "AR", 'N', 'W', true},
    {"garmin48.log", "GAR", 'S', 'E', true},
    {"gp-320fw-2019-04-07-coldboot.log", "GAR", 'N', 'E', true},
    {"gr601-w.log", "GAR", 'N', 'W', true},
    {"haicom-305N.log", "AR", 'S', 'E', false},
    {"mtk-3301.log", "AR", 'N', 'E', false},
    {"nd-1005.log", "GAR", 'N', 'W', true},
    {"neo-m8n.log", "GAR", 'N', 'W', true},
    {"quectel.log", "AR", 'S', 'E', true},
    {"quectelLC79D-1.log", "GAR", 'N', 'E', true},
    {"skytraq.log", "GAR", 'N', 'E', true},
    {"st-teseo-liv3f.log", "GAR", 'N', 'W', true},
    {"telit-he910.log", "GAR", 'N', 'E', false},
    {"ublox-zed-f9p-nmea.log", "GAR", 'S', 'E', true},
    {"unicore-um621.log", "AR", 'N', 'W', true},
};

TEST(GpsCorpus, EveryCaptureParsesIntoPositionsTheRecordReaderAccepts) {
    const std::filesystem::path folder = std::filesystem::path(KELVANOR_CORPUS_DIR) / "nmea";
    size_t files = 0;
    for (const CorpusFile& file : kCorpus) {
        const std::string data = test::read_text((folder / file.name).string());
        ASSERT_FALSE(data.empty()) << file.name;
        ++files;
        const char kTypeLetter[] = {'G', 'A', 'R'};
        for (int32_t type = 0; type <= 2; ++type) {
            for (int32_t speed_from_gps = 0; speed_from_gps <= 1; ++speed_from_gps) {
                SCOPED_TRACE(testing::Message()
                             << file.name << " type " << type << " gps speed " << speed_from_gps);
                auto app = make_app(type);
                app->run.speed_from_gps = speed_from_gps;
                int bad_texts = 0;
                GpsReadoutHooks hooks;
                hooks.draw_position = [&] {
                    std::lock_guard lock(app->head.position_text_lock);
                    if (!position_text_is_valid(app->head.position_text)) ++bad_texts;
                };
                auto check_speed = [&](float knots) {
                    EXPECT_GE(knots, 0.0f);
                    EXPECT_LE(knots, kGpsMaxSpeedKnots);
                };
                auto check_heading = [&](float degrees) {
                    EXPECT_GE(degrees, 0.0f);
                    EXPECT_LE(degrees, 360.0f);
                };
                hooks.draw_speed = check_speed;
                hooks.draw_heading = check_heading;

                // Reads of the size the port gives, as the reader thread makes them.
                const std::span<const uint8_t> all = bytes_of(data);
                for (size_t at = 0; at < all.size(); at += kGpsChunkSize) {
                    assemble_gps_chunk(gps_context(*app),
                                       all.subspan(at, std::min(kGpsChunkSize, all.size() - at)),
                                       hooks);
                }

                EXPECT_EQ(bad_texts, 0);
                check_speed(app->run.speed_knots);
                check_heading(app->run.heading_degrees);
                const bool expect_positions =
                    file.crlf && std::string(file.position_sentences).find(kTypeLetter[type]) !=
                                     std::string::npos;
                const std::string text = position_of(*app);
                if (expect_positions) {
                    EXPECT_GT(app->gps.positions_taken, 0);
                    EXPECT_EQ(text[11], file.latitude_hemisphere);
                    EXPECT_EQ(text[23], file.longitude_hemisphere);
                } else {
                    EXPECT_EQ(app->gps.positions_taken, 0);
                    EXPECT_EQ(text, std::string(kPositionTextSize, '\0'));
                }
                if (!file.crlf) {
                    EXPECT_EQ(app->gps.sentences_dispatched, 0);
                }
            }
        }
    }
    EXPECT_EQ(files, std::size(kCorpus));
}

TEST(GpsCorpus, KnownFixesReadAsRecorded) {
    // First fixes of three captures, read by hand from the files.
    struct Case {
        const char* file;
        int32_t heading_type;
        const char* sentence_start;  // the first position sentence with a fix
    };
    const std::filesystem::path folder = std::filesystem::path(KELVANOR_CORPUS_DIR) / "nmea";
    const Case cases[] = {
        {"garmin48.log", kGpsPositionFromGll, "$GPGLL,"},
        {"neo-m8n.log", kGpsPositionFromGga, "$GNGGA,"},
        {"ublox-zed-f9p-nmea.log", kGpsPositionFromRmc, "$GNRMC,"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string data = test::read_text((folder / c.file).string());
        // The first such sentence whose latitude field is filled.
        size_t at = 0;
        std::string sentence;
        while ((at = data.find(c.sentence_start, at)) != std::string::npos) {
            const size_t end = data.find('\n', at);
            sentence = data.substr(at, end - at + 1);
            if (sentence.find(",N,") != std::string::npos ||
                sentence.find(",S,") != std::string::npos) {
                break;
            }
            at = end;
        }
        ASSERT_NE(at, std::string::npos);
        auto app = make_app(c.heading_type);
        assemble_gps_chunk(gps_context(*app), bytes_of(sentence));
        // Expected text from the sentence's own fields.
        std::vector<std::string> fields;
        size_t from = 0;
        for (size_t comma; (comma = sentence.find(',', from)) != std::string::npos;
             from = comma + 1) {
            fields.push_back(sentence.substr(from, comma - from));
        }
        const size_t lat = c.heading_type == kGpsPositionFromGll   ? 1
                           : c.heading_type == kGpsPositionFromGga ? 2
                                                                   : 3;
        const std::string& la = fields[lat];
        const std::string& lo = fields[lat + 2];
        const std::string expected = " " + la.substr(0, 2) + "." + la.substr(2, 2) + "." +
                                     la.substr(5, 3) + " " + fields[lat + 1] + lo.substr(0, 3) +
                                     "." + lo.substr(3, 2) + "." + lo.substr(6, 3) + " " +
                                     fields[lat + 3];
        EXPECT_EQ(position_of(*app), expected) << sentence;
    }
}

}  // namespace
}  // namespace kelvanor
