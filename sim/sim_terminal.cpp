#include "sim/sim_terminal.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace kelvanor {

namespace {

void close_fd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

SimTerminal::~SimTerminal() {
    close_fd(slave_hold_fd);
    close_fd(master_fd);
    close_fd(wake_read_fd);
    close_fd(wake_write_fd);
}

bool SimTerminal::open(std::string* error) {
    auto fail = [error](const char* what) {
        if (error) *error = std::string(what) + ": " + std::strerror(errno);
        return false;
    };
    master_fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_fd < 0) return fail("posix_openpt");
    if (::grantpt(master_fd) != 0) return fail("grantpt");
    if (::unlockpt(master_fd) != 0) return fail("unlockpt");
    char name[128];
    if (::ptsname_r(master_fd, name, sizeof name) != 0) return fail("ptsname");
    device_path = name;
    slave_hold_fd = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_hold_fd < 0) return fail("open pseudo-terminal");
    termios raw{};
    if (::tcgetattr(slave_hold_fd, &raw) != 0) return fail("tcgetattr");
    ::cfmakeraw(&raw);
    raw.c_cflag |= CLOCAL | CREAD;
    if (::tcsetattr(slave_hold_fd, TCSANOW, &raw) != 0) return fail("tcsetattr");
    const int flags = ::fcntl(master_fd, F_GETFL);
    if (flags < 0 || ::fcntl(master_fd, F_SETFL, flags | O_NONBLOCK) != 0) return fail("fcntl");
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return fail("pipe");
    wake_read_fd = fds[0];
    wake_write_fd = fds[1];
    return true;
}

void SimTerminal::wake() {
    const uint8_t byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake_write_fd, &byte, 1);
}

}  // namespace kelvanor
