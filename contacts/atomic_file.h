#pragma once
// Files replaced whole: the new content goes to a temporary file beside the old one, is
// synced, renamed over it, and the folder is synced, so that a crash at any moment leaves
// either the old file or the new one, never a part of either.

#include <span>
#include <string>
#include <string_view>

namespace kelvanor {

// False, with the reason in `error`, when the file could not be replaced (the old one stays).
bool replace_file_atomically(const std::string& path, std::span<const unsigned char> content,
                             std::string& error);
bool replace_file_atomically(const std::string& path, std::string_view content, std::string& error);

// Creates the folder (and its parents) when missing; false with the reason otherwise.
bool ensure_folder(const std::string& path, std::string& error);

}  // namespace kelvanor
