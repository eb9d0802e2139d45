#pragma once
// The subcommands of vkd. Each adds itself, with its options, to the command line and
// returns the function that runs it once the command line is parsed; that returns the exit
// status, and a failure prints one line naming the file and the reason on stderr.

#include <CLI/CLI.hpp>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kelvanor::vkd {

using Run = std::function<int()>;

Run add_dump(CLI::App& vkd);
Run add_info(CLI::App& vkd);
Run add_synth(CLI::App& vkd);
Run add_render(CLI::App& vkd);
Run add_export(CLI::App& vkd);
Run add_mosaic(CLI::App& vkd);
Run add_locate(CLI::App& vkd);

}  // namespace kelvanor::vkd

#include "datafile/record_source.h"

namespace kelvanor::vkd {

// Opens a data file for reading and checks that it starts with "VKD"; otherwise prints
// "FILE: reason" and returns nothing.
std::optional<PosixRecordFile> open_data_file(const std::string& path);

// Prints "FILE: reason" on stderr and returns 1.
int file_error(const std::string& path, std::string_view reason);

// Prints "vkd: <text>" on stderr and returns 2, the status of a usage error.
int usage_error(std::string_view text);

}  // namespace kelvanor::vkd
