#include <algorithm>
#include <cstdio>

#include "datafile/ping_record.h"
#include "vkd_commands.h"

namespace kelvanor::vkd {

int file_error(const std::string& path, std::string_view reason) {
    std::fprintf(stderr, "%s: %.*s\n", path.c_str(), static_cast<int>(reason.size()),
                 reason.data());
    return 1;
}

std::optional<PosixRecordFile> open_data_file(const std::string& path) {
    std::string error;
    auto file = PosixRecordFile::open(path, error);
    if (!file) {
        file_error(path, error);
        return std::nullopt;
    }
    uint8_t magic[3] = {};
    if (file->read(magic) < sizeof magic ||
        !std::equal(kRecordMagic.begin(), kRecordMagic.end(), magic)) {
        file_error(path, "not a data file (it does not start with \"VKD\")");
        return std::nullopt;
    }
    file->seek(0);
    return file;
}

}  // namespace kelvanor::vkd
