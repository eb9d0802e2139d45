#include "gps/nmea_parser.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <mutex>

#include "datafile/ping_record.h"

namespace kelvanor {

namespace {

// Scanning limits of the fields.
constexpr int kWholePartScan = 6;
constexpr int kFractionScan = 11;
constexpr int kFieldSkipScan = 12;
constexpr int kNumberFieldScan = 12;
constexpr size_t kLatitudeStart = 7;  // right after the first "," of "$GPGLL,"
constexpr size_t kVtgScanFirst = 7;
constexpr size_t kVtgScanLast = 84;
constexpr size_t kVtgNumberSpan = 10;
constexpr float kMaxCourseDegrees = 360.0f;

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
bool is_letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Reads stay inside the line whatever position a malformed sentence leads a scan to.
char char_at(const GpsLine& line, size_t position) {
    return position < line.text.size() ? line.text[position] : '\0';
}

// Digits and "." of a speed or course field. A field scan appends at most twelve
// characters; the buffer keeps its terminating zero byte after them.
class NumberBuffer {
  public:
    void append(char c) {
        if (length_ < kCapacity - 1) text_[length_++] = c;
    }
    void clear() {
        text_.fill(0);
        length_ = 0;
    }
    void take(char c) {
        if (is_digit(c) || c == '.') {
            append(c);
        } else if (is_letter(c)) {
            clear();
        }
    }
    // The conversion reads the longest leading number, as the C conversion does, and gives 0
    // for an empty buffer or one that starts with no number. It does not depend on the
    // locale, which the GUI toolkit sets from the environment.
    double value() const {
        double result = 0.0;
        auto [end, error] =
            std::from_chars(text_.data(), text_.data() + length_, result, std::chars_format::fixed);
        (void)end;
        return error == std::errc() ? result : 0.0;
    }

