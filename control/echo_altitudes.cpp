#include "control/echo_altitudes.h"

#include <algorithm>
#include <optional>

#include "control/app_state.h"
#include "datafile/ping_record.h"
#include "datafile/record_echoes.h"
#include "geo/sample_range.h"

namespace kelvanor {

std::array<float, 2> live_echo_altitudes(const PingContext& app, int32_t ping_interval_ms) {
    std::array<float, 2> altitudes{};
    const RecordStamp stamp =
        record_stamp_from_state(app.settings, app.head, app.run, ping_interval_ms, 0);
    RecordBuffer record{};
    const size_t reply_length =
        std::min<size_t>(static_cast<size_t>(std::max<int32_t>(app.head.reply_length, 0)),
                         app.head.head_reply.size());
    const std::optional<size_t> length =
        encode_ping_record(stamp, {app.head.head_reply.data(), reply_length}, record);
    if (!length) return altitudes;
    const RecordLimits limits{*length, reply_length};
    if (const std::optional<RecordEchoes> echoes =
            record_echoes({record.data(), *length}, limits)) {
        for (const SonarSide side : {SonarSide::Port, SonarSide::Starboard}) {
            if (const std::optional<float> a = side_altitude_metres(*echoes, side)) {
                altitudes[static_cast<size_t>(side)] = *a;
            }
        }
    }
    return altitudes;
}

}  // namespace kelvanor
