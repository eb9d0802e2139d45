#pragma once
// "ComPort Setup": the head's port, the GPS port and the NMEA sentence that gives the
// position. Ok hands back the chosen ports, on which the program restarts the head link (and
// the GPS reader). A GPS network source (gpsd, tcp://, udp://) is listed first among the GPS
// ports and kept unless the operator picks a port.

#include <QDialog>

#include <optional>
#include <string>

#include "control/dialog_values.h"
#include "platform/geometry.h"

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace kelvanor {

class UiServices;

// The list text of a port: "COMn" with its device (and its description when known).
QString com_port_label(const ComPortEntry& port);

class ComPortSetupDialog : public QDialog {
    Q_OBJECT
  public:
    ComPortSetupDialog(QWidget* owner, ComPortValues values, UiServices& ui);

    QComboBox* head_list() const { return head_list_; }
    QComboBox* gps_list() const { return gps_list_; }
    QLabel* baud_label() const { return baud_label_; }
    // GLL, GGA, RMC.
    QRadioButton* position_button(int choice) const { return position_[choice]; }
    QPushButton* ok_button() const { return ok_; }
    QPushButton* cancel_button() const { return cancel_; }
    int working_position_choice() const { return working_choice_; }
    // The values as Ok took them (the opening values before an Ok).
    const ComPortValues& values() const { return values_; }

    // Ok: refuses equal head and GPS ports; otherwise takes the chosen ports and ends.
    void accept() override;

  private:
    void fill_port_list(QComboBox* list, int selected_port);
    void position_clicked(int choice);
    void show_gps_position_buttons();

    ComPortValues values_;
    UiServices& ui_;
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

// Shows the dialog modally, centred on the waterfall and kept on a screen of `screen` (the
// owner's screen when unknown). The chosen values after Ok; nothing after Cancel.
std::optional<ComPortValues> run_comport_setup_dialog(QWidget* owner, const ComPortValues& current,
                                                      UiServices& ui, Size screen);

}  // namespace kelvanor
