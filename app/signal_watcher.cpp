#include "app/signal_watcher.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>

#include <atomic>
#include <csignal>

namespace kelvanor {

namespace {

// A signal handler can reach nothing but process-wide data: the write end of the pipe.
std::atomic<int> signal_pipe_write_fd{-1};

void on_signal(int signal_number) {
    const int fd = signal_pipe_write_fd.load();
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signal_number);
        [[maybe_unused]] ssize_t n = ::write(fd, &byte, 1);
    }
}

}  // namespace

SignalWatcher::SignalWatcher(QObject* parent) : QObject(parent) {
    if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) return;
    signal_pipe_write_fd = fds_[1];
    notifier_ = new QSocketNotifier(fds_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        while (::read(fds_[0], &byte, 1) == 1) emit termination_requested(byte);
    });
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

SignalWatcher::~SignalWatcher() {
    if (fds_[0] < 0) return;
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    signal_pipe_write_fd = -1;
    ::close(fds_[0]);
    ::close(fds_[1]);
}

}  // namespace kelvanor
