#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

#include "control/app_state.h"
#include "dialogs/comport_setup_dialog.h"
#include "tests/gui/dialog_program.h"

namespace kelvanor {
namespace {

class ComPortSetupTest : public testing::Test, public test::DialogProgram {
  protected:
    ComPortSetupTest() {
        app.run.gps_enabled = 1;
        app.settings.ComPort = 2;     // COM3
        app.settings.ComPortGPS = 3;  // COM4
        app.settings.GPSHeadingType = 1;
    }

    // The program's values, with the test's ports present.
    ComPortValues current() const {
        ComPortValues values = program.com_port_values();
        values.ports = ports;
        return values;
    }
    // Ok clicked: the program applies what the dialog handed back, as the window has it do.
    void ok(ComPortSetupDialog& dialog) {
        dialog.ok_button()->click();
        const size_t texts_before = surface.texts().size();
        if (std::optional<ComPortValues> chosen = outcome(dialog)) program.apply_com_ports(*chosen);
        calls = devices.calls;
        // The position read-out showing "N/A": no position.
        for (size_t i = texts_before; i < surface.texts().size(); ++i) {
            if (surface.texts()[i].text == "N/A") {
                calls.push_back("no position");
                break;
            }
        }
    }

    std::vector<ComPortEntry> ports{
        {1, "/dev/ttyS0", ""}, {3, "/dev/ttyUSB0", "FT232R USB UART"}, {4, "/dev/pts/5", ""}};
    std::vector<std::string> calls;
};

QStringList items(const QComboBox* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->itemText(i);
    return out;
}

TEST_F(ComPortSetupTest, ListsThePresentPortsWithTheirDevicesAndSelectsTheCurrentOnes) {
    app.settings.GPSBaudRate = GpsBaud::Baud9600;
    ComPortSetupDialog dialog(nullptr, current(), ui);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("ComPort Setup"));
    const QStringList expected{"COM1  /dev/ttyS0", "COM3  /dev/ttyUSB0 (FT232R USB UART)",
                               "COM4  /dev/pts/5"};
    EXPECT_EQ(items(dialog.head_list()), expected);
    EXPECT_EQ(items(dialog.gps_list()), expected);
    EXPECT_EQ(dialog.head_list()->currentIndex(), 1);
    EXPECT_EQ(dialog.gps_list()->currentIndex(), 2);
    EXPECT_TRUE(dialog.position_button(1)->isChecked());
    EXPECT_FALSE(dialog.position_button(0)->isChecked());
    EXPECT_FALSE(dialog.position_button(2)->isChecked());
    EXPECT_EQ(dialog.baud_label()->text(), QStringLiteral("(9600,N,8,1)"));
}

TEST_F(ComPortSetupTest, BaudLabelFollowsTheStoredRate) {
    const std::pair<int, const char*> cases[] = {
        {0, "(4800,N,8,1)"}, {1, "(9600,N,8,1)"}, {7, "(4800,N,8,1)"}, {-1, "(4800,N,8,1)"}};
    for (const auto& [rate, text] : cases) {
        app.settings.GPSBaudRate = static_cast<GpsBaud>(rate);
        ComPortSetupDialog dialog(nullptr, current(), ui);
        EXPECT_EQ(dialog.baud_label()->text(), QString::fromLatin1(text)) << rate;
    }
}

TEST_F(ComPortSetupTest, RefusesTheSamePortForHeadAndGps) {
    ComPortSetupDialog dialog(nullptr, current(), ui);
    dialog.show();
    dialog.head_list()->setCurrentIndex(2);  // COM4, the GPS port
    ok(dialog);
    ASSERT_EQ(ui.boxes().size(), 1u);
    EXPECT_EQ(ui.boxes()[0].text, "ComPorts can not be the same.");
    EXPECT_EQ(ui.boxes()[0].caption, "ComPort Setup");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(calls.empty()) << "the ports keep running";
    EXPECT_EQ(app.settings.ComPort, 2);
    EXPECT_EQ(app.settings.ComPortGPS, 3);

    // Choosing another port then goes through.
    dialog.gps_list()->setCurrentIndex(0);
    ok(dialog);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(app.settings.ComPort, 3);
    EXPECT_EQ(app.settings.ComPortGPS, 0);
}

TEST_F(ComPortSetupTest, OkRestartsHeadAndGpsOnTheChosenPorts) {
    ComPortSetupDialog dialog(nullptr, current(), ui);
    dialog.show();
    dialog.head_list()->setCurrentIndex(0);
    dialog.position_button(2)->click();
    EXPECT_TRUE(dialog.position_button(2)->isChecked());
    EXPECT_FALSE(dialog.position_button(1)->isChecked());
    ok(dialog);
    EXPECT_EQ(calls, (std::vector<std::string>{"stop head", "stop gps", "start head COM1",
                                               "start gps COM4"}));
    EXPECT_EQ(app.settings.GPSHeadingType, 2);
}

TEST_F(ComPortSetupTest, ANetworkGpsSourceIsListedFirstAndOkKeepsItUnlessAPortIsPicked) {
    struct Case {
        int gps_index;  // what the operator leaves selected in the GPS list
        const char* source_after;
        int gps_port_after;
    };
    const Case cases[] = {
        {0, "gpsd://127.0.0.1:2947", 3},  // untouched: the source stays
        {1, "", 0},                       // COM1 picked: the port replaces the source
        {3, "", 3},                       // COM4 picked
    };
    for (const Case& c : cases) {
        app.link.gps_network_source = "gpsd://127.0.0.1:2947";
        app.settings.ComPortGPS = 3;
        devices.calls.clear();
        ComPortSetupDialog dialog(nullptr, current(), ui);
        dialog.show();
        ASSERT_EQ(dialog.gps_list()->count(), 4);
        EXPECT_EQ(dialog.gps_list()->itemText(0), QStringLiteral("gpsd://127.0.0.1:2947"));
        EXPECT_EQ(dialog.gps_list()->currentIndex(), 0);
        dialog.gps_list()->setCurrentIndex(c.gps_index);
        ok(dialog);
        EXPECT_EQ(dialog.result(), QDialog::Accepted) << c.gps_index;
        EXPECT_EQ(app.link.gps_network_source, c.source_after) << c.gps_index;
        EXPECT_EQ(app.settings.ComPortGPS, c.gps_port_after) << c.gps_index;
        EXPECT_EQ(calls.back(), "start gps COM" + std::to_string(c.gps_port_after + 1));
    }
}

TEST_F(ComPortSetupTest, WithoutGpsTheGpsListIsNotAvailableAndThePositionButtonsTakeNoChoice) {
    app.run.gps_enabled = 0;
    ports.resize(1);
    app.settings.ComPort = 0;
    ComPortSetupDialog dialog(nullptr, current(), ui);
    dialog.show();
    EXPECT_EQ(items(dialog.gps_list()), QStringList{" N/A"});
    EXPECT_EQ(dialog.gps_list()->currentIndex(), 0);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(dialog.position_button(i)->isChecked()) << i;
    dialog.position_button(0)->click();
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(dialog.position_button(i)->isChecked()) << i;
    EXPECT_EQ(dialog.working_position_choice(), 1);

    ok(dialog);
    EXPECT_EQ(calls, (std::vector<std::string>{"stop head", "start head COM1", "no position"}));
    EXPECT_EQ(app.settings.GPSHeadingType, 1);
    EXPECT_EQ(app.settings.ComPortGPS, 3) << "untouched without a GPS";
}

TEST_F(ComPortSetupTest, CancelChangesNothing) {
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<ComPortSetupDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->head_list()->setCurrentIndex(0);
        dialog->cancel_button()->click();
    });
    const std::optional<ComPortValues> chosen =
        run_comport_setup_dialog(nullptr, current(), ui, {});
    EXPECT_FALSE(chosen.has_value());
    if (chosen) program.apply_com_ports(*chosen);
    EXPECT_TRUE(devices.calls.empty());
    EXPECT_EQ(app.settings.ComPort, 2);
}

TEST_F(ComPortSetupTest, APortNotPresentSelectsNothingAndOkKeepsIt) {
    app.settings.ComPort = 9;  // COM10, gone since the settings were saved
    ComPortSetupDialog dialog(nullptr, current(), ui);
    EXPECT_EQ(dialog.head_list()->currentIndex(), -1);
    ok(dialog);
    EXPECT_EQ(app.settings.ComPort, 9);
}

TEST_F(ComPortSetupTest, PresentPortsComeFromThePortTable) {
    app.link.ports.paths[0] = "/dev/ttyS0";
    app.link.ports.paths[6] = "/dev/ttyUSB1";
    const std::vector<ComPortEntry> present = program.com_port_values().ports;
    ASSERT_EQ(present.size(), 2u);
    EXPECT_EQ(present[0].com_number, 1);
    EXPECT_EQ(present[1].com_number, 7);
    EXPECT_EQ(present[1].device_path, "/dev/ttyUSB1");
}

}  // namespace
}  // namespace kelvanor
