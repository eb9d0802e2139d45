// marlinray-sim: a simulated Marlinray side-scan head on a pseudo-terminal.
//
// Prints "HEAD /dev/pts/N" once the terminal is ready, then answers every switch command
// with a synthesised reply until SIGINT or SIGTERM. With --gps it also prints
// "GPS /dev/pts/M": a simulated receiver sending the survey line's NMEA sentences. SIGUSR1 toggles
// a silent head, SIGUSR2 a head that answers with noise.

#include <pthread.h>
#include <signal.h>

#include <CLI/CLI.hpp>
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

struct Options {
    HeadServerOptions server;
    bool log = false;
    bool start_silent = false;
    bool gps = false;
    kelvanor::NmeaServerOptions gps_server;
};

// Nothing printed and a result when the arguments are good; otherwise the exit code (0 after
// --help, 2 for a usage error).
std::optional<int> parse_arguments(int argc, char** argv, Options& o) {
    auto& f = o.server.faults;
    CLI::App app(
        "A simulated Marlinray side-scan head on a pseudo-terminal. Prints \"HEAD <device>\"\n"
        "when ready; open that device as the head port. Runs until SIGINT or SIGTERM.\n"
        "SIGUSR1 toggles a silent head, SIGUSR2 a head that answers with noise.",
        "marlinray-sim");
    app.option_defaults()->group("Head");
    std::string model = "G";
    app.add_option("--model", model, "head model: G 400 samples, H 500 samples")
        ->check(CLI::IsMember({"G", "H"}, CLI::ignore_case))
        ->capture_default_str();
    bool single = false;
    app.add_flag("--single", single, "single-frequency head (low frequency only)");
    app.add_option("--ping-ms", o.server.ping_ms,
                   "time from command to reply (default: the sound's round trip over the "
                   "commanded range plus 5 ms)")
        ->check(CLI::Range(0, 60000));
    app.add_option("--speed-knots", o.server.speed_knots, "speed of the simulated survey line")
        ->check(CLI::Range(0.0f, 50.0f))
        ->capture_default_str();
    app.add_option("--altitude-metres", o.server.head.scene.altitude_metres,
                   "height of the head above the sea floor")
        ->check(CLI::Range(0.5f, 200.0f))
        ->capture_default_str();
    app.option_defaults()->group("Faults (every random choice follows --seed)");
    app.add_option("--seed", f.seed, "seed of the scene and of the faults")
        ->check(CLI::Range(0, 0x7FFFFFFF))
        ->capture_default_str();
    app.add_flag("--silent", o.start_silent, "start silent (SIGUSR1 toggles silence at run time)");
    app.add_option("--silent-after", f.silent_after, "answer only the first N commands")
        ->check(CLI::Range(0, 0x7FFFFFFF));
    app.add_option("--drop-every", f.drop_every, "leave every Nth command unanswered")
        ->check(CLI::Range(0, 0x7FFFFFFF));
    app.add_option("--garbage-every", f.garbage_every,
                   "answer every Nth command with noise (SIGUSR2 toggles noise)")
        ->check(CLI::Range(0, 0x7FFFFFFF));
    app.add_option("--short-every", f.short_every,
                   "cut the last --short-by bytes of every Nth reply")
        ->check(CLI::Range(0, 0x7FFFFFFF));
    app.add_option("--short-by", f.short_by, "bytes cut from a short reply")
        ->check(CLI::Range(0, 512))
        ->capture_default_str();
    app.add_option("--split", f.split_pieces, "send each reply in N pieces ...")
        ->check(CLI::Range(1, 513));
    app.add_option("--split-gap-ms", f.split_gap_ms, "... N ms apart")
        ->check(CLI::Range(0, 10000))
        ->capture_default_str();
    app.add_option("--trailing", f.trailing_bytes, "send N stray bytes after every reply")
        ->check(CLI::Range(0, 4096));
    app.option_defaults()->group("GPS");
    app.add_flag("--gps", o.gps,
                 "also simulate a GPS receiver on a second pseudo-terminal, printed as "
                 "\"GPS <device>\"; it follows --speed-knots");
    app.add_option("--gps-baud", o.gps_server.baud, "the receiver's line speed")
        ->check(CLI::IsMember({4800, 9600}))
        ->capture_default_str();
    app.option_defaults()->group("Output");
    app.add_flag("--log", o.log, "print every command received as \"CMD\" and 27 hex bytes");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e);
        std::fprintf(stderr, "marlinray-sim: %s\nRun \"marlinray-sim --help\" for the options.\n",
                     e.what());
        return 2;
    }
    o.server.head.model = (model == "H" || model == "h") ? 'H' : 'G';
    if (single) o.server.head.dual = false;
    o.server.head.scene.seed = f.seed;
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
