// The simulated receiver: sentence checksums and fields, the track, and its sentences read
// back by the program's own parsers, over a pseudo-terminal through the GPS reader too.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>

#include "control/app_state.h"
#include "gps/gps_line_assembler.h"
#include "gps/gps_reader.h"
#include "platform/posix_serial_port.h"
#include "sim/nmea_server.h"
#include "sim/nmea_track.h"

namespace kelvanor {
namespace {

std::string position_of(const AppState& app) {
    std::lock_guard lock(app.head.position_text_lock);
    return std::string(app.head.position_text.begin(), app.head.position_text.end());
}

TEST(SimNmea, ChecksumIsTheXorBetweenDollarAndStar) {
    EXPECT_EQ(nmea_checksum("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"), 0x47);
    EXPECT_EQ(nmea_sentence("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K"),
              "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48\r\n");
}

TEST(SimNmea, CoordinateFieldsRoundInWholeTenThousandthsOfAMinute) {
    struct Case {
        double degrees;
        bool latitude;
        const char* expected;
    };
    const Case cases[] = {
        {-37.8717, true, "3752.3020,S"},        {144.9767, false, "14458.6020,E"},
        {10.9999999, true, "1100.0000,N"},      {10.999999, true, "1059.9999,N"},
        {-0.5, false, "00030.0000,W"},          {0.0, true, "0000.0000,N"},
        {-179.99999999, false, "18000.0000,W"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.latitude ? nmea_latitude_field(c.degrees) : nmea_longitude_field(c.degrees),
                  c.expected)
            << c.degrees;
    }
}

TEST(SimNmea, TrackRunsAlongItsCourseAtItsSpeed) {
    SimGpsTrack track;
    track.start_latitude_degrees = 10.0;
    track.start_longitude_degrees = 20.0;
    track.speed_knots = 3.0f;
    track.course_degrees = 0.0f;
    const SimGpsFix hour = sim_gps_fix_at(track, 3600.0);
    EXPECT_NEAR((hour.latitude_degrees - 10.0) * 60.0, 3.0, 1e-9);  // three nautical miles
    EXPECT_NEAR(hour.longitude_degrees, 20.0, 1e-9);
    EXPECT_EQ(hour.utc_seconds, track.start_utc + 3600);

    track.course_degrees = 90.0f;
    const SimGpsFix east = sim_gps_fix_at(track, 3600.0);
    EXPECT_NEAR(east.latitude_degrees, 10.0, 1e-9);
    EXPECT_GT(east.longitude_degrees, 20.0);
}

TEST(SimNmea, EverySentenceEndsWithItsChecksumAndCarriageReturnLineFeed) {
    const SimGpsFix fix = sim_gps_fix_at(SimGpsTrack{}, 12.34);
    for (const std::string& s : {nmea_gll(fix), nmea_gga(fix), nmea_rmc(fix), nmea_vtg(fix)}) {
        SCOPED_TRACE(s);
        ASSERT_GE(s.size(), 6u);
        EXPECT_EQ(s[0], '$');
        EXPECT_EQ(s.substr(s.size() - 2), "\r\n");
        const size_t star = s.find('*');
        ASSERT_EQ(star, s.size() - 5);
        char expected[3];
        std::snprintf(expected, sizeof expected, "%02X",
                      nmea_checksum(std::string_view(s).substr(1, star - 1)));
        EXPECT_EQ(s.substr(star + 1, 2), expected);
        EXPECT_LT(s.size(), static_cast<size_t>(kGpsMaxLineLength));
    }
}

TEST(SimNmea, ProgramReadsTheSimulatedFixForEveryPositionSentence) {
    const SimGpsFix fix = sim_gps_fix_at(SimGpsTrack{}, 0.0);
    const std::string sentences = nmea_fix_sentences(fix);
    for (int32_t type = 0; type <= 2; ++type) {
        SCOPED_TRACE(type);
        auto app = std::make_unique<AppState>();
        app->settings.GPSHeadingType = type;
        assemble_gps_chunk(
            gps_context(*app),
            std::span(reinterpret_cast<const uint8_t*>(sentences.data()), sentences.size()));
        EXPECT_EQ(position_of(*app), " 37.52.302 S144.58.602 E");
        EXPECT_FLOAT_EQ(app->run.speed_knots, 3.0f);
        EXPECT_FLOAT_EQ(app->run.heading_degrees, 54.7f);
    }
}

TEST(SimNmea, ReaderTakesPositionsFromTheSimulatedReceiverOnAPseudoTerminal) {
    NmeaServerOptions options;
    options.interval_ms = 400;
    options.baud = 9600;
    std::string error;
    std::unique_ptr<NmeaServer> server = NmeaServer::create(options, &error);
    if (!server) GTEST_SKIP() << "no pseudo-terminal: " << error;
    std::thread serving([&] { server->run(); });

    auto app = std::make_unique<AppState>();
    app->settings.GPSHeadingType = kGpsPositionFromRmc;
    GpsReader reader(gps_context(*app), std::make_unique<PosixSerialPort>());
    ASSERT_TRUE(reader.open_gps_port(server->device_path()).ok());
    ASSERT_TRUE(reader.start_gps_reader());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (app->gps.positions_taken < 2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    reader.stop_gps();
    server->stop();
    serving.join();

    EXPECT_GE(app->gps.positions_taken, 2);
    const std::string text = position_of(*app);
    EXPECT_EQ(text.substr(0, 7), " 37.52.");
    EXPECT_EQ(text.substr(10, 6), " S144.");
    EXPECT_FLOAT_EQ(app->run.speed_knots, 3.0f);
}

}  // namespace
}  // namespace kelvanor
