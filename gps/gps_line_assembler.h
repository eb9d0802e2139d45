#pragma once
// Collects the characters read from the GPS port into lines and hands every line that is a
// sentence ("$" first, CR LF last) to the sentence dispatcher.

#include <cstdint>
#include <span>

#include "gps/nmea_parser.h"

namespace kelvanor {

// Appends the bytes of one read to gps.line in order. At each line feed the line is
// dispatched when it is a sentence and then started afresh; the rest of the chunk still
// counts. After the chunk, a line of kGpsMaxLineLength characters or more is dropped.
// Returns true when a line ended or was dropped: the caller then purges the port's input,
// so that the next sentence used is a fresh one.
bool assemble_gps_chunk(const GpsContext& context, std::span<const uint8_t> chunk,
                        const GpsReadoutHooks& hooks = {});

// Empties the line, leaving the whole buffer zero.
void clear_gps_line(GpsLine& line);

}  // namespace kelvanor
