#pragma once
// "Manual Speed": the vessel's speed in knots when it does not come from the GPS. The dialog
// edits a working copy and hands it back only on an Ok with a speed from 0.5 to 10.0.

#include <QDialog>

#include <optional>
#include <string_view>

#include "control/dialog_values.h"

class QLineEdit;
class QPushButton;
class QScrollBar;

namespace kelvanor {

class UiServices;

inline constexpr float kManualSpeedMin = 0.5f;
inline constexpr float kManualSpeedMax = 10.0f;
inline constexpr float kManualSpeedDefault = 3.0f;
inline constexpr float kManualSpeedStep = 0.1f;

// The speed as the edit shows it ("%5.1f", whatever the locale).
QString manual_speed_text(float knots);
// The first six characters of the edit as a decimal number, read as far as they are one;
// text that does not start with a number reads 0.
float parse_manual_speed(std::string_view text);

class ManualSpeedDialog : public QDialog {
    Q_OBJECT
  public:
    ManualSpeedDialog(QWidget* owner, ManualSpeedValues values, UiServices& ui);

    float working_speed() const { return working_; }
    // The values as Ok took them (the opening values before an Ok).
    const ManualSpeedValues& values() const { return values_; }
    QLineEdit* speed_edit() const { return edit_; }
    // The up and down arrows beside the edit.
    QScrollBar* speed_arrows() const { return arrows_; }
    QPushButton* ok_button() const { return ok_; }
    QPushButton* default_button() const { return default_; }
    QPushButton* cancel_button() const { return cancel_; }

    // Ok: takes the working speed when it is in range; otherwise warns, shows the old speed
    // again and stays open.
    void accept() override;

  private:
    void arrow(int action);
    void read_edit();
    void show_speed(float knots);

    ManualSpeedValues values_;
    UiServices& ui_;
    float working_ = 0.0f;
    QLineEdit* edit_ = nullptr;
    QScrollBar* arrows_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* default_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

// Shows the dialog modally at its fixed place over the owner's client area. The chosen values
// after Ok; nothing after Cancel.
std::optional<ManualSpeedValues> run_manual_speed_dialog(QWidget* owner,
                                                         const ManualSpeedValues& current,
                                                         UiServices& ui);

}  // namespace kelvanor
