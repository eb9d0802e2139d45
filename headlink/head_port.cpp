#include "headlink/head_port.h"

#include <algorithm>
#include <system_error>

#include "headlink/switch_command.h"
#include "platform/port_resolver.h"
#include "platform/posix_serial_port.h"
#include "platform/reopening_serial_port.h"
#include "platform/ui_services.h"

namespace kelvanor {

void enumerate_ports(const HeadLinkContext& app, const PortTable& table) {
    HeadLinkState& link = app.link;
    link.ports = table;
    link.port_present.fill(0);
    link.available_ports.fill(-1);
    int count = 0;
    for (int n = 1; n <= kMaxComPorts; ++n) {
        if (!table.present(n)) continue;
        link.port_present[static_cast<size_t>(n - 1)] = 1;
        link.available_ports[static_cast<size_t>(count++)] = n - 1;
    }
    const auto& available = link.available_ports;
    // Only real entries count: a ComPort of -1 left from a machine without ports must not
    // match the unused -1 entries once a port exists.
    auto listed = [&available](int32_t port) {
        return port >= 0 && std::find(available.begin(), available.end(), port) != available.end();
    };
    Settings& s = app.settings;
    if (!listed(s.ComPort)) s.ComPort = available[0];
    if (count >= 2) {
        app.run.gps_enabled = true;
        if (!listed(s.ComPortGPS)) s.ComPortGPS = available[1];
    } else {
        app.run.gps_enabled = false;
    }
}

HeadPort::HeadPort(const HeadLinkContext& app, AcquisitionHooks& hooks, Clock& clock,
                   UiServices& ui, std::unique_ptr<SerialPort> port)
    : app_(app), hooks_(hooks), clock_(clock), ui_(ui), port_(std::move(port)) {
    // A device that goes away is reopened by its path until it is back.
    if (!port_)
        port_ = std::make_unique<ReopeningSerialPort>(std::make_unique<PosixSerialPort>(), clock_);
}

HeadPort::~HeadPort() {
    stop();
}

SerialOpenResult HeadPort::open(int32_t com_port) {
    stop();
    const std::string& path = app_.link.ports.path(com_port + 1);
    if (path.empty()) {
        state_ = State::OpenFailed;
        return {SerialOpenStatus::NotFound, 0};
    }
    const SerialOpenResult result = port_->open(path);
    if (!result.ok()) {
        state_ = State::OpenFailed;
        // A silent "No Data" would send the operator after the wrong fault.
        if (result.status == SerialOpenStatus::PermissionDenied &&
            permission_reported_.insert(path).second) {
            ui_.message_box(describe_open_failure(path, result), "Serial Port",
                            MessageKind::Warning);
        }
        return result;
    }
    state_ = State::Open;
    return result;
}

bool HeadPort::start(int32_t baud_index) {
    if (state_ == State::None || thread_.joinable()) return false;
    update_head_model(app_.head);
    SerialLineSettings line;
    line.baud = baud_for_index(baud_index).value_or(0);
    const bool configured = state_ == State::Open && port_->set_line(line);
    app_.link.acquisition_running = configured ? 1 : 0;
    if (!configured) return false;

    // The modem lines are set before the thread runs, so that its first command's RTS
    // framing is never cut by this RTS drop.
    port_->set_dtr(true);
    port_->set_rts(false);
    // A wake-up left over from an earlier stop would cut the new thread's start-up pause.
    port_->wait_woken(0);
    app_.link.no_data_last_second = -1;
    app_.link.last_stamped_time = -1;
    try {
        thread_ = std::thread([this] {
            AcquisitionContext context{app_, *port_, hooks_, clock_};
            run_acquisition(context);
        });
    } catch (const std::system_error&) {
        app_.link.acquisition_running = 0;
        ui_.message_box("Failed to create thread!", "CreateThread Error!", MessageKind::Warning);
        return false;
    }
    return true;
}

void HeadPort::stop() {
    if (state_ == State::None) return;
    app_.link.acquisition_running = 0;
    if (thread_.joinable()) {
        port_->wake();
        // The thread finishes the poll, command or ping under way; the port closes after it.
        thread_.join();
    }
    if (state_ == State::Open) {
        port_->set_dtr(false);
        port_->flush(SerialQueue::Both);
        port_->close();
    }
    state_ = State::None;
}

}  // namespace kelvanor
