#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <thread>
#include <vector>

#include "control/app_state.h"
#include "headlink/head_port.h"
#include "platform/port_resolver.h"
#include "platform/posix_serial_port.h"
#include "settings/ini_file.h"
#include "settings/ini_ports.h"
#include "test_support.h"

namespace kelvanor {
namespace {

// The far end of a pseudo-terminal: what the device on the line sees.
class PtyPair {
  public:
    PtyPair() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        char name[128];
        if (::ptsname_r(master_, name, sizeof name) == 0) path_ = name;
    }
    ~PtyPair() {
        if (master_ >= 0) ::close(master_);
    }
    const std::string& path() const { return path_; }
    int master() const { return master_; }

    std::vector<uint8_t> read_far_end(size_t want, int timeout_ms = 2000) {
        std::vector<uint8_t> got;
        while (got.size() < want) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, timeout_ms) <= 0) break;
            uint8_t buffer[256];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0) break;
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }
    void write_far_end(const std::vector<uint8_t>& bytes) {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

  private:
    int master_ = -1;
    std::string path_;
};

bool test_wait_for_bytes(SerialPort& port, size_t count) {
    for (int i = 0; i < 1000; ++i) {
        if (port.bytes_waiting().value_or(0) >= count) return true;
        port.wait_woken(1000);
    }
    return false;
}

// Bytes a cooked terminal would eat or change: XON/XOFF, CR, LF, and the command framing.
const std::vector<uint8_t> kTouchyBytes = {0x11, 0x13, 0x0D, 0x0A, 0x03, 0x1A, 0x7F,
                                           0xFE, 0x44, 0xFD, 0x00, 0xFF, 0x04};

TEST(PosixSerialPort, RawLinePassesEveryByteUnchangedBothWays) {
    PtyPair pty;
    ASSERT_FALSE(pty.path().empty());
    PosixSerialPort port;
    ASSERT_TRUE(port.open(pty.path()).ok());
    ASSERT_TRUE(port.set_line({}));

    ASSERT_EQ(port.write(kTouchyBytes), kTouchyBytes.size());
    EXPECT_TRUE(port.drain());
    EXPECT_EQ(pty.read_far_end(kTouchyBytes.size()), kTouchyBytes);

    pty.write_far_end(kTouchyBytes);
    ASSERT_EQ(port.wait_readable(1000000), SerialWait::Readable);
    ASSERT_TRUE(test_wait_for_bytes(port, kTouchyBytes.size()));
    std::vector<uint8_t> in(64);
    const auto n = port.read(in);
    ASSERT_TRUE(n.has_value());
    in.resize(*n);
    EXPECT_EQ(in, kTouchyBytes);
    // Nothing is echoed back to the device.
    EXPECT_TRUE(pty.read_far_end(1, 50).empty());
}

TEST(PosixSerialPort, FlushDiscardsQueuedInputAndReadNeverBlocks) {
    PtyPair pty;
    PosixSerialPort port;
    ASSERT_TRUE(port.open(pty.path()).ok());
    pty.write_far_end({1, 2, 3, 4, 5});
    ASSERT_TRUE(test_wait_for_bytes(port, 5));
    port.flush(SerialQueue::Input);
    EXPECT_EQ(port.bytes_waiting(), size_t{0});
    std::vector<uint8_t> in(8);
    EXPECT_EQ(port.read(in), size_t{0});
}

TEST(PosixSerialPort, ModemLinesFailQuietlyOnAPseudoTerminal) {
    PtyPair pty;
    PosixSerialPort port;
    ASSERT_TRUE(port.open(pty.path()).ok());
    EXPECT_FALSE(port.set_rts(true));
    EXPECT_FALSE(port.set_dtr(true));
    EXPECT_FALSE(port.take_line_error());
    // The line still works.
    EXPECT_EQ(port.write(std::vector<uint8_t>{0x42}), size_t{1});
}

TEST(PosixSerialPort, CanBeReopenedAfterCloseAndCloseIsRepeatable) {
    PtyPair pty;
    PosixSerialPort port;
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(port.open(pty.path()).ok()) << i;
        EXPECT_EQ(port.path(), pty.path());
        port.close();
        port.close();
        EXPECT_FALSE(port.is_open());
        EXPECT_TRUE(port.path().empty());
    }
}

TEST(PosixSerialPort, SecondOpenOfAnExclusiveLineIsRefused) {
    if (::geteuid() == 0) GTEST_SKIP() << "the superuser passes exclusive use";
    PtyPair pty;
    PosixSerialPort first;
    PosixSerialPort second;
    ASSERT_TRUE(first.open(pty.path()).ok());
    EXPECT_EQ(second.open(pty.path()).status, SerialOpenStatus::Busy);
}

