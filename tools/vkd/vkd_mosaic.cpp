// vkd mosaic: survey lines laid on the seabed as a georeferenced picture (Cloud-Optimized
// GeoTIFF on the data's UTM zone), one mosaic of all files or one per file.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "export/mosaic.h"
#include "vkd_commands.h"
#include "waterfall/palette.h"

namespace kelvanor::vkd {

namespace {

struct MosaicCommand {
    std::vector<std::string> inputs;
    std::string output;
    std::string kmz;
    bool each = false;
    std::string colours = "none";
    std::optional<double> skip_turns;
    MosaicOptions options;
};

// One mosaic: writes it, reports bad files and the result. Returns the exit status.
int run_one(const std::vector<std::string>& inputs, const std::string& output,
            const std::string& kmz, MosaicOptions options) {
    options.kmz_path = kmz;
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    if (terminal) {
        options.progress = [&output](int percent) {
            std::fprintf(stderr, "\rvkd mosaic: %s %3d%%", output.c_str(), percent);
            std::fflush(stderr);
        };
    }
    const MosaicReport report = make_mosaic(inputs, output, options);
    if (terminal) std::fprintf(stderr, "\n");
    for (const MosaicFileReport& f : report.files) {
        if (!f.error.empty()) {
            file_error(f.path, f.error);
        } else if (f.damaged > 0) {
            file_error(f.path, std::to_string(f.damaged) + " damaged record(s) left out");
        }
    }
    if (!report.written) return file_error(output, report.error);
    std::int64_t turning = 0, without = 0;
    for (const MosaicFileReport& f : report.files) {
        turning += f.turning;
        without += f.without_position;
    }
    std::printf(
        "%s: EPSG:%d, %lld x %lld cells of %g m, %lld pings placed, %lld without position, "
        "%lld in turns\n",
        output.c_str(), report.grid.zone.epsg(), static_cast<long long>(report.grid.columns),
        static_cast<long long>(report.grid.rows), report.grid.cell_metres,
        static_cast<long long>(report.placed), static_cast<long long>(without),
        static_cast<long long>(turning));
    return report.all_files_good() ? 0 : 1;
}

}  // namespace

int mosaic(MosaicCommand& c) {
    static const std::map<std::string, std::optional<ColourTable>> kColours = {
        {"none", std::nullopt},        {"color", ColourTable::Color},
        {"grey", ColourTable::Grey},   {"reverse-grey", ColourTable::ReverseGrey},
        {"brown", ColourTable::Brown},
    };
    c.options.look.colours = kColours.at(c.colours);
    c.options.skip_turns_degrees_per_second = c.skip_turns;
    if (!c.each) return run_one(c.inputs, c.output, c.kmz, c.options);

    // One mosaic per file, into the output folder (and the KMZ folder).
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(c.output, ec);
    if (!c.kmz.empty()) fs::create_directories(c.kmz, ec);
    int status = 0;
    for (const std::string& input : c.inputs) {
        const std::string stem = fs::path(input).stem().string();
        const std::string out = (fs::path(c.output) / (stem + ".tif")).string();
        const std::string kmz = c.kmz.empty() ? "" : (fs::path(c.kmz) / (stem + ".kmz")).string();
        if (run_one({input}, out, kmz, c.options) != 0) status = 1;
    }
    return status;
}

Run add_mosaic(CLI::App& vkd) {
    CLI::App* command = vkd.add_subcommand(
        "mosaic",
        "Lay survey lines on the seabed as a georeferenced picture (Cloud-Optimized "
        "GeoTIFF on the data's UTM zone).");
    auto c = std::make_shared<MosaicCommand>();
    MosaicOptions& o = c->options;
    o.threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    command->add_option("FILE", c->inputs, "data files, mosaicked in order")->required();
    command->add_option("-o,--output", c->output, "the GeoTIFF to write (with --each: a folder)")
        ->required();
    command
        ->add_option("--cell", o.cell_metres,
                     "cell size in metres (default: the ground length of one sample, rounded up "
                     "to 0.05, 0.1, 0.2, 0.25, 0.5, 1, 2 ...)")
        ->check(CLI::Range(0.01, 1000.0));
    command
        ->add_option("--colors", c->colours,
                     "none: one band of grey echo levels; or RGB through a colour table")
        ->check(CLI::IsMember({"none", "color", "grey", "reverse-grey", "brown"}))
        ->capture_default_str();
    command->add_option("--gain", o.look.gain_db, "gain in decibels applied to the mean echo")
        ->check(CLI::Range(-60.0, 60.0))
        ->capture_default_str();
    command
        ->add_option("--skip-turns", c->skip_turns,
                     "leave out pings while the heading turns faster than this (degrees/second)")
        ->check(CLI::Range(0.01, 360.0));
    command
        ->add_option("--layback", o.offsets.layback_metres,
                     "metres the sonar is towed behind the GPS")
        ->check(CLI::Range(0.0, 10000.0));
    command
        ->add_option("--offset-forward", o.offsets.forward_metres,
                     "metres the sonar is ahead of the GPS")
        ->check(CLI::Range(-1000.0, 1000.0));
    command
        ->add_option("--offset-starboard", o.offsets.starboard_metres,
                     "metres the sonar is to starboard of the GPS")
        ->check(CLI::Range(-1000.0, 1000.0));
    command->add_flag("--each", c->each, "one mosaic per file, into the folder given by -o");
    command->add_option("--kmz", c->kmz,
                        "also a KMZ ground overlay for Google Earth (with --each: a folder)");
    command->add_option("-j,--jobs", o.threads, "threads (default: all cores)")
        ->check(CLI::Range(1, 256));
    return [c] { return mosaic(*c); };
}

}  // namespace kelvanor::vkd
