#include "settings/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace kelvanor {
namespace {

std::string_view trim(std::string_view s) {
    auto is_blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
    };
    while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
    return s;
}

bool iequals(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

// The section name of a "[name]" line, or nothing for any other line.
std::optional<std::string_view> section_name(std::string_view line) {
    line = trim(line);
    if (line.size() < 2 || line.front() != '[') return std::nullopt;
    auto close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return trim(line.substr(1, close - 1));
}

bool is_comment(std::string_view line) {
    line = trim(line);
    return !line.empty() && (line.front() == ';' || line.front() == '#');
}

// Key and value of a "key=value" line.
std::optional<std::pair<std::string_view, std::string_view>> key_value(std::string_view line) {
    if (is_comment(line)) return std::nullopt;
    auto eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return std::make_pair(trim(line.substr(0, eq)), trim(line.substr(eq + 1)));
}

}  // namespace

IniFile IniFile::parse(std::string_view text) {
    IniFile ini;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        Line line;
        if (nl == std::string_view::npos) {
            line.text = std::string(text.substr(pos));
            pos = text.size();
        } else {
            line.text = std::string(text.substr(pos, nl - pos));
            line.ending = "\n";
            pos = nl + 1;
        }
        if (!line.ending.empty() && !line.text.empty() && line.text.back() == '\r') {
            line.text.pop_back();
            line.ending = "\r\n";
        }
        ini.lines_.push_back(std::move(line));
    }
    if (!ini.lines_.empty() && ini.lines_.front().ending == "\r\n") ini.newline_ = "\r\n";
    return ini;
}

IniFile IniFile::load(const std::string& path) {
    // Anything that is not a readable file (missing, a folder, no permission) reads as empty.
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return {};
    std::string text;
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, n);
    std::fclose(file);
    return parse(text);
}

std::optional<std::string> IniFile::get(std::string_view section, std::string_view key) const {
    bool in_section = false;
    bool seen_section = false;
    for (const Line& line : lines_) {
        if (auto name = section_name(line.text)) {
            // Only the first section of that name counts.
            if (in_section) return std::nullopt;
            in_section = !seen_section && iequals(*name, section);
            seen_section = seen_section || in_section;
            continue;
        }
        if (!in_section) continue;
        auto kv = key_value(line.text);
        if (!kv || !iequals(kv->first, key)) continue;
        std::string_view value = kv->second;
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        return std::string(value);
    }
    return std::nullopt;
}

void IniFile::set(std::string_view section, std::string_view key, std::string_view value) {
    std::string new_text = std::string(key) + "=" + std::string(value);
    size_t section_line = lines_.size();
    size_t insert_at = lines_.size();
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (auto name = section_name(lines_[i].text)) {
            if (section_line != lines_.size()) break;  // end of our section
            if (iequals(*name, section)) {
                section_line = i;
                insert_at = i + 1;
            }
            continue;
        }
        if (section_line == lines_.size()) continue;
        auto kv = key_value(lines_[i].text);
        if (kv && iequals(kv->first, key)) {
            lines_[i].text = std::move(new_text);
            return;
        }
        // New keys go after the last non-blank line of the section.
        if (!trim(lines_[i].text).empty()) insert_at = i + 1;
    }
    // A last line without an ending gets one before anything is appended after it.
    if (!lines_.empty() && lines_.back().ending.empty()) lines_.back().ending = newline_;
    if (section_line == lines_.size()) {
        lines_.push_back({"[" + std::string(section) + "]", newline_});
        insert_at = lines_.size();
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insert_at),
                  Line{std::move(new_text), newline_});
}

std::string IniFile::text() const {
    std::string out;
    for (const Line& line : lines_) {
        out += line.text;
        out += line.ending;
    }
    return out;
}

bool IniFile::save(const std::string& path) const {
    std::string tmpl = path + ".XXXXXX";
    int fd = ::mkstemp(tmpl.data());
    if (fd < 0) return false;
    // Keep the permissions of the file being replaced; a new file gets the usual ones.
    struct stat st {};
    mode_t mode = 0644;
    if (::stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;
    ::fchmod(fd, mode);
    const std::string content = text();
    size_t done = 0;
    bool ok = true;
    while (ok && done < content.size()) {
        ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            ok = false;
        }
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(tmpl.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(tmpl.c_str());
    return ok;
}

int c_atoi(std::string_view text) {
    size_t i = 0;
    auto is_space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (i < text.size() && is_space(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

}  // namespace kelvanor
