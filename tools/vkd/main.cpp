// vkd: a command-line tool for .VKD data files.

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "vkd_commands.h"

namespace kelvanor::vkd {

namespace {

constexpr Command kCommands[] = {
    {"dump", dump, "vkd dump FILE"},
    {"info", info, "vkd info FILE"},
    {"synth", synth,
     "vkd synth -o FILE [--pings N] [--model G|H] [--range M] [--channel both|port|stbd] "
     "[--speed KN] [--gain G] [--latitude DEG] [--longitude DEG] [--heading DEG] "
     "[--line-length M] [--line-spacing M] [--fix-interval MS] [--truth OUT.json] "
     "[--targets TRUTH.json]"},
    {"render", render,
     "vkd render FILE -o OUT.png [--colors color|grey|reverse-grey|brown] [--grid] "
     "[--speed-correction] [--marks] [--strip]"},
    {"mosaic", mosaic,
     "vkd mosaic FILE... -o OUT.tif [--cell M] [--colors color|grey|reverse-grey|brown|none] "
     "[--gain DB] [--skip-turns DEG_PER_S] [--layback M] [--offset-forward M] "
     "[--offset-starboard M] [--each] [--kmz OUT.kmz] [-j N]"},
};

void print_usage(std::FILE* out) {
    std::fprintf(out, "usage:\n");
    for (const Command& c : kCommands) {
        std::fprintf(out, "  %.*s\n", static_cast<int>(c.usage.size()), c.usage.data());
    }
}

}  // namespace

int usage_error(std::string_view text) {
    std::fprintf(stderr, "vkd: %.*s\n", static_cast<int>(text.size()), text.data());
    return 2;
}

}  // namespace kelvanor::vkd

int main(int argc, char** argv) {
    using namespace kelvanor::vkd;
    if (argc < 2) {
        print_usage(stderr);
        return 2;
    }
    const std::string name = argv[1];
    if (name == "-h" || name == "--help" || name == "help") {
        print_usage(stdout);
        return 0;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    for (const Command& c : kCommands) {
        if (c.name == name) {
            try {
                return c.run(args);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "vkd %s: %s\n", name.c_str(), e.what());
                return 1;
            }
        }
    }
    usage_error("unknown command \"" + name + "\"");
    print_usage(stderr);
    return 2;
}
