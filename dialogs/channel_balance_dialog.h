#pragma once
// "Channel Balance": the gain offset between the port and starboard channels, 0..60 with 30
// balanced. Ok hands back the working balance; Default has 30 applied at once, and a later
// Cancel does not undo it.

#include <QDialog>

#include <functional>
#include <optional>

#include "control/dialog_values.h"
#include "platform/geometry.h"

class QPushButton;
class QScrollBar;

namespace kelvanor {

inline constexpr int kBalanceMin = 0;
inline constexpr int kBalanceMax = 60;
inline constexpr int kBalanceCentred = 30;

class ChannelBalanceDialog : public QDialog {
    Q_OBJECT
  public:
    // `apply_now` applies the centred balance at Default (the setting and the panel's
    // read-out), while the dialog stays open.
    using ApplyNow = std::function<void(const ChannelBalanceValues&)>;
    ChannelBalanceDialog(QWidget* owner, ChannelBalanceValues values, ApplyNow apply_now);

    int working_balance() const { return working_; }
    // The values as Ok took them (the opening values before an Ok).
    const ChannelBalanceValues& values() const { return values_; }
    QScrollBar* balance_bar() const { return bar_; }
    QPushButton* ok_button() const { return ok_; }
    QPushButton* default_button() const { return default_; }
    QPushButton* cancel_button() const { return cancel_; }

    void accept() override;

  private:
    void bar_action(int action);
    void set_default();

    ChannelBalanceValues values_;
    ApplyNow apply_now_;
    int working_ = kBalanceCentred;
    QScrollBar* bar_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* default_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

// Shows the dialog modally above the middle of the main window, kept on a screen of
// `screen` (the owner's screen when unknown). The chosen values after Ok; nothing after Cancel.
std::optional<ChannelBalanceValues> run_channel_balance_dialog(
    QWidget* owner, const ChannelBalanceValues& current, Size screen,
    const ChannelBalanceDialog::ApplyNow& apply_now);

}  // namespace kelvanor
