#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <vector>

#include "datafile/record_writer.h"
#include "test_support.h"

namespace kelvanor {
namespace {

// A file-size limit makes write() stop part-way through a record, as a full file system
// does: the writer reports the failure and cuts the partial record off again.
TEST(RecordWriterFaults, AShortWriteLeavesWholeRecordsOnly) {
    test::TempDir dir;
    const std::string path = dir.file("short.vkd");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {
            1000, 1000
        };
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string error;
        std::optional<RecordWriter> writer = RecordWriter::create(path, error);
        const std::vector<uint8_t> record(640, 0x5A);
        int code = 0;
        if (!writer || !writer->append(record)) code |= 1;
        if (writer->append(record)) code |= 2;  // only 360 bytes fit
        if (writer->bytes_written() != 640) code |= 4;
        if (writer->failed_writes() != 1) code |= 8;
        ::_exit(code);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(std::filesystem::file_size(path), 640u);
}

}  // namespace
}  // namespace kelvanor
