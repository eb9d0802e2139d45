// vkd dump: one JSON object per record, in file order, as playback reads it.

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "control/app_state.h"
#include "datafile/playback.h"
#include "vkd_commands.h"

namespace kelvanor::vkd {

namespace {

std::string hex(std::span<const uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 15]);
    }
    return out;
}

template <size_t N>
std::string text(const std::array<char, N>& t) {
    return std::string(t.data(),
                       static_cast<size_t>(std::find(t.begin(), t.end(), '\0') - t.begin()));
}

nlohmann::ordered_json record_json(int64_t index, const RecordRead& read,
                                   const RecordBuffer& buffer, const AppState& app) {
    const HeadState& head = app.head;
    const uint8_t marker = buffer[37];
    const bool has_settings = marker == 0x10 || marker == 0x11;
    const size_t s = read.limits.record_length;
    const bool has_position = std::any_of(head.position_text.begin(), head.position_text.end(),
                                          [](char c) { return c != 0; });
    nlohmann::ordered_json j;
    j["index"] = index;
    j["offset"] = read.offset;
    j["size_code"] = buffer[3];
    j["record_length"] = s;
    j["reply_length"] = read.limits.reply_length;
    j["date"] = text(head.date_text);
    j["time"] = text(head.time_text);
    j["seconds"] = head.time_seconds.load();
    j["head_id"] = marker;
    j["side"] = has_settings ? nlohmann::ordered_json(app.datafile.file_side)
                             : nlohmann::ordered_json(nullptr);
    j["gain"] = app.settings.SSGain.load();
    j["sample_bits"] = head.sample_bits.load();
    j["frequency_code"] = head.frequency_code.load();
    j["position"] = has_position ? nlohmann::ordered_json(std::string(head.position_text.data(),
                                                                      head.position_text.size()))
                                 : nlohmann::ordered_json(nullptr);
    j["position_valid"] = app.datafile.file_position_valid != 0;
    j["ping_interval_ms"] = app.ping.ping_interval_ms.load();
    j["speed_knots"] = app.run.speed_knots.load();
    j["heading_degrees"] = app.run.heading_degrees.load();
    j["frequency"] = static_cast<int32_t>(app.settings.file_frequency.load());
    j["channel_balance"] = app.datafile.file_channel_balance;
    j["format_flag"] = app.datafile.file_format_flag;
    j["back_link"] = read_be16(buffer.data() + s - 2);
    j["reply"] = hex({head.head_reply.data(), read.limits.reply_length});
    return j;
}

}  // namespace

int dump(const std::string& path) {
    auto file = open_data_file(path);
    if (!file) return 1;

    AppState app;
    start_playback(app, *file);
    RecordBuffer buffer{};
    // A record that cannot be read is reported, and the dump goes on from the next record
    // start past it, as playback does; any such fault makes the exit status 1.
    bool faulted = false;
    for (int64_t index = 0;;) {
        const RecordRead read = read_record(*file, buffer);
        if (read.status == RecordReadStatus::EndOfFile) break;
        if (read.status != RecordReadStatus::Read) {
            const bool truncated = read.status == RecordReadStatus::Truncated;
            const std::string reason = truncated ? "the file ends inside the record"
                                                 : std::string(record_fault_text(read.fault));
            faulted = true;
            file_error(path, "record " + std::to_string(index) + " at offset " +
                                 std::to_string(read.offset) + " cannot be read: " + reason);
            if (truncated) break;
            file->seek(read.offset + 1);
            if (!sync_to_record(*file)) break;
            continue;
        }
        apply_record(app, buffer, read.limits);
        const std::string line =
            record_json(index, read, buffer, app)
                .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
        ++index;
    }
    if (std::fflush(stdout) != 0) return file_error("stdout", "cannot be written");
    return faulted ? 1 : 0;
}

Run add_dump(CLI::App& vkd) {
    CLI::App* command = vkd.add_subcommand(
        "dump",
        "Print every record as one JSON object per line (JSON Lines), as playback reads it.");
    auto path = std::make_shared<std::string>();
    command->add_option("FILE", *path, "the data file")->required();
    return [path] { return dump(*path); };
}

}  // namespace kelvanor::vkd
