// vkd: a command-line tool for .VKD data files.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "vkd_commands.h"

namespace kelvanor::vkd {

int usage_error(std::string_view text) {
    std::fprintf(stderr, "vkd: %.*s\n", static_cast<int>(text.size()), text.data());
    return 2;
}

}  // namespace kelvanor::vkd

int main(int argc, char** argv) {
    using namespace kelvanor::vkd;
    CLI::App app("vkd: reads, checks, makes, renders and exports KELVANOR data files (.VKD).",
                 "vkd");
    app.require_subcommand(1, 1);
    app.failure_message(CLI::FailureMessage::help);
    const std::vector<std::pair<std::string, Run>> runs = {
        {"dump", add_dump(app)},     {"info", add_info(app)},     {"synth", add_synth(app)},
        {"render", add_render(app)}, {"export", add_export(app)}, {"mosaic", add_mosaic(app)},
        {"locate", add_locate(app)},
    };
    if (argc >= 2 && argv[1][0] != '-' &&
        std::none_of(runs.begin(), runs.end(), [&](const auto& r) { return r.first == argv[1]; })) {
        usage_error(std::string("unknown command \"") + argv[1] + "\"");
        std::fputs(app.help().c_str(), stderr);
        return 2;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e);  // --help
        usage_error(e.what());
        std::fprintf(
            stderr, "Run \"vkd%s%s --help\" for the options.\n",
            app.get_subcommands().empty() ? "" : " ",
            app.get_subcommands().empty() ? "" : app.get_subcommands()[0]->get_name().c_str());
        return 2;
    }
    const std::string name = app.get_subcommands().front()->get_name();
    for (const auto& [command, run] : runs) {
        if (command != name) continue;
        try {
            return run();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "vkd %s: %s\n", name.c_str(), e.what());
            return 1;
        }
    }
    return 2;
}
