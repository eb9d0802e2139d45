#pragma once
// The subcommands of vkd. Each takes the arguments after its name and returns the exit
// status; a failure prints one line naming the file and the reason on stderr.

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kelvanor::vkd {

using Args = std::span<const std::string>;

int dump(Args args);
int info(Args args);
int synth(Args args);
int render(Args args);
int mosaic(Args args);

struct Command {
    std::string_view name;
    int (*run)(Args);
    std::string_view usage;
};

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
