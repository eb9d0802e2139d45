// vkd mosaic: survey lines laid on the seabed as a georeferenced picture (Cloud-Optimized
// GeoTIFF on the data's UTM zone), one mosaic of all files or one per file.

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "export/mosaic.h"
#include "vkd_commands.h"
#include "waterfall/palette.h"

namespace kelvanor::vkd {

namespace {

constexpr std::string_view kUsage =
    "usage: vkd mosaic FILE... -o OUT.tif [--cell M] "
    "[--colors color|grey|reverse-grey|brown|none] [--gain DB] [--skip-turns DEG_PER_S] "
    "[--layback M] [--offset-forward M] [--offset-starboard M] [--each] [--kmz OUT.kmz] [-j N]";

struct MosaicCommand {
    std::vector<std::string> inputs;
    std::string output;
    std::string kmz;
    bool each = false;
    MosaicOptions options;
};

bool parse_double(const std::string& text, double& value, double low, double high) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size() && value >= low && value <= high;
}

// Fills the command from the arguments; on a bad one returns its complaint.
std::string parse(Args args, MosaicCommand& c) {
    MosaicOptions& o = c.options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--each") {
            c.each = true;
            continue;
        }
        if (a.empty() || a[0] != '-') {
            c.inputs.push_back(a);
            continue;
        }
        if (i + 1 >= args.size()) return "option " + a + " needs a value";
        const std::string& v = args[++i];
        double number = 0.0;
        if (a == "-o" || a == "--output") {
            c.output = v;
        } else if (a == "--kmz") {
            c.kmz = v;
        } else if (a == "--cell") {
            if (!parse_double(v, number, 0.01, 1000.0))
                return "--cell must be metres from 0.01 to 1000";
            o.cell_metres = number;
        } else if (a == "--colors") {
            if (v == "color") {
                o.look.colours = kColourTableColor;
            } else if (v == "grey") {
                o.look.colours = kColourTableGrey;
            } else if (v == "reverse-grey") {
                o.look.colours = kColourTableReverseGrey;
            } else if (v == "brown") {
                o.look.colours = kColourTableBrown;
            } else if (v == "none") {
                o.look.colours = kMosaicGreyLevels;
            } else {
                return "--colors takes color, grey, reverse-grey, brown or none, not \"" + v + "\"";
            }
        } else if (a == "--gain") {
            if (!parse_double(v, number, -60.0, 60.0))
                return "--gain must be decibels from -60 to 60";
            o.look.gain_db = number;
        } else if (a == "--skip-turns") {
            if (!parse_double(v, number, 0.01, 360.0)) {
                return "--skip-turns must be degrees per second from 0.01 to 360";
            }
            o.skip_turns_degrees_per_second = number;
        } else if (a == "--layback") {
            if (!parse_double(v, number, 0.0, 10000.0))
                return "--layback must be metres from 0 to 10000";
            o.offsets.layback_metres = number;
        } else if (a == "--offset-forward") {
            if (!parse_double(v, number, -1000.0, 1000.0)) {
                return "--offset-forward must be metres from -1000 to 1000";
            }
            o.offsets.forward_metres = number;
        } else if (a == "--offset-starboard") {
            if (!parse_double(v, number, -1000.0, 1000.0)) {
                return "--offset-starboard must be metres from -1000 to 1000";
            }
            o.offsets.starboard_metres = number;
        } else if (a == "-j" || a == "--jobs") {
            if (!parse_double(v, number, 1.0, 256.0) || number != std::floor(number)) {
                return "-j must be a whole number of threads from 1 to 256";
            }
            o.threads = static_cast<int>(number);
        } else {
            return "unknown option " + a;
        }
    }
    if (c.inputs.empty()) return "no input file";
    if (c.output.empty())
        return c.each ? "no output folder (-o DIR)" : "no output file (-o OUT.tif)";
    return {};
}

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

int mosaic(Args args) {
    MosaicCommand c;
    c.options.threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    if (const std::string complaint = parse(args, c); !complaint.empty()) {
        usage_error(complaint);
        return usage_error(kUsage);
    }
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

}  // namespace kelvanor::vkd
