#include "gps/gps_reader.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <utility>

#include "gps/gps_line_assembler.h"

namespace kelvanor {

namespace {

constexpr int kLowestThreadNice = 19;

// The reader must never take time from the acquisition thread. Failing to lower the
// priority only costs that, so it is not reported.
void lower_own_priority() {
    (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kLowestThreadNice);
}

}  // namespace

int gps_baud_for_setting(GpsBaud gps_baud_rate) {
    return gps_baud_rate == GpsBaud::Baud9600 ? 9600 : 4800;
}

void gps_reader_pass(const GpsContext& context, SerialPort& port, const GpsReadoutHooks& hooks,
                     GpsInput input) {
    if (input == GpsInput::Stream) {
        // A source that keeps sending cannot hold the reader here.
        constexpr int kMaxChunks = 256;
        for (int i = 0; i < kMaxChunks; ++i) {
            const std::optional<size_t> waiting = port.bytes_waiting();
            if (!waiting || *waiting == 0) return;
            std::array<uint8_t, kGpsChunkSize> chunk{};
            const std::optional<size_t> got =
                port.read(std::span(chunk).first(std::min(*waiting, chunk.size())));
            if (!got || *got == 0) return;
            if (context.settings.RunMode != RunMode::Head || context.run.hold) {
                clear_gps_line(context.gps.line);
                continue;
            }
            assemble_gps_chunk(context, std::span(chunk).first(std::min(*got, chunk.size())),
                               hooks);
        }
        return;
    }
    const std::optional<size_t> waiting = port.bytes_waiting();
    if (!waiting || *waiting == 0) return;

    std::array<uint8_t, kGpsChunkSize> chunk{};
    const size_t wanted = std::min(*waiting, chunk.size());
    const std::optional<size_t> got = port.read(std::span(chunk).first(wanted));
    if (!got || *got == 0) return;

    // In FILE mode and while Hold is on the receiver is read and not listened to, so that
    // no stale sentence is used once Hold is released.
    // A line begun before is dropped with it: it would otherwise be completed by bytes that
    // arrive after the release.
    if (context.settings.RunMode != RunMode::Head || context.run.hold) {
        clear_gps_line(context.gps.line);
        return;
    }

    const size_t count = std::min(*got, chunk.size());
    if (assemble_gps_chunk(context, std::span(chunk).first(count), hooks)) {
        // A line has ended: what queued up meanwhile is stale. If any of it is thrown away,
        // the line begun at the end of this chunk has lost its middle and must not be
        // completed by whatever comes next.
        if (discard_queued_input(port) > 0) clear_gps_line(context.gps.line);
    }
}

size_t discard_queued_input(SerialPort& port) {
    // Read rather than flushed, so that the count is known. Bounded: a receiver that keeps
    // sending cannot hold the reader here.
    constexpr int kMaxReads = 16;
    std::array<uint8_t, 512> scratch{};
    size_t discarded = 0;
    for (int i = 0; i < kMaxReads; ++i) {
        const std::optional<size_t> waiting = port.bytes_waiting();
        if (!waiting || *waiting == 0) break;
        const std::optional<size_t> got =
            port.read(std::span(scratch).first(std::min(*waiting, scratch.size())));
        if (!got || *got == 0) break;
        discarded += *got;
    }
    return discarded;
}

GpsReader::GpsReader(const GpsContext& context, std::unique_ptr<SerialPort> port,
                     GpsReadoutHooks hooks)
    : context_(context), port_(std::move(port)), hooks_(std::move(hooks)) {}

GpsReader::~GpsReader() {
    stop_gps();
}

SerialOpenResult GpsReader::open_gps_port(const std::string& device_path,
                                          std::unique_ptr<SerialPort> port, GpsInput input) {
    stop_gps();
    std::lock_guard lock(control_mutex_);
    if (port) {
        port_ = std::move(port);
        input_ = input;
    }
    SerialOpenResult result = port_->open(device_path);
    if (result.ok()) port_->flush(SerialQueue::Both);
    return result;
}

bool GpsReader::start_gps_reader() {
    std::lock_guard lock(control_mutex_);
    if (!port_->is_open()) return false;
    if (thread_.joinable()) return true;

    SerialLineSettings line;
    line.baud = gps_baud_for_setting(context_.settings.GPSBaudRate);
    if (!port_->set_line(line)) {
        context_.gps.gps_running = 0;
        return false;
    }
    clear_gps_line(context_.gps.line);
    context_.gps.gps_running = 1;
    thread_ = std::thread([this] { run(); });
    // Some receivers take their power from DTR; a pseudo-terminal has no such line.
    (void)port_->set_dtr(true);
    return true;
}

void GpsReader::stop_gps() {
    std::lock_guard lock(control_mutex_);
    if (!thread_.joinable() && !port_->is_open()) return;

    context_.gps.gps_running = 0;
    port_->wake();
    // The port stays open until the thread has left its loop.
    if (thread_.joinable()) thread_.join();
    (void)port_->set_dtr(false);
    port_->flush(SerialQueue::Both);
    port_->close();
}

bool GpsReader::is_running() const {
    std::lock_guard lock(control_mutex_);
    return thread_.joinable() && context_.gps.gps_running == 1;
}

void GpsReader::set_readout_hooks(GpsReadoutHooks hooks) {
    std::lock_guard lock(control_mutex_);
    if (!thread_.joinable()) hooks_ = std::move(hooks);
}

void GpsReader::run() {
    lower_own_priority();
    while (context_.gps.gps_running == 1) {
        // The pass interval is a wait that stop_gps() ends at once.
        port_->wait_woken(kGpsPassInterval_us);
        if (context_.gps.gps_running != 1) break;
        gps_reader_pass(context_, *port_, hooks_, input_);
        context_.gps.device_missing = port_->device_missing() ? 1 : 0;
        context_.gps.device_losses = port_->losses();
    }
    context_.gps.device_missing = 0;
}

}  // namespace kelvanor
