#include <gtest/gtest.h>

#include <QFile>
#include <QMainWindow>
#include <QMenuBar>
#include <QProcess>
#include <QStandardPaths>
#include <QWidget>

#include <cstdint>
#include <cstring>

#include "capture/qt_save_screen.h"
#include "gui_support.h"
#include "tests/unit/fake_ui.h"

namespace kelvanor {
namespace {

using test::WorkingFolder;

uint32_t u32(const QByteArray& b, int at) {
    uint32_t v = 0;
    std::memcpy(&v, b.constData() + at, 4);  // little-endian host, as the file
    return v;
}

QByteArray read_all(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A main window of a given width with a menu bar and a coloured client area.
class Window {
  public:
    explicit Window(int width) {
        window.menuBar()->addMenu(QStringLiteral("&File"));
        auto* area = new QWidget(&window);
        area->setFixedSize(width, 120);
        area->setAutoFillBackground(true);
        set_colour(area, Qt::red);
        window.setCentralWidget(area);
        window.show();
        test::wait_until([this] { return window.isVisible(); });
        client = area;
    }
    static void set_colour(QWidget* widget, QColor colour) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Window, colour);
        widget->setPalette(palette);
    }
    QMainWindow window;
    QWidget* client = nullptr;
};

TEST(SaveScreen, DialogAsksForABitmapFileAndConfirmsReplacing) {
    const FileDialogSpec request = save_screen_dialog_spec();
    EXPECT_EQ(request.title, "Save Screen As");
    EXPECT_EQ(request.default_extension, "BMP");
    EXPECT_TRUE(request.prompt_overwrite);
    EXPECT_EQ(request.patterns.front(), "*.BMP");
}

TEST(SaveScreen, WindowEightHundredAndOnePixelsWideGivesPaddedRowsOfTheWindowAsShown) {
    WorkingFolder folder;
    Window shown(801);
    test::FakeUi ui;
    ui.answer_next_dialog(folder.file(QStringLiteral("Survey.BMP")).toStdString());
    // What the read-out shows when the picture is taken: drawn after the dialog has gone.
    const auto readout = [&] { Window::set_colour(shown.client, Qt::blue); };
    ASSERT_EQ(save_screen(shown.window, ui, readout), SaveScreenOutcome::Saved);
    EXPECT_EQ(ui.dialog_titles(), std::vector<std::string>{"Save Screen As"});

    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("Survey.BMP"))));
    const QByteArray bmp = read_all(folder.file(QStringLiteral("survey.bmp")));
    ASSERT_GT(bmp.size(), 54);
    const int width = shown.window.width();
    const int height = shown.window.height();
    ASSERT_EQ(width, 801);
    EXPECT_EQ(bmp.left(2), QByteArray("BM"));
    EXPECT_EQ(static_cast<int32_t>(u32(bmp, 18)), width);
    EXPECT_EQ(static_cast<int32_t>(u32(bmp, 22)), height);
    EXPECT_EQ(u32(bmp, 34), 2404u * height) << "rows of 801 x 3 = 2403 bytes padded to 2404";
    EXPECT_EQ(u32(bmp, 2), 54u + 2404u * height);
    EXPECT_EQ(bmp.size(), 54 + 2404 * height);
    for (int row = 0; row < height; ++row) {
        ASSERT_EQ(bmp[54 + row * 2404 + 2403], '\0') << "fill byte of row " << row;
    }
    // The bottom row of the file is the bottom of the window: the client area, blue now.
    const char* bottom_left = bmp.constData() + 54 + 10 * 3;
    EXPECT_EQ(static_cast<uint8_t>(bottom_left[0]), 255) << "blue";
    EXPECT_EQ(static_cast<uint8_t>(bottom_left[2]), 0) << "red";
}

TEST(SaveScreen, AnIndependentReaderOpensTheCaptureWithTheWindowsSize) {
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty()) GTEST_SKIP() << "no python3";
    WorkingFolder folder;
    Window shown(800);
    test::FakeUi ui;
    const QString path = folder.file(QStringLiteral("shot.bmp"));
    ui.answer_next_dialog(path.toStdString());
    ASSERT_EQ(save_screen(shown.window, ui), SaveScreenOutcome::Saved);

    // A reader written from the file format alone: headers, sizes, and the colour of the
    // pixel in the middle of the client area.
    const char* reader = R"(
import struct, sys
data = open(sys.argv[1], 'rb').read()
assert data[:2] == b'BM', 'signature'
size, _, offset = struct.unpack_from('<IIi', data, 2)
header, width, height, planes, bits, compression, image_size = struct.unpack_from('<IiiHHII', data, 14)
assert (size, offset, header, planes, bits, compression) == (len(data), 54, 40, 1, 24, 0)
row = (width * 3 + 3) // 4 * 4
assert image_size == row * height and len(data) == 54 + image_size
y = height - 1 - (height - 60)
b, g, r = data[54 + y * row + 3 * 400: 54 + y * row + 3 * 400 + 3]
print(width, height, r, g, b)
)";
    QProcess process;
    process.start(python, {QStringLiteral("-c"), QString::fromLatin1(reader), path});
    ASSERT_TRUE(process.waitForFinished(30000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const QString expected =
        QStringLiteral("%1 %2 255 0 0\n").arg(shown.window.width()).arg(shown.window.height());
    EXPECT_EQ(QString::fromLatin1(process.readAllStandardOutput()), expected);
}

TEST(SaveScreen, OtherExtensionsAreRefusedAndNoFileIsCreated) {
    WorkingFolder folder;
    Window shown(200);
    for (const char* name : {"shot.png", "shot", "shot.bm", "bmp.vkd"}) {
        test::FakeUi ui;
        ui.answer_next_dialog(folder.file(QString::fromLatin1(name)).toStdString());
        EXPECT_EQ(save_screen(shown.window, ui), SaveScreenOutcome::WrongExtension) << name;
        ASSERT_EQ(ui.boxes().size(), 1u);
        EXPECT_EQ(ui.boxes()[0].text, "File extension must be .BMP");
        EXPECT_EQ(ui.boxes()[0].caption, "Save Screen As");
        EXPECT_FALSE(QFile::exists(folder.file(QString::fromLatin1(name)))) << name;
    }
    EXPECT_TRUE(QDir(folder.path()).entryList(QDir::Files).isEmpty());
}

TEST(SaveScreen, CancelDoesNothingAndAnUnwritablePathIsReported) {
    WorkingFolder folder;
    Window shown(200);
    test::FakeUi cancelled;
    EXPECT_EQ(save_screen(shown.window, cancelled), SaveScreenOutcome::Cancelled);
    EXPECT_TRUE(cancelled.boxes().empty());

    test::FakeUi ui;
    ui.answer_next_dialog(folder.file(QStringLiteral("missing/shot.bmp")).toStdString());
    EXPECT_EQ(save_screen(shown.window, ui), SaveScreenOutcome::Failed);
    ASSERT_EQ(ui.boxes().size(), 1u);
    EXPECT_EQ(ui.boxes()[0].caption, "Save Screen As");
}

}  // namespace
}  // namespace kelvanor
