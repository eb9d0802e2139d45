// marlinray-sim: a simulated Marlinray side-scan head on a pseudo-terminal.
//
// Prints "HEAD /dev/pts/N" once the terminal is ready, then answers every switch command
// with a synthesised reply until SIGINT or SIGTERM. With --gps it also prints
// "GPS /dev/pts/M": a simulated receiver sending the survey line's NMEA sentences. SIGUSR1 toggles
// a silent head, SIGUSR2 a head that answers with noise.

#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "sim/head_server.h"
#include "sim/nmea_server.h"

namespace {

using kelvanor::HeadServer;
using kelvanor::HeadServerOptions;

constexpr const char* kUsage =
    "Usage: marlinray-sim [options]\n"
    "A simulated Marlinray side-scan head on a pseudo-terminal. Prints \"HEAD <device>\"\n"
    "when ready; open that device as the head port. Runs until SIGINT or SIGTERM.\n"
    "\n"
    "Head:\n"
    "  --model G|H            head model: G 400 samples (default), H 500 samples\n"
    "  --single               single-frequency head (low frequency only)\n"
    "  --ping-ms N            time from command to reply (default: the sound's round trip\n"
    "                         over the commanded range plus 5 ms)\n"
    "  --speed-knots X        speed of the simulated survey line (default 3)\n"
    "  --altitude-metres X    height of the head above the sea floor (default 8)\n"
    "Faults (every random choice follows --seed):\n"
    "  --seed N               seed of the scene and of the faults (default 1)\n"
    "  --silent               start silent (SIGUSR1 toggles silence at run time)\n"
    "  --silent-after N       answer only the first N commands\n"
    "  --drop-every N         leave every Nth command unanswered\n"
    "  --garbage-every N      answer every Nth command with noise (SIGUSR2 toggles noise)\n"
    "  --short-every N        cut the last --short-by bytes (default 20) of every Nth reply\n"
    "  --short-by N\n"
    "  --split N              send each reply in N pieces ...\n"
    "  --split-gap-ms N       ... N ms apart (default 5)\n"
    "  --trailing N           send N stray bytes after every reply\n"
    "GPS:\n"
    "  --gps                  also simulate a GPS receiver on a second pseudo-terminal,\n"
    "                         printed as \"GPS <device>\"; it follows --speed-knots\n"
    "  --gps-baud 4800|9600   the receiver's line speed (default 4800)\n"
    "Output:\n"
    "  --log                  print every command received as \"CMD\" and 27 hex bytes\n"
    "  --help                 this text\n";

bool parse_int(std::string_view text, long min, long max, long& out) {
    if (text.empty()) return false;
    std::string s(text);
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (errno != 0 || end == s.c_str() || *end != '\0' || v < min || v > max) return false;
    out = v;
    return true;
}

bool parse_float(std::string_view text, float min, float max, float& out) {
    std::string s(text);
    char* end = nullptr;
    const float v = std::strtof(s.c_str(), &end);
    if (end == s.c_str() || *end != '\0' || !(v >= min && v <= max)) return false;
    out = v;
    return true;
}

struct Options {
    HeadServerOptions server;
    bool log = false;
    bool start_silent = false;
    bool gps = false;
    kelvanor::NmeaServerOptions gps_server;
};

// Nothing printed and a result when the arguments are good; otherwise the exit code.
std::optional<int> parse_arguments(int argc, char** argv, Options& o) {
    auto& f = o.server.faults;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&](std::string_view& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        auto int_option = [&](long min, long max, auto& field) {
            std::string_view v;
            long n = 0;
            if (!value(v) || !parse_int(v, min, max, n)) return false;
            field = static_cast<std::remove_reference_t<decltype(field)>>(n);
            return true;
        };
        bool ok = true;
        std::string_view v;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--model") {
            ok = value(v) && (v == "G" || v == "H" || v == "g" || v == "h");
            if (ok) o.server.head.model = (v == "H" || v == "h") ? 'H' : 'G';
        } else if (arg == "--single") {
            o.server.head.dual = false;
        } else if (arg == "--ping-ms") {
            ok = int_option(0, 60000, o.server.ping_ms);
        } else if (arg == "--speed-knots") {
            ok = value(v) && parse_float(v, 0.0f, 50.0f, o.server.speed_knots);
        } else if (arg == "--altitude-metres") {
            ok = value(v) && parse_float(v, 0.5f, 200.0f, o.server.head.scene.altitude_metres);
        } else if (arg == "--seed") {
            ok = int_option(0, 0x7FFFFFFF, f.seed);
            o.server.head.scene.seed = f.seed;
        } else if (arg == "--silent") {
            o.start_silent = true;
        } else if (arg == "--silent-after") {
            ok = int_option(0, 0x7FFFFFFF, f.silent_after);
        } else if (arg == "--drop-every") {
            ok = int_option(0, 0x7FFFFFFF, f.drop_every);
        } else if (arg == "--garbage-every") {
            ok = int_option(0, 0x7FFFFFFF, f.garbage_every);
        } else if (arg == "--short-every") {
            ok = int_option(0, 0x7FFFFFFF, f.short_every);
        } else if (arg == "--short-by") {
            ok = int_option(0, 512, f.short_by);
        } else if (arg == "--split") {
            ok = int_option(1, 513, f.split_pieces);
        } else if (arg == "--split-gap-ms") {
            ok = int_option(0, 10000, f.split_gap_ms);
        } else if (arg == "--trailing") {
            ok = int_option(0, 4096, f.trailing_bytes);
        } else if (arg == "--gps") {
            o.gps = true;
        } else if (arg == "--gps-baud") {
            ok = value(v) && (v == "4800" || v == "9600");
            if (ok) o.gps_server.baud = v == "9600" ? 9600 : 4800;
        } else if (arg == "--log") {
            o.log = true;
        } else {
            std::fprintf(stderr, "marlinray-sim: unknown option %s\n%s", argv[i], kUsage);
            return 2;
        }
        if (!ok) {
            std::fprintf(stderr, "marlinray-sim: bad or missing value for %s\n", argv[i - 1]);
            return 2;
        }
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const std::optional<int> exit_code = parse_arguments(argc, argv, options)) {
        return *exit_code;
    }

    // The signals are taken by sigwait() below, never by a handler on some other thread.
    sigset_t signals;
    sigemptyset(&signals);
    for (int s : {SIGINT, SIGTERM, SIGUSR1, SIGUSR2, SIGHUP}) sigaddset(&signals, s);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    std::string error;
    std::unique_ptr<HeadServer> server = HeadServer::create(options.server, &error);
    if (!server) {
        std::fprintf(stderr, "marlinray-sim: %s\n", error.c_str());
        return 1;
    }
    server->set_silent(options.start_silent);
    if (options.log) {
        server->set_command_observer([](const kelvanor::SimCommand& command) {
            std::printf("CMD");
            for (uint8_t b : command) std::printf(" %02x", b);
            std::printf("\n");
            std::fflush(stdout);
        });
    }
    std::printf("HEAD %s\n", server->device_path().c_str());

    std::unique_ptr<kelvanor::NmeaServer> gps;
    if (options.gps) {
        options.gps_server.track.speed_knots = options.server.speed_knots;
        options.gps_server.track.start_utc = std::time(nullptr);
        gps = kelvanor::NmeaServer::create(options.gps_server, &error);
        if (!gps) {
            std::fprintf(stderr, "marlinray-sim: %s\n", error.c_str());
            return 1;
        }
        std::printf("GPS %s\n", gps->device_path().c_str());
    }
    std::fflush(stdout);

    std::thread serving([&server] { server->run(); });
    std::thread gps_serving;
    if (gps) gps_serving = std::thread([&gps] { gps->run(); });
    for (;;) {
        int received = 0;
        if (sigwait(&signals, &received) != 0) continue;
        if (received == SIGUSR1) {
            server->set_silent(!server->silent());
        } else if (received == SIGUSR2) {
            server->set_garbage(!server->garbage());
        } else {
            break;
        }
    }
    server->stop();
    serving.join();
    if (gps) {
        gps->stop();
        gps_serving.join();
    }
    return 0;
}
