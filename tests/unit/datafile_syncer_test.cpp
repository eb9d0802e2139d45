// Durable recording: the record writer's syncer flushes the file through its own descriptor,
// after writes and at the close, and a slow flush never holds up an append. Run under
// ThreadSanitizer as well.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <future>
#include <mutex>
#include <vector>

#include "datafile/record_writer.h"
#include "test_support.h"

namespace kelvanor {
namespace {

using namespace std::chrono_literals;

// Records every flush: the file it reached (device and inode) and the file's size then.
struct FlushLog {
    struct Flush {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
    };
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Flush> flushes;
    int result = 0;

    DataSync recorder() {
        return [this](int fd) {
            struct stat st {};
            ::fstat(fd, &st);
            std::lock_guard lock(mutex);
            flushes.push_back({st.st_dev, st.st_ino, st.st_size});
            changed.notify_all();
            return result;
        };
    }
    // Waits (bounded) until at least `count` flushes were made.
    bool wait_for(size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 20s, [&] { return flushes.size() >= count; });
    }
    size_t count() {
        std::lock_guard lock(mutex);
        return flushes.size();
    }
};

struct stat stat_of(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st;
}

const std::vector<uint8_t> kRecord(640, 0x5A);

TEST(RecordSyncer, TheDefaultFlushesAtLeastOnceASecond) {
    EXPECT_LE(SyncOptions{}.interval, 1000ms);
    EXPECT_GT(SyncOptions{}.interval, 0ms);
}

TEST(RecordSyncer, WritesAreFlushedToTheRecordFileWhileRecording) {
    test::TempDir dir;
    const std::string path = dir.file("rec.vkd");
    FlushLog log;
    std::string error;
    std::optional<RecordWriter> writer =
        RecordWriter::create(path, error, {log.recorder(), std::chrono::milliseconds(5)});
    ASSERT_TRUE(writer) << error;
    // Each write is followed by a flush of the same file that holds it, without a close.
    for (size_t i = 1; i <= 3; ++i) {
        ASSERT_TRUE(writer->append(kRecord));
        ASSERT_TRUE(log.wait_for(i)) << "no flush after write " << i;
        std::lock_guard lock(log.mutex);
        const FlushLog::Flush& last = log.flushes.back();
        EXPECT_EQ(last.inode, stat_of(path).st_ino);
        EXPECT_EQ(last.device, stat_of(path).st_dev);
        EXPECT_EQ(last.size, static_cast<off_t>(i * kRecord.size()));
    }
    // Nothing new written: no flush however many intervals pass.
    const size_t before = log.count();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(log.count(), before);
    writer->close();
    EXPECT_EQ(log.count(), before + 1);  // the stop flushes once more
    EXPECT_EQ(writer->failed_syncs(), 0);
}

TEST(RecordSyncer, TheCloseFlushesWhatWasWrittenLastAtOnce) {
    test::TempDir dir;
    const std::string path = dir.file("rec.vkd");
    FlushLog log;
    std::string error;
    std::optional<RecordWriter> writer =
        RecordWriter::create(path, error, {log.recorder(), std::chrono::hours(1)});
    ASSERT_TRUE(writer);
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(writer->append(kRecord));
    EXPECT_EQ(log.count(), 0u);
    writer->close();
    ASSERT_EQ(log.count(), 1u);
    EXPECT_EQ(log.flushes[0].size, static_cast<off_t>(5 * kRecord.size()));
    EXPECT_EQ(log.flushes[0].inode, stat_of(path).st_ino);
    writer->close();  // a second close flushes nothing more
    EXPECT_EQ(log.count(), 1u);
}

TEST(RecordSyncer, ASlowFlushNeverHoldsUpAppends) {
    test::TempDir dir;
    const std::string path = dir.file("rec.vkd");
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::promise<void> entered;
    bool first = true;
    DataSync stuck = [&](int) {
        if (first) {
            first = false;
            entered.set_value();
            released.wait();  // a card that takes its time
        }
        return 0;
    };
    std::string error;
    std::optional<RecordWriter> writer =
        RecordWriter::create(path, error, {stuck, std::chrono::milliseconds(1)});
    ASSERT_TRUE(writer);
    ASSERT_TRUE(writer->append(kRecord));
    ASSERT_EQ(entered.get_future().wait_for(20s), std::future_status::ready);
    // The flush is stuck; the appends still go through, one after the other.
    for (int i = 0; i < 200; ++i) ASSERT_TRUE(writer->append(kRecord));
    EXPECT_EQ(writer->bytes_written(), static_cast<int64_t>(201 * kRecord.size()));
    release.set_value();
    writer->close();
    EXPECT_EQ(std::filesystem::file_size(path), 201 * kRecord.size());
}

TEST(RecordSyncer, AFailedFlushIsCounted) {
    test::TempDir dir;
    FlushLog log;
    log.result = -1;
    std::string error;
    std::optional<RecordWriter> writer =
        RecordWriter::create(dir.file("rec.vkd"), error, {log.recorder(), std::chrono::hours(1)});
    ASSERT_TRUE(writer);
    ASSERT_TRUE(writer->append(kRecord));
    writer->close();
    EXPECT_EQ(writer->failed_syncs(), 1);
}

}  // namespace
}  // namespace kelvanor
