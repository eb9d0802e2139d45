// A serial line whose device goes away: a pseudo-terminal reached through a symlink (as a
// udev name reaches a USB adapter) loses its other side; the line reports the device missing,
// tries again once a second by the injected clock, and carries on when the symlink points at
// a new device, with the line settings and DTR it had.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/posix_serial_port.h"
#include "platform/reopening_serial_port.h"
#include "test_support.h"

namespace kelvanor {
namespace {

class ManualClock final : public Clock {
  public:
    std::time_t calendar_seconds() override { return 0; }
    uint64_t monotonic_ms() override { return now_ms; }
    void sleep_ms(int) override {}
    uint64_t now_ms = 5000;
};

// The device side of a pseudo-terminal: its master, and the slave's path.
struct Device {
    int master = -1;
    std::string slave;
    Device() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return;
        slave = ::ptsname(master);
    }
    ~Device() { unplug(); }
    void unplug() {
        if (master >= 0) ::close(master);
        master = -1;
    }
};

void point(const std::string& link, const std::string& target) {
    std::filesystem::remove(link);
    std::filesystem::create_symlink(target, link);
}

std::string read_some(SerialPort& port) {
    std::string got;
    for (int i = 0; i < 200 && got.empty(); ++i) {
        port.wait_readable(5000);
        uint8_t buffer[64];
        if (const std::optional<size_t> n = port.read(buffer))
            got.append(reinterpret_cast<const char*>(buffer), *n);
    }
    return got;
}

TEST(ReopeningSerialPort, AnUnpluggedDeviceIsReopenedByItsPathOnceASecond) {
    test::TempDir dir;
    const std::string link = dir.file("ttyGPS");
    ManualClock clock;
    auto first = std::make_unique<Device>();
    ASSERT_GE(first->master, 0);
    point(link, first->slave);

    ReopeningSerialPort port(std::make_unique<PosixSerialPort>(), clock);
    ASSERT_TRUE(port.open(link).ok());
    SerialLineSettings line;
    line.baud = 4800;
    ASSERT_TRUE(port.set_line(line));
    ASSERT_EQ(::write(first->master, "A", 1), 1);
    EXPECT_EQ(read_some(port), "A");

    // Unplugged: the next look finds the hang-up. The port stays open for its owner but
    // carries nothing, and writes fail.
    first->unplug();
    EXPECT_EQ(port.bytes_waiting(), size_t{0});
    EXPECT_TRUE(port.device_missing());
    EXPECT_EQ(port.losses(), 1);
    EXPECT_TRUE(port.is_open());
    EXPECT_EQ(port.path(), link);
    EXPECT_FALSE(port.write(std::vector<uint8_t>{'x'}).has_value());
    EXPECT_EQ(port.read(std::span<uint8_t>()), size_t{0});

    // Plugged in again under the same name: found once the second has passed, not before.
    Device second;
    ASSERT_GE(second.master, 0);
    point(link, second.slave);
    clock.now_ms += kReopenIntervalMs - 1;
    port.bytes_waiting();
    EXPECT_TRUE(port.device_missing());
    clock.now_ms += 1;
    port.bytes_waiting();
    EXPECT_FALSE(port.device_missing());
    ASSERT_EQ(::write(second.master, "B", 1), 1);
    EXPECT_EQ(read_some(port), "B");
    const std::string to_device = "cmd";
    EXPECT_EQ(port.write(std::vector<uint8_t>(to_device.begin(), to_device.end())), size_t{3});
    EXPECT_EQ(port.losses(), 1);

    // The owner's close ends it: no more reopening, the port is closed.
    port.close();
    EXPECT_FALSE(port.is_open());
    EXPECT_FALSE(port.device_missing());
    EXPECT_FALSE(port.bytes_waiting().has_value());
}

TEST(ReopeningSerialPort, AMissingDeviceWaitsForTheTimeOutOrAWakeUp) {
    test::TempDir dir;
    ManualClock clock;
    Device device;
    // Reached through a link that goes with the device: a pseudo-terminal's own number may be
    // given at once to a new terminal of another process, which would then be "found" again.
    const std::string link = dir.file("ttyGone");
    point(link, device.slave);
    ReopeningSerialPort port(std::make_unique<PosixSerialPort>(), clock);
    ASSERT_TRUE(port.open(link).ok());
    device.unplug();
    std::filesystem::remove(link);
    // A hang-up reported by the wait itself.
    EXPECT_NE(port.wait_readable(100000), SerialWait::Failed);
    EXPECT_TRUE(port.device_missing());
    EXPECT_EQ(port.wait_readable(1000), SerialWait::TimedOut);
    port.wake();
    EXPECT_EQ(port.wait_readable(10'000'000), SerialWait::Woken);
    // Nothing at the path any more: tries fail quietly and keep the port waiting.
    clock.now_ms += 10 * kReopenIntervalMs;
    EXPECT_EQ(port.bytes_waiting(), size_t{0});
    EXPECT_TRUE(port.device_missing());
}

}  // namespace
}  // namespace kelvanor
