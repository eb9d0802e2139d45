#pragma once
// Turns SIGINT and SIGTERM into a Qt signal on the GUI thread, so that they run the same close
// handling as the window's close box. The handler only writes a byte into a pipe.

#include <QObject>

class QSocketNotifier;

namespace kelvanor {

class SignalWatcher : public QObject {
    Q_OBJECT
  public:
    explicit SignalWatcher(QObject* parent = nullptr);
    ~SignalWatcher() override;
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

  signals:
    void termination_requested(int signal_number);

  private:
    int fds_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kelvanor
