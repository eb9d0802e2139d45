#pragma once
// The GPS port and its reader thread. The port is only ever read: nothing is sent to the
// receiver. Every 100 ms the thread takes what the port has queued (at most 128 bytes),
// assembles it into sentences and dispatches them; the parsers update position_text,
// speed_knots and heading_degrees and redraw their read-outs through the hooks.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "gps/nmea_parser.h"
#include "platform/serial_port.h"

namespace kelvanor {

inline constexpr int64_t kGpsPassInterval_us = 100'000;

// How the input arrives. A serial line brings a few bytes per pass, and what queued up behind
// a finished line is stale; a network source brings each second's sentences at once, and all
// of them are read, so that the sentence chosen for the position is never among those
// thrown away.
enum class GpsInput { Serial, Stream };

// Line speed of a GPSBaudRate value: 9600 for Baud9600, 4800 for anything else.
int gps_baud_for_setting(GpsBaud gps_baud_rate);

// One pass of the reader: reads what is queued (at most one chunk), drops it in FILE mode or
// while Hold is on, and otherwise assembles and dispatches it. After a line has ended the
// port's queued input is thrown away, so that the program works on the newest data; a line
// begun in the chunk is then dropped too when its continuation was among what was thrown
// away. A Stream input is read chunk by chunk until nothing is queued (bounded), and nothing is
// thrown away. Runs on the reader thread; the tests call it directly.
void gps_reader_pass(const GpsContext& context, SerialPort& port, const GpsReadoutHooks& hooks,
                     GpsInput input = GpsInput::Serial);

// Reads and throws away what the port has queued; returns how many bytes that was.
size_t discard_queued_input(SerialPort& port);

// Owns the GPS port and the reader thread. open_gps_port, start_gps_reader and stop_gps are
// called from the GUI thread (run-mode switch, Com Ports dialog, close handling).
class GpsReader {
  public:
    GpsReader(const GpsContext& context, std::unique_ptr<SerialPort> port,
              GpsReadoutHooks hooks = {});
    ~GpsReader();
    GpsReader(const GpsReader&) = delete;
    GpsReader& operator=(const GpsReader&) = delete;

    // Opens the device for the receiver and throws away whatever it had queued. A reader
    // still running on an earlier port is stopped first. A given `port` takes the place of
    // the one held (a network source instead of a serial line), read as `input` says.
    SerialOpenResult open_gps_port(const std::string& device_path,
                                   std::unique_ptr<SerialPort> port = nullptr,
                                   GpsInput input = GpsInput::Serial);

    // Sets the line (4800 or 9600 baud by GPSBaudRate, 8N1) and starts the thread. False,
    // with no thread, when the port is not open or refuses the line settings. Starting a
    // reader that runs already changes nothing and returns true.
    bool start_gps_reader();

    // Clears the run flag, wakes the thread and joins it, and only then closes the port. A
    // second call, or a call when nothing was opened, does nothing. Must not be called from
    // inside a read-out hook (the hooks run on the reader thread).
    void stop_gps();

    bool is_running() const;

    // The hooks are read by the thread without a lock: change them only while it is stopped.
    void set_readout_hooks(GpsReadoutHooks hooks);

  private:
    void run();

    GpsContext context_;
    std::unique_ptr<SerialPort> port_;
    GpsInput input_ = GpsInput::Serial;
    GpsReadoutHooks hooks_;
    std::thread thread_;
    mutable std::mutex control_mutex_;  // open, start and stop from more than one caller
};

}  // namespace kelvanor
