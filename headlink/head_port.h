#pragma once
// The head's serial port and the acquisition thread that drives it: open, start, stop.
//
// open() takes a zero-based COM number (ComPort) and resolves it through the port table;
// start() configures the line, raises DTR and starts the thread; stop() clears the run flag,
// wakes and joins the thread, drops DTR and closes the port. After a stop the port is none,
// so a second stop (the FILE command and the run-mode switch both call it) does nothing.
// All three run on the GUI thread.

#include <memory>
#include <set>
#include <string>
#include <thread>

#include "headlink/acquisition.h"
#include "platform/serial_port.h"

namespace kelvanor {

class Clock;
class UiServices;
struct PortTable;

// The serial ports as the program sees them: port_present and available_ports filled from the
// table; ComPort moved to the first port when it names none (-1 when no port exists); with two
// ports or more the GPS is enabled and ComPortGPS moved to the second port when it names none.
void enumerate_ports(const HeadLinkContext& app, const PortTable& table);

class HeadPort {
  public:
    // `port` is the line to drive; a PosixSerialPort when none is given.
    HeadPort(const HeadLinkContext& app, AcquisitionHooks& hooks, Clock& clock, UiServices& ui,
             std::unique_ptr<SerialPort> port = nullptr);
    ~HeadPort();
    HeadPort(const HeadPort&) = delete;
    HeadPort& operator=(const HeadPort&) = delete;

    // open_head_port: opens COM(com_port + 1) as app.link.ports maps it. A failure leaves the
    // port in the failed state that start() refuses and stop() clears. A device that exists
    // but may not be opened for lack of permission is reported once per device.
    SerialOpenResult open(int32_t com_port);

    // start_head_port: derives the head model, sets the line (baud index 0..5; any other keeps
    // the rate), raises DTR, drops RTS and starts the acquisition thread. acquisition_running
    // tells whether the line was set up. False when no thread runs.
    bool start(int32_t baud_index = kHeadBaudIndex);

    // stop_head_port. Harmless when nothing is open or running.
    void stop();

    bool is_open() const { return state_ == State::Open; }
    bool thread_running() const { return thread_.joinable(); }
    // The device path of the open port; empty when none.
    const std::string& device_path() const { return port_->path(); }

  private:
    enum class State { None, OpenFailed, Open };

    HeadLinkContext app_;
    AcquisitionHooks& hooks_;
    Clock& clock_;
    UiServices& ui_;
    std::unique_ptr<SerialPort> port_;
    State state_ = State::None;
    std::thread thread_;
    std::set<std::string> permission_reported_;
};

}  // namespace kelvanor
