// A whole mosaic run over two synthetic lines: the same bytes with one thread or two, a bad
// file reported while the good ones are placed, and nothing written when nothing can be.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "datafile/record_writer.h"
#include "export/mosaic.h"
#include "sim/survey_recording.h"

namespace kelvanor {
namespace {

namespace fs = std::filesystem;

class MosaicRun : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("kelvanor-mosaic-run-" +
                   std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    // A line of `pings` pings from a start, heading north or south, with a fix a second.
    std::string line(const char* name, double latitude, double heading, int pings) {
        SurveyRecordingConfig config;
        config.start_latitude_minutes = latitude * 60.0;
        config.start_longitude_minutes = 145.0 * 60.0;
        config.heading_degrees = heading;
        config.fix_interval_ms = 1000;
        const std::string path = (folder_ / name).string();
        std::string error;
        auto writer = RecordWriter::create(path, error);
        EXPECT_TRUE(writer) << error;
        SurveyRecording recording(config);
        RecordStamp stamp;
        for (int i = 0; i < pings; ++i) {
            const auto reply = recording.next(stamp);
            EXPECT_TRUE(writer->write_ping_record(stamp, reply));
        }
        writer->close();
        return path;
    }

    static std::string bytes_of(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    fs::path folder_;
};

TEST_F(MosaicRun, SameBytesWithOneThreadOrTwo) {
    const std::vector<std::string> inputs = {line("a.vkd", -37.8, 0.0, 400),
                                             line("b.vkd", -37.7992, 180.0, 400)};
    std::vector<std::string> written;
    for (int threads : {1, 2}) {
        MosaicOptions options;
        options.threads = threads;
        options.max_tiles = 1;  // tiles go to the file and come back
        const std::string out = (folder_ / ("j" + std::to_string(threads) + ".tif")).string();
        const MosaicReport report = make_mosaic(inputs, out, options);
        ASSERT_TRUE(report.written) << report.error;
        EXPECT_TRUE(report.all_files_good());
        EXPECT_EQ(report.grid.zone.epsg(), 32755);
        EXPECT_DOUBLE_EQ(report.grid.cell_metres, 0.5);
        EXPECT_GT(report.placed, 780);
        EXPECT_GT(report.tiles_spilled, 0);
        EXPECT_FALSE(fs::exists(out + ".tiles.tif"));
        EXPECT_FALSE(fs::exists(out + ".staging.tif"));
        written.push_back(bytes_of(out));
    }
    EXPECT_EQ(written[0], written[1]);
}

TEST_F(MosaicRun, BadFilesAreReportedAndTheOthersPlaced) {
    const std::string good = line("good.vkd", 54.35, 45.0, 200);
    const std::string not_data = (folder_ / "text.vkd").string();
    std::ofstream(not_data) << "not a recording";
    const std::string missing = (folder_ / "missing.vkd").string();
    const std::string out = (folder_ / "out.tif").string();
    const MosaicReport report = make_mosaic({not_data, good, missing}, out, {});
    ASSERT_TRUE(report.written) << report.error;
    EXPECT_FALSE(report.all_files_good());
    ASSERT_EQ(report.files.size(), 3u);
    EXPECT_NE(report.files[0].error, "");
    EXPECT_EQ(report.files[1].error, "");
    EXPECT_NE(report.files[2].error, "");
    EXPECT_EQ(report.grid.zone.epsg(), 32655);  // 54 N 145 E
    EXPECT_EQ(report.placed, 200);

    const MosaicReport none = make_mosaic({not_data}, (folder_ / "none.tif").string(), {});
    EXPECT_FALSE(none.written);
    EXPECT_NE(none.error, "");
    EXPECT_FALSE(fs::exists(folder_ / "none.tif"));
}

}  // namespace
}  // namespace kelvanor
