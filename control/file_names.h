#pragma once
// File names of the data files and screen captures: the extension check, the lower-cased
// name of a created file, and the free space where a file is written.

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvanor {

// True when the three characters after the last dot of the file name are `extension`
// (compared without regard to case): "survey.VKD" and "survey.vkdx" pass for "vkd".
bool has_extension(std::string_view path, std::string_view extension);

// The path with its file name in lower case and its folders as they are: a created file gets
// a lower-case name, and a case-sensitive file system still finds the folder.
std::string with_lower_case_file_name(std::string_view path);

// Free bytes on the file system that holds `path` (or the folder it would be created in);
// when the file system cannot be asked, the negated errno of the failure (never 0).
int64_t free_bytes_at(const std::string& path);

// Less than this much free space stops recording.
inline constexpr int64_t kMinimumFreeBytes = 100000;

}  // namespace kelvanor
