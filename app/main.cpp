// KELVANOR: drives a Marlinray side-scan sonar head, shows its echoes as a waterfall, records
// and plays back .VKD data files.

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <cstring>
#include <memory>

#include "app/application.h"

namespace {

// --help and --version only print: they need no display, so that they work on a machine
// without one (a package check, a terminal over ssh).
bool prints_only(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        for (const char* option : {"-h", "--help", "-help", "-?", "-v", "--version"}) {
            if (std::strcmp(argv[i], option) == 0) return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const bool print_only = prints_only(argc, argv);
    const std::unique_ptr<QCoreApplication> qt_app =
        print_only ? std::make_unique<QCoreApplication>(argc, argv)
                   : std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelvanor"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELVANOR_VERSION));
    if (!print_only) QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Marlinray side-scan sonar acquisition and playback"));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Write the main window as a BMP to FILE when closing."),
        QStringLiteral("FILE"));
    QCommandLineOption exit_after(QStringLiteral("exit-after"),
                                  QStringLiteral("Close the program after SECONDS."),
                                  QStringLiteral("SECONDS"));
    QCommandLineOption play(QStringLiteral("play"),
                            QStringLiteral("In FILE mode, play FILE instead of asking for a file."),
                            QStringLiteral("FILE"));
    QCommandLineOption record(
        QStringLiteral("record"),
        QStringLiteral("In HEAD mode, start recording to the new FILE at start-up."),
        QStringLiteral("FILE"));
    QCommandLineOption unattended(
        QStringLiteral("unattended"),
        QStringLiteral("Write message boxes to stderr and cancel file dialogs."));
    QCommandLineOption port(
        QStringLiteral("port"),
        QStringLiteral("Use PATH as serial port COMn (repeatable); only mapped ports exist then."),
        QStringLiteral("COMn=PATH"));
    QCommandLineOption gps(
        QStringLiteral("gps"),
        QStringLiteral("Read the GPS from SOURCE: COMn, gpsd[://HOST[:PORT]], tcp://HOST:PORT "
                       "or udp://[ADDR]:PORT."),
        QStringLiteral("SOURCE"));
    QCommandLineOption demo(
        QStringLiteral("demo"),
        QStringLiteral("Run live from a simulated head on a pseudo-terminal as COM1."));
    QCommandLineOption no_logo(QStringLiteral("no-logo"),
                               QStringLiteral("Do not show the start-up logo."));
    parser.addOption(screenshot);
    parser.addOption(exit_after);
    parser.addOption(no_logo);
    parser.addOption(play);
    parser.addOption(record);
    parser.addOption(unattended);
    parser.addOption(port);
    parser.addOption(gps);
    parser.addOption(demo);
    parser.process(*qt_app);

    kelvanor::StartOptions options;
    if (parser.isSet(screenshot))
        options.screenshot_path = parser.value(screenshot).toLocal8Bit().toStdString();
    if (parser.isSet(exit_after)) {
        bool ok = false;
        const double seconds = parser.value(exit_after).toDouble(&ok);
        if (!ok || seconds < 0) {
            std::fprintf(stderr, "kelvanor: --exit-after needs a number of seconds, not \"%s\"\n",
                         parser.value(exit_after).toLocal8Bit().constData());
            return 2;
        }
        options.exit_after_seconds = seconds;
    }
    options.show_logo = !parser.isSet(no_logo);
    if (parser.isSet(record))
        options.record_path = parser.value(record).toLocal8Bit().toStdString();
    options.unattended = parser.isSet(unattended);
    options.demo = parser.isSet(demo);
    for (const QString& value : parser.values(port))
        options.port_options.push_back(value.toLocal8Bit().toStdString());
    if (parser.isSet(gps)) options.gps_source = parser.value(gps).toLocal8Bit().toStdString();
    if (parser.isSet(play)) options.play_path = parser.value(play).toLocal8Bit().toStdString();

    kelvanor::Application app(std::move(options));
    QObject::connect(
        &app, &kelvanor::Application::finished, qt_app.get(), [] { QApplication::quit(); },
        Qt::QueuedConnection);
    app.start();
    return QApplication::exec();
}
