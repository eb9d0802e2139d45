#include "gps/gps_line_assembler.h"

#include <algorithm>

namespace kelvanor {

void clear_gps_line(GpsLine& line) {
    const size_t used =
        std::clamp<size_t>(static_cast<size_t>(std::max(line.length, 0)), 0, line.text.size());
    std::fill_n(line.text.begin(), used, '\0');
    line.length = 0;
}

bool assemble_gps_chunk(const GpsContext& context, std::span<const uint8_t> chunk,
                        const GpsReadoutHooks& hooks) {
    GpsLine& line = context.gps.line;
    bool purge = false;
    for (const uint8_t byte : chunk) {
        // Lines are dropped long before they could fill the buffer; this only guards it.
        if (static_cast<size_t>(line.length) >= line.text.size()) {
            std::fill(line.text.begin(), line.text.end(), '\0');
            line.length = 0;
            purge = true;
        }
        line.text[static_cast<size_t>(line.length++)] = static_cast<char>(byte);
        if (byte != '\n') continue;

        const size_t length = static_cast<size_t>(line.length);
        if (line.text[0] == '$' && length >= 2 && line.text[length - 2] == '\r') {
            // Nothing of an earlier, longer line may stand behind this one: a parser that
            // runs past the end of a short sentence must find zeros there.
            std::fill(line.text.begin() + static_cast<std::ptrdiff_t>(length), line.text.end(),
                      '\0');
            dispatch_sentence(context, hooks);
        }
        clear_gps_line(line);
        purge = true;
    }
    if (line.length >= kGpsMaxLineLength) {
        clear_gps_line(line);
        purge = true;
    }
    return purge;
}

}  // namespace kelvanor
