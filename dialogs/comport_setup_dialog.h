#pragma once
// "ComPort Setup": the head's port, the GPS port and the NMEA sentence that gives the
// position. Ok restarts the head link (and the GPS reader) on the chosen ports. A GPS network
// source (gpsd, tcp://, udp://) is listed first among the GPS ports and kept unless the
// operator picks a port.

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace kelvanor {

struct AppState;
class UiServices;

// One serial port present: its COM number and the device the platform resolved it to.
struct ComPortEntry {
    int com_number = 0;  // 1..32
    std::string device_path;
    std::string description;  // may be empty
};

// The ports present, in ascending COM number, from the port table found at start-up.
std::vector<ComPortEntry> present_com_ports(const AppState& app);

// The list text of a port: "COMn" with its device (and its description when known).
QString com_port_label(const ComPortEntry& port);

// What Ok does to the ports. Each may be left empty.
struct ComPortActions {
    std::function<void()> stop_head_port;
    // Opens COM(ComPort + 1) and starts the acquisition on it.
    std::function<void()> start_head_port;
    std::function<void()> stop_gps;
    // Opens COM(ComPortGPS + 1) and starts the GPS reader.
    std::function<void()> start_gps;
    // Without a GPS: the position read-out shows no position.
    std::function<void()> show_no_position;
};

class ComPortSetupDialog : public QDialog {
    Q_OBJECT
  public:
    ComPortSetupDialog(QWidget* owner, AppState& app, UiServices& ui,
                       std::vector<ComPortEntry> ports, ComPortActions actions);

    QComboBox* head_list() const { return head_list_; }
    QComboBox* gps_list() const { return gps_list_; }
    QLabel* baud_label() const { return baud_label_; }
    // GLL, GGA, RMC.
    QRadioButton* position_button(int choice) const { return position_[choice]; }
    QPushButton* ok_button() const { return ok_; }
    QPushButton* cancel_button() const { return cancel_; }
    int working_position_choice() const { return working_choice_; }

    // Ok: refuses equal head and GPS ports; otherwise restarts the ports and ends.
    void accept() override;

  private:
    void fill_port_list(QComboBox* list, int selected_port);
    void position_clicked(int choice);
    void show_gps_position_buttons();

    AppState& app_;
    UiServices& ui_;
    std::vector<ComPortEntry> ports_;
    ComPortActions actions_;
    bool gps_enabled_ = false;
    int working_head_ = 0;
    int working_gps_ = 0;
    int working_choice_ = 0;
    std::string network_source_;  // the GPS's network source when it has one, first in the list
    QComboBox* head_list_ = nullptr;
    QComboBox* gps_list_ = nullptr;
    QLabel* baud_label_ = nullptr;
    QRadioButton* position_[3] = {};
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

// Shows the dialog modally, centred on the waterfall. True when Ok changed the ports.
bool run_comport_setup_dialog(QWidget* owner, AppState& app, UiServices& ui,
                              const std::vector<ComPortEntry>& ports,
                              const ComPortActions& actions);

}  // namespace kelvanor