  private:
    static constexpr size_t kCapacity = 13;
    std::array<char, kCapacity> text_{};
    size_t length_ = 0;
};

// Skips up to and including the next "," over at most `limit` characters; returns the
// position after the last character examined.
size_t skip_field(const GpsLine& line, size_t position, int limit) {
    for (int i = 0; i < limit; ++i) {
        if (char_at(line, position++) == ',') break;
    }
    return position;
}

// One coordinate: whole digits up to the ".", fraction digits up to the ",", then the
// hemisphere character. Returns the position of the hemisphere character.
size_t scan_coordinate(const GpsLine& line, size_t position, NmeaDigits& whole,
                       NmeaDigits& fraction, char& hemisphere) {
    for (int i = 0; i < kWholePartScan; ++i) {
        const char c = char_at(line, position++);
        if (c == '.') break;
        if (is_digit(c)) whole.append(c);
    }
    for (int i = 0; i < kFractionScan; ++i) {
        const char c = char_at(line, position++);
        if (c == ',') break;
        if (is_digit(c)) fraction.append(c);
    }
    hemisphere = char_at(line, position);
    return position;
}

// Latitude from `position`, longitude two characters after its hemisphere. Returns the
// position of the longitude hemisphere.
size_t scan_latitude_longitude(const GpsLine& line, size_t position, NmeaWorkFields& work) {
    const size_t latitude_hemisphere_at = scan_coordinate(
        line, position, work.latitude_whole, work.latitude_fraction, work.latitude_hemisphere);
    return scan_coordinate(line, latitude_hemisphere_at + 2, work.longitude_whole,
                           work.longitude_fraction, work.longitude_hemisphere);
}

struct NumberField {
    double value = 0.0;
    size_t next = 0;  // position after the field's ","
};

NumberField scan_number_field(const GpsLine& line, size_t position) {
    NumberBuffer number;
    for (int i = 0; i < kNumberFieldScan; ++i) {
        const char c = char_at(line, position++);
        if (c == ',') break;
        number.take(c);
    }
    return {number.value(), position};
}

// The number built from the characters at first..last (both included).
double number_between(const GpsLine& line, size_t first, size_t last) {
    NumberBuffer number;
    for (size_t i = first; i <= last; ++i) number.take(char_at(line, i));
    return number.value();
}

bool formatter_is(const GpsLine& line, const char (&name)[4]) {
    return char_at(line, 3) == name[0] && char_at(line, 4) == name[1] &&
           char_at(line, 5) == name[2];
}

void draw_speed_and_heading(const RunState& run, const GpsReadoutHooks& hooks) {
    if (hooks.draw_speed) hooks.draw_speed(run.speed_knots);
    if (hooks.draw_heading) hooks.draw_heading(run.heading_degrees);
}

}  // namespace

float bound_gps_speed_knots(double knots) {
    if (!(knots > 0.0)) return 0.0f;  // also a value that is no number
    if (knots > kGpsMaxSpeedKnots) return kGpsMaxSpeedKnots;
    return std::max(static_cast<float>(knots), kGpsMinSpeedKnots);
}

std::optional<float> bound_gps_heading_degrees(double degrees) {
    if (!std::isfinite(degrees) || degrees < 0.0 || degrees > kMaxCourseDegrees) {
        return std::nullopt;
    }
    return static_cast<float>(degrees);
}

NmeaFix parse_gll(const GpsLine& line) {
    NmeaFix fix;
    scan_latitude_longitude(line, kLatitudeStart, fix.position);
    return fix;
}

NmeaFix parse_gga(const GpsLine& line) {
    NmeaFix fix;
    scan_latitude_longitude(line, skip_field(line, kLatitudeStart, kFieldSkipScan), fix.position);
    return fix;
}

NmeaFix parse_rmc(const GpsLine& line) {
    NmeaFix fix;
    // After the time come the status character and its ",", which are not examined.
    const size_t latitude_at = skip_field(line, kLatitudeStart, kFieldSkipScan) + 2;
    const size_t longitude_hemisphere_at = scan_latitude_longitude(line, latitude_at, fix.position);
    if (!hemispheres_valid(fix.position)) return fix;

    const size_t speed_at = skip_field(line, longitude_hemisphere_at + 1, kFieldSkipScan);
    const NumberField speed = scan_number_field(line, speed_at);
    const NumberField course = scan_number_field(line, speed.next);
    fix.speed_knots = bound_gps_speed_knots(speed.value);
    fix.course_degrees = bound_gps_heading_degrees(course.value);
    return fix;
}

NmeaFix parse_vtg(const GpsLine& line) {
    NmeaFix fix;
    size_t true_course_mark = 0;  // position of the last "T"; 0 when none
    size_t knots_mark = 0;        // position of the last "N"; 0 when none
    for (size_t i = kVtgScanFirst; i <= kVtgScanLast; ++i) {
        const char c = char_at(line, i);
        if (c == '\r') break;
        if (c == 'T') true_course_mark = i;
        if (c == 'N') knots_mark = i;
    }
    if (true_course_mark == 0 || knots_mark == 0) return fix;

    // The field before each unit letter, over at most ten characters.
    auto field_before = [&](size_t mark) {
        const size_t first =
            std::max(mark > kVtgNumberSpan ? mark - kVtgNumberSpan : 0, kVtgScanFirst);
        return mark > first ? number_between(line, first, mark - 1) : 0.0;
    };
    fix.course_degrees = bound_gps_heading_degrees(field_before(true_course_mark));
    fix.speed_knots = bound_gps_speed_knots(field_before(knots_mark));
    return fix;
}

bool hemispheres_valid(const NmeaWorkFields& work) {
    return (work.latitude_hemisphere == 'N' || work.latitude_hemisphere == 'S') &&
           (work.longitude_hemisphere == 'E' || work.longitude_hemisphere == 'W');
}

void format_position(const NmeaWorkFields& work, std::span<char, kPositionTextSize> text) {
    // Whole digits are right-aligned into the degree and minute characters; a part with more
    // digits than there are characters writes none of them.
    auto place_whole = [&](const NmeaDigits& whole, std::span<const size_t> slots) {
        const size_t count = static_cast<size_t>(whole.count);
        if (count == 0 || count > slots.size()) return;
        const size_t first = slots.size() - count;
        for (size_t k = 0; k < count; ++k) text[slots[first + k]] = whole.digits[k];
    };
    // The first two fraction digits are always written (a missing one as the zero byte of
    // the cleared buffer), the third only when there is one; later digits are dropped.
    auto place_fraction = [&](const NmeaDigits& fraction, size_t at) {
        text[at] = fraction.digits[0];
        text[at + 1] = fraction.digits[1];
        if (fraction.count >= 3) text[at + 2] = fraction.digits[2];
    };

    static constexpr size_t kLatitudeSlots[] = {1, 2, 4, 5};
    static constexpr size_t kLongitudeSlots[] = {12, 13, 14, 16, 17};

    place_whole(work.latitude_whole, kLatitudeSlots);
    text[0] = ' ';
    text[3] = '.';
    text[6] = '.';
    place_whole(work.longitude_whole, kLongitudeSlots);
    text[15] = '.';
    text[18] = '.';
    place_fraction(work.latitude_fraction, 7);
    place_fraction(work.longitude_fraction, 19);
    text[10] = ' ';
    text[11] = work.latitude_hemisphere;
    text[22] = ' ';
    text[23] = work.longitude_hemisphere;
}

DispatchOutcome dispatch_sentence(const GpsContext& context, const GpsReadoutHooks& hooks) {
    GpsState& gps = context.gps;
    const GpsLine& line = gps.line;
    RunState& run = context.run;
    DispatchOutcome outcome;
    ++gps.sentences_dispatched;

    const int32_t heading_type = context.settings.GPSHeadingType;
    const bool speed_from_gps = run.speed_from_gps;

    // Speed and course go into the run values only while the speed comes from the GPS.
    auto apply_speed_and_course = [&](const NmeaFix& fix) {
        if (!speed_from_gps || !fix.speed_knots) return;
        run.speed_knots = *fix.speed_knots;
        if (fix.course_degrees) run.heading_degrees = *fix.course_degrees;
        outcome.speed_and_heading_set = true;
    };

    const bool is_position_sentence =
        (heading_type == kGpsPositionFromGll && formatter_is(line, "GLL")) ||
        (heading_type == kGpsPositionFromGga && formatter_is(line, "GGA")) ||
        (heading_type == kGpsPositionFromRmc && formatter_is(line, "RMC"));
    if (is_position_sentence) {
        NmeaFix fix;
        if (heading_type == kGpsPositionFromGll) {
            fix = parse_gll(line);
        } else if (heading_type == kGpsPositionFromGga) {
            fix = parse_gga(line);
        } else {
            fix = parse_rmc(line);
            apply_speed_and_course(fix);
        }

        if (hemispheres_valid(fix.position)) {
            // The text is built on a copy and taken only when it has the form the record
            // reader accepts: a short coordinate part on a first fix would otherwise leave
            // zero bytes in it, and every ping recorded with it would play back without its
            // position, speed and heading.
            HeadState& head = context.head;
            {
                std::lock_guard lock(head.position_text_lock);
                std::array<char, kPositionTextSize> text = head.position_text;
                format_position(fix.position, text);
                outcome.position_taken = position_text_is_valid(text);
                if (outcome.position_taken) head.position_text = text;
            }
            if (outcome.position_taken) {
                ++gps.positions_taken;
                if (hooks.draw_position) hooks.draw_position();
            }
            if (heading_type == kGpsPositionFromRmc && speed_from_gps) {
                draw_speed_and_heading(run, hooks);
            }
        }
    }

    if (speed_from_gps && heading_type != kGpsPositionFromRmc && formatter_is(line, "VTG")) {
        apply_speed_and_course(parse_vtg(line));
        if (outcome.speed_and_heading_set) draw_speed_and_heading(run, hooks);
    }
    return outcome;
}

void set_gps_line(GpsLine& line, std::span<const char> sentence) {
    line.text.fill(0);
    const size_t length = std::min(sentence.size(), line.text.size());
    std::copy_n(sentence.begin(), length, line.text.begin());
    line.length = static_cast<int32_t>(length);
}

}  // namespace kelvanor
