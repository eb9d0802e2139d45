#pragma once
// Text made safe inside JSON strings, XML text and CSV fields.

#include <string>
#include <string_view>

namespace kelvanor {

// Quotes, backslashes and control characters escaped for a JSON string (without the quotes).
std::string json_escaped(std::string_view text);
// &, <, >, " and ' as entities; control characters other than tab and newline dropped.
std::string xml_escaped(std::string_view text);
// The field quoted (quotes doubled) when it holds a comma, quote or line break.
std::string csv_field(std::string_view text);

}  // namespace kelvanor
