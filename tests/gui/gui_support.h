#pragma once
// Helpers for the GUI tests: a clock that needs no real second to calibrate, a temporary
// working folder, and waiting for the event loop.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QTemporaryDir>
#include <QThread>

#include <functional>

#include "platform/clock.h"

namespace kelvanor::test {

// Every read of the calendar time moves it on; a second passes every 1000 reads.
class FastClock : public Clock {
  public:
    std::time_t calendar_seconds() override { return 1700000000 + reads_++ / 1000; }
    uint64_t monotonic_ms() override { return static_cast<uint64_t>(reads_); }
    void sleep_ms(int) override {}

  private:
    long reads_ = 0;
};

// Serves events until the condition holds or ten seconds have gone.
inline bool wait_until(const std::function<bool()>& condition) {
    QDeadlineTimer deadline(10000);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return true;
}

// Makes a fresh temporary folder the working folder for the test's lifetime.
class WorkingFolder {
  public:
    WorkingFolder() : previous_(QDir::currentPath()) { QDir::setCurrent(dir_.path()); }
    ~WorkingFolder() { QDir::setCurrent(previous_); }
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

  private:
    QTemporaryDir dir_;
    QString previous_;
};

}  // namespace kelvanor::test