TEST(PosixSerialPort, OpenFailuresAreTold) {
    PosixSerialPort port;
    EXPECT_EQ(port.open("/dev/no-such-serial-device").status, SerialOpenStatus::NotFound);
    test::TempDir dir;
    test::write_text(dir.file("plain"), "x");
    EXPECT_EQ(port.open(dir.file("plain")).status, SerialOpenStatus::NotASerialPort);
    EXPECT_FALSE(port.is_open());
}

TEST(PosixSerialPort, OpenStatusOfErrno) {
    const std::pair<int, SerialOpenStatus> cases[] = {
        {ENOENT, SerialOpenStatus::NotFound},
        {ENXIO, SerialOpenStatus::NotFound},
        {EACCES, SerialOpenStatus::PermissionDenied},
        {EPERM, SerialOpenStatus::PermissionDenied},
        {EBUSY, SerialOpenStatus::Busy},
        {ENOTTY, SerialOpenStatus::NotASerialPort},
        {EIO, SerialOpenStatus::Failed},
    };
    for (auto [e, status] : cases) EXPECT_EQ(open_status_for_errno(e), status) << e;
}

TEST(PosixSerialPort, PermissionFailureTextNamesTheDeviceAndTheGroup) {
    const std::string text =
        describe_open_failure("/dev/ttyUSB0", {SerialOpenStatus::PermissionDenied, EACCES});
    EXPECT_NE(text.find("/dev/ttyUSB0"), std::string::npos);
    EXPECT_NE(text.find("dialout"), std::string::npos);
}

TEST(PosixSerialPort, WakeEndsAWaitAtOnceAndAnEarlyWakeEndsTheNextOne) {
    PtyPair pty;
    PosixSerialPort port;
    ASSERT_TRUE(port.open(pty.path()).ok());
    std::thread waker([&port] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        port.wake();
    });
    EXPECT_EQ(port.wait_readable(30000000), SerialWait::Woken);
    waker.join();
    port.wake();
    EXPECT_TRUE(port.wait_woken(30000000));
    EXPECT_FALSE(port.wait_woken(0));
    EXPECT_EQ(port.wait_readable(1000), SerialWait::TimedOut);
}

// Bytes waiting unread do not end the wait for more (poll() would answer at once); bytes that
// arrive after them do, long before the time-out; a wake-up ends it too.
TEST(PosixSerialPort, WaitForMoreEndsWhenBytesArriveBehindThoseWaiting) {
    PtyPair pty;
    PosixSerialPort port;
    ASSERT_TRUE(port.open(pty.path()).ok());
    pty.write_far_end({1, 2, 3});
    ASSERT_TRUE(test_wait_for_bytes(port, 3));
    port.wait_for_more(0);  // an arrival before the look may be reported once
    EXPECT_EQ(port.wait_for_more(50000), SerialWait::TimedOut) << "only older bytes wait";
    std::thread writer([&pty] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        pty.write_far_end({4, 5});
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.wait_for_more(30000000), SerialWait::Readable);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    writer.join();
    port.wake();
    EXPECT_EQ(port.wait_for_more(30000000), SerialWait::Woken);
}

TEST(BaudIndex, TableAndOutOfRange) {
    const int expected[] = {9600, 14400, 19200, 38400, 57600, 115200};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(baud_for_index(i), expected[i]);
    EXPECT_FALSE(baud_for_index(-1));
    EXPECT_FALSE(baud_for_index(6));
}

// --- COM numbers ---------------------------------------------------------------------------

TEST(PortResolver, ComNamesAndPortOptions) {
    EXPECT_EQ(parse_com_name("COM1"), 1);
    EXPECT_EQ(parse_com_name("com32"), 32);
    EXPECT_FALSE(parse_com_name("COM0"));
    EXPECT_FALSE(parse_com_name("COM33"));
    EXPECT_FALSE(parse_com_name("COM"));
    EXPECT_FALSE(parse_com_name("LPT1"));
    EXPECT_FALSE(parse_com_name("COM1x"));

    EXPECT_EQ(parse_port_option("COM3=/dev/pts/4"), (PortMapping{3, "/dev/pts/4"}));
    EXPECT_FALSE(parse_port_option("COM3"));
    EXPECT_FALSE(parse_port_option("COM3="));
    EXPECT_FALSE(parse_port_option("/dev/ttyS0"));
    EXPECT_FALSE(parse_port_option("COM40=/dev/ttyS0"));
}

class FakeSysfs {
  public:
    void add(const std::string& name, std::optional<int> uart_type = std::nullopt) {
        std::filesystem::create_directories(dir_.path() / name);
        if (uart_type) test::write_text(dir_.file(name + "/type"), std::to_string(*uart_type));
    }
    const std::filesystem::path& root() const { return dir_.path(); }

  private:
    test::TempDir dir_;
};

