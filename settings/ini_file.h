#pragma once
// A small INI document that keeps the file as it was: every line, comment, blank line and
// line ending survives a load and a save; setting a key changes only that key's line (or
// appends it to its section, or appends the section).
//
// Lookup follows the usual profile-file rules: section and key names match without regard
// to case, surrounding blanks are ignored, a value in matching quotes loses them, and the
// first occurrence of a section or key wins.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvanor {

class IniFile {
  public:
    IniFile() = default;
    static IniFile parse(std::string_view text);
    // Reads the file; a missing or unreadable file gives an empty document.
    static IniFile load(const std::string& path);

    std::optional<std::string> get(std::string_view section, std::string_view key) const;
    void set(std::string_view section, std::string_view key, std::string_view value);

    std::string text() const;
    // Writes the document to a temporary file beside `path`, then renames it over `path`,
    // so that the file is either the old one or the new one, never a half-written one.
    bool save(const std::string& path) const;

  private:
    struct Line {
        std::string text;    // without its line ending
        std::string ending;  // "\n", "\r\n" or "" for a last line without one
    };
    std::vector<Line> lines_;
    std::string newline_ = "\n";
};

// The decimal conversion of the C library's atoi: leading white space, an optional sign, then
// digits up to the first non-digit; no digits gives 0. Saturates instead of overflowing.
int c_atoi(std::string_view text);

}  // namespace kelvanor
