#include "control/file_names.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

namespace kelvanor {

namespace {

size_t file_name_start(std::string_view path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string_view::npos ? 0 : slash + 1;
}

}  // namespace

bool has_extension(std::string_view path, std::string_view extension) {
    const std::string_view name = path.substr(file_name_start(path));
    const size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || name.size() - dot - 1 < extension.size()) return false;
    for (size_t i = 0; i < extension.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[dot + 1 + i]);
        if (std::tolower(c) != std::tolower(static_cast<unsigned char>(extension[i]))) return false;
    }
    return true;
}

std::string with_lower_case_file_name(std::string_view path) {
    std::string out(path);
    std::transform(out.begin() + static_cast<std::ptrdiff_t>(file_name_start(path)), out.end(),
                   out.begin() + static_cast<std::ptrdiff_t>(file_name_start(path)),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

int64_t free_bytes_at(const std::string& path) {
    struct statvfs info {};
    if (::statvfs(path.c_str(), &info) != 0) {
        // Not there yet: ask about the folder it is created in.
        const size_t start = file_name_start(path);
        const std::string folder = start == 0 ? "." : path.substr(0, start);
        if (::statvfs(folder.c_str(), &info) != 0) return errno > 0 ? -errno : -EIO;
    }
    const unsigned long long bytes = static_cast<unsigned long long>(info.f_bavail) *
                                     static_cast<unsigned long long>(info.f_frsize);
    return bytes > static_cast<unsigned long long>(INT64_MAX) ? INT64_MAX
                                                              : static_cast<int64_t>(bytes);
}

}  // namespace kelvanor