TEST(PortResolver, DevicesPresentAreUartsThenUsbThenAcmInNumericOrder) {
    FakeSysfs sys;
    sys.add("console");
    sys.add("tty1");
    sys.add("ttyS0", 0);  // a slot without hardware
    sys.add("ttyS1", 4);
    sys.add("ttyS10", 4);
    sys.add("ttyS2", 4);
    sys.add("ttyS3");  // no type at all
    sys.add("ttyUSB10");
    sys.add("ttyUSB2");
    sys.add("ttyACM0");
    sys.add("ttyUSBx");
    const std::vector<std::string> expected = {"/dev/ttyS1",   "/dev/ttyS2",    "/dev/ttyS10",
                                               "/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyACM0"};
    EXPECT_EQ(find_serial_devices(sys.root()), expected);
    EXPECT_TRUE(find_serial_devices(sys.root() / "missing").empty());
}

TEST(PortResolver, DevicesPresentAreNumberedFromCom1WithoutMapping) {
    const PortTable t = resolve_ports({}, {}, {"/dev/ttyS1", "/dev/ttyUSB0"});
    EXPECT_FALSE(t.from_explicit_mapping);
    EXPECT_EQ(t.path(1), "/dev/ttyS1");
    EXPECT_EQ(t.path(2), "/dev/ttyUSB0");
    EXPECT_FALSE(t.present(3));
    EXPECT_EQ(t.path(0), "");
    EXPECT_EQ(t.path(33), "");
}

TEST(PortResolver, AnyExplicitMappingHidesTheDevicesPresent) {
    const IniFile ini = IniFile::parse("[Ports]\nCOM2 = /dev/ttyUSB7\nCOM3=/dev/pts/9\nCOM40=x\n");
    const std::vector<PortMapping> from_ini = ini_port_mappings(ini);
    ASSERT_EQ(from_ini.size(), 2u);
    const PortTable t = resolve_ports({{3, "/dev/pts/4"}}, from_ini, {"/dev/ttyS0", "/dev/ttyS1"});
    EXPECT_TRUE(t.from_explicit_mapping);
    EXPECT_FALSE(t.present(1));  // the stray ttyS0 is not COM1
    EXPECT_EQ(t.path(2), "/dev/ttyUSB7");
    EXPECT_EQ(t.path(3), "/dev/pts/4");  // the command line wins over the INI file
}

// --- Port enumeration into the settings ----------------------------------------------------

PortTable table_with(std::initializer_list<int> com_numbers) {
    PortTable t;
    for (int n : com_numbers) t.paths[static_cast<size_t>(n - 1)] = "/dev/x" + std::to_string(n);
    return t;
}

TEST(EnumeratePorts, ComPortMovesToTheFirstPortAndGpsToTheSecond) {
    AppState app;
    app.settings.ComPort = 0;
    app.settings.ComPortGPS = 1;
    enumerate_ports(head_link_context(app), table_with({3, 7}));
    EXPECT_EQ(app.settings.ComPort, 2);
    EXPECT_EQ(app.settings.ComPortGPS, 6);
    EXPECT_EQ(app.run.gps_enabled, 1);
    EXPECT_EQ(app.link.port_present[2], 1);
    EXPECT_EQ(app.link.port_present[6], 1);
    EXPECT_EQ(app.link.port_present[0], 0);
    EXPECT_EQ(app.link.available_ports[0], 2);
    EXPECT_EQ(app.link.available_ports[1], 6);
    EXPECT_EQ(app.link.available_ports[2], -1);
}

TEST(EnumeratePorts, ValidChoicesAreKept) {
    AppState app;
    app.settings.ComPort = 6;
    app.settings.ComPortGPS = 2;
    enumerate_ports(head_link_context(app), table_with({3, 7}));
    EXPECT_EQ(app.settings.ComPort, 6);
    EXPECT_EQ(app.settings.ComPortGPS, 2);
}

TEST(EnumeratePorts, OnePortDisablesTheGpsAndNoPortLeavesNoHeadPort) {
    AppState app;
    app.run.gps_enabled = 1;
    enumerate_ports(head_link_context(app), table_with({1}));
    EXPECT_EQ(app.settings.ComPort, 0);
    EXPECT_EQ(app.run.gps_enabled, 0);

    enumerate_ports(head_link_context(app), table_with({}));
    EXPECT_EQ(app.settings.ComPort, -1);
    EXPECT_EQ(app.run.gps_enabled, 0);
}

TEST(EnumeratePorts, AComPortOfMinusOneFindsAPortOnceOneExists) {
    AppState app;
    app.settings.ComPort = -1;
    enumerate_ports(head_link_context(app), table_with({5}));
    EXPECT_EQ(app.settings.ComPort, 4);
}

}  // namespace
}  // namespace kelvanor
