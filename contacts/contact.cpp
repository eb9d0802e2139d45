#include "contacts/contact.h"

#include <charconv>
#include <cmath>

#include "contacts/text_escape.h"
#include "export/track_writer.h"

namespace kelvanor {

ContactPing contact_ping_from_track(const TrackPing& ping, SonarSide side) {
    ContactPing p;
    p.record = ping.index;
    if (ping.has_time) p.time_seconds = ping.time_seconds;
    if (ping.has_position) p.antenna = ping.position;
    p.heading_degrees = ping.heading_degrees;
    if (const auto a = ping.altitude_metres[static_cast<size_t>(side)]) p.altitude_metres = *a;
    return p;
}

Contact locate_contact(const ContactPing& ping, SonarSide side, double slant_metres,
                       const SensorOffsets& offsets) {
    Contact c;
    c.ping = ping;
    c.side = side;
    c.slant_range_metres = slant_metres;
    if (ping.altitude_metres) {
        c.ground_range_metres = ground_range_metres(slant_metres, *ping.altitude_metres);
    }
    if (!ping.antenna) {
        c.no_position_reason = "no position at this ping";
    } else if (!ping.heading_degrees) {
        c.no_position_reason = "no heading at this ping";
    } else if (!ping.altitude_metres) {
        c.no_position_reason = "no altitude at this ping";
    } else if (!c.ground_range_metres) {
        c.no_position_reason = "inside the water column";
    } else {
        const GeoPoint sensor = sensor_position(*ping.antenna, *ping.heading_degrees, offsets);
        c.target = across_track_point(sensor, *ping.heading_degrees, side, *c.ground_range_metres);
    }
    return c;
}

std::string fixed_text(double value, int decimals) {
    if (!std::isfinite(value)) return "null";
    char text[64];
    const auto r =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return std::string(text, r.ptr);
}

std::string contact_time_text(const std::optional<double>& time_seconds) {
    if (!time_seconds) return {};
    const double whole = std::floor(*time_seconds);
    std::string text = iso_utc_text(static_cast<int64_t>(whole), *time_seconds - whole);
    if (!text.empty() && text.back() == 'Z') text.pop_back();  // local time, not UTC
    return text;
}

std::string contact_time_text(const ContactPing& ping) {
    return ping.time_seconds ? contact_time_text(ping.time_seconds) : ping.time_text;
}

const char* side_name(SonarSide side) {
    return side == SonarSide::Port ? "port" : "stbd";
}

std::string contact_json(const Contact& c) {
    auto number = [](const std::optional<double>& v, int decimals) {
        return v ? fixed_text(*v, decimals) : std::string("null");
    };
    auto text = [](const std::string& s) { return '"' + json_escaped(s) + '"'; };
    std::string j = "{";
    j += "\"number\":" + std::to_string(c.number);
    j += ",\"note\":" + text(c.note);
    j += ",\"latitude\":" +
         number(c.target ? std::optional(c.target->latitude_degrees) : std::nullopt, 8);
    j += ",\"longitude\":" +
         number(c.target ? std::optional(c.target->longitude_degrees) : std::nullopt, 8);
    j += ",\"has_position\":" + std::string(c.target ? "true" : "false");
    if (!c.target) j += ",\"no_position\":" + text(c.no_position_reason);
    if (c.ping.antenna) {
        j += ",\"ship\":{\"latitude\":" + fixed_text(c.ping.antenna->latitude_degrees, 8) +
             ",\"longitude\":" + fixed_text(c.ping.antenna->longitude_degrees, 8) + "}";
    } else {
        j += ",\"ship\":null";
    }
    const std::string time = contact_time_text(c.ping);
    j += ",\"time\":" + (time.empty() ? std::string("null") : text(time));
    j += ",\"record\":" + (c.ping.record ? std::to_string(*c.ping.record) : std::string("null"));
    j += ",\"side\":" + text(side_name(c.side));
    j += ",\"slant_range_metres\":" + fixed_text(c.slant_range_metres, 2);
    j += ",\"ground_range_metres\":" + number(c.ground_range_metres, 2);
    j += ",\"altitude_metres\":" + number(c.ping.altitude_metres, 2);
    j += ",\"heading_degrees\":" + number(c.ping.heading_degrees, 1);
    j += ",\"length_metres\":" + number(c.length_metres, 2);
    j += ",\"height_metres\":" + number(c.height_metres, 2);
    j += ",\"picture\":" + (c.picture.empty() ? std::string("null") : text(c.picture));
    j += "}";
    return j;
}

}  // namespace kelvanor
