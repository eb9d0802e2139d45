#include "datafile/playback.h"

#include <algorithm>
#include <cstring>

#include "ping/ping_state.h"
#include "ping/process_ping.h"

namespace kelvanor {

RecordRead read_record(RecordSource& source, RecordBuffer& buffer) {
    RecordRead result;
    result.offset = source.tell();
    auto header = std::span<uint8_t, kRecordHeaderLength>(buffer.data(), kRecordHeaderLength);
    const size_t got = source.read(header);
    if (got == 0) {
        result.status = RecordReadStatus::EndOfFile;
        return result;
    }
    if (got < kRecordHeaderLength) {
        result.status = RecordReadStatus::Truncated;
        return result;
    }
    result.fault = check_record_header(header, result.limits);
    if (result.fault != RecordFault::None) {
        result.status = RecordReadStatus::Refused;
        return result;
    }
    const size_t rest = result.limits.record_length - kRecordHeaderLength;
    if (source.read(std::span<uint8_t>(buffer.data() + kRecordHeaderLength, rest)) < rest) {
        result.status = RecordReadStatus::Truncated;
        return result;
    }
    result.status = RecordReadStatus::Read;
    return result;
}

void apply_record(const PlaybackContext& app, const RecordBuffer& buffer,
                  const RecordLimits& limits) {
    restore_record_header(
        std::span<const uint8_t, kRecordHeaderLength>(buffer.data(), kRecordHeaderLength),
        app.record());
    restore_head_reply(std::span<const uint8_t>(buffer.data(), limits.record_length), limits,
                       app.head);
    take_head_model_from_reply(app.head, app.datafile);
}

bool sync_to_record(RecordSource& source) {
    constexpr size_t kChunk = 4096;
    constexpr size_t kKeep = kRecordMagic.size() - 1;
    uint8_t buf[kChunk + kKeep];
    int64_t base = source.tell();  // file offset of buf[0]
    size_t have = 0;
    for (;;) {
        const size_t got = source.read(std::span<uint8_t>(buf + have, kChunk));
        const size_t total = have + got;
        if (total >= kRecordMagic.size()) {
            const uint8_t* end = buf + total;
            const uint8_t* hit = std::search(static_cast<const uint8_t*>(buf), end,
                                             kRecordMagic.begin(), kRecordMagic.end());
            if (hit != end) {
                source.seek(base + (hit - buf));
                return true;
            }
        }
        if (got == 0) {
            source.seek(base + static_cast<int64_t>(total));
            return false;
        }
        const size_t keep = std::min(kKeep, total);
        std::memmove(buf, buf + total - keep, keep);
        base += static_cast<int64_t>(total - keep);
        have = keep;
    }
}

PlaybackHooks pipeline_playback_hooks(PingHooks& ping_hooks, Clock& clock) {
    PlaybackHooks hooks;
    hooks.process_ping = [&ping_hooks, &clock](const PlaybackContext& app) {
        process_ping(app, ping_hooks, clock);
    };
    hooks.reset_ping_tracking = [](const PlaybackContext& app) {
        reset_previous_ping_tracking(app.ping);
    };
    return hooks;
}

bool start_playback(const PlaybackContext& app, RecordSource& source) {
    uint8_t magic[kRecordMagic.size()] = {};
    if (!source.seek(0) || source.read(magic) < sizeof magic ||
        !std::equal(kRecordMagic.begin(), kRecordMagic.end(), magic)) {
        source.seek(0);
        return false;
    }
    source.seek(0);
    DataFileState& file = app.datafile;
    file.playback_file_size = source.size();
    file.playback_offset = 0;
    file.playback_percent = 0;
    file.playback_restart = 1;
    file.playback_restarted = 0;
    file.pings_this_pass = 0;
    file.playback_stalled = 0;
    file.records_skipped = 0;
    file.file_last_speed = 3.0f;
    file.file_last_heading = 0.0f;
    app.run.playback_file_open = true;
    return true;
}

namespace {

PlaybackStep end_of_file(const PlaybackContext& app, RecordSource& source,
                         const PlaybackHooks& hooks) {
    DataFileState& file = app.datafile;
    source.seek(0);
    file.playback_restart = 1;
    file.playback_offset = 0;
    file.playback_percent = 0;
    if (file.pings_this_pass == 0) {
        file.playback_stalled = 1;
        file.stalled_identity = source.identity();
    }
    file.pings_this_pass = 0;
    if (hooks.reset_ping_tracking) hooks.reset_ping_tracking(app);
    return PlaybackStep::Wrapped;
}

}  // namespace

PlaybackStep playback_step(const PlaybackContext& app, RecordSource& source, RecordBuffer& buffer,
                           const PlaybackHooks& hooks) {
    DataFileState& file = app.datafile;
    if (file.playback_stalled) {
        const FileIdentity now = source.identity();
        if (now == file.stalled_identity) return PlaybackStep::Stalled;
        file.playback_stalled = 0;
        file.playback_file_size = now.size;
    }

    app.head.reply_valid = 0;
    const RecordRead read = read_record(source, buffer);
    switch (read.status) {
        case RecordReadStatus::EndOfFile:
        case RecordReadStatus::Truncated:
            return end_of_file(app, source, hooks);
        case RecordReadStatus::Refused:
            ++file.records_skipped;
            source.seek(read.offset + 1);
            sync_to_record(source);
            return PlaybackStep::Skipped;
        case RecordReadStatus::Read:
            break;
    }

    if (hooks.copy_record) {
        hooks.copy_record(std::span<const uint8_t>(buffer.data(), read.limits.record_length));
    }
    apply_record(app, buffer, read.limits);
    app.ping.record_offset = read.offset;

    file.playback_offset = source.tell();
    const int64_t size = std::max<int64_t>(file.playback_file_size, 1);
    int32_t percent = static_cast<int32_t>(
        static_cast<float>(file.playback_offset) * 100.0f / static_cast<float>(size) + 0.5f);
    if (percent > 100 || percent < 0) percent = 0;
    file.playback_percent = percent;
    if (hooks.show_position) hooks.show_position(percent);

    if (hooks.process_ping) hooks.process_ping(app);
    ++file.pings_this_pass;

    file.playback_restarted = file.playback_restart;
    file.playback_restart = 0;
    return PlaybackStep::Played;
}

bool seek_playback(const PlaybackContext& app, RecordSource& source, int32_t slider_position,
                   const PlaybackHooks& hooks) {
    if (slider_position < 1 || slider_position > 99) return false;
    const float share = static_cast<float>(slider_position) * 0.01f;
    const int64_t size = source.size();
    int64_t offset = static_cast<int64_t>(share * static_cast<float>(size));
    offset = std::clamp<int64_t>(offset, 0, size);
    source.seek(offset);
    sync_to_record(source);
    app.datafile.playback_stalled = 0;
    if (hooks.reset_ping_tracking) hooks.reset_ping_tracking(app);
    return true;
}

}  // namespace kelvanor
