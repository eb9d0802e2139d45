#pragma once
// "Channel Balance": the gain offset between the port and starboard channels, 0..60 with 30
// balanced. Ok writes the working balance; Default writes 30 at once, and a later Cancel
// does not undo it.

#include <QDialog>

#include <functional>

class QPushButton;
class QScrollBar;

namespace kelvanor {

struct AppState;

inline constexpr int kBalanceMin = 0;
inline constexpr int kBalanceMax = 60;
inline constexpr int kBalanceCentred = 30;

class ChannelBalanceDialog : public QDialog {
    Q_OBJECT
  public:
    // `redraw_balance_readout` redraws the panel's balance read-out after Default.
    ChannelBalanceDialog(QWidget* owner, AppState& app,
                         std::function<void()> redraw_balance_readout);

    int working_balance() const { return working_; }
    QScrollBar* balance_bar() const { return bar_; }
    QPushButton* ok_button() const { return ok_; }
    QPushButton* default_button() const { return default_; }
    QPushButton* cancel_button() const { return cancel_; }

    void accept() override;

  private:
    void bar_action(int action);
    void set_default();

    AppState& app_;
    std::function<void()> redraw_balance_readout_;
    int working_ = kBalanceCentred;
    QScrollBar* bar_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* default_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

// Shows the dialog modally above the middle of the main window. True when Ok wrote the
// working balance. The caller redraws the balance read-out afterwards in any case.
bool run_channel_balance_dialog(QWidget* owner, AppState& app,
                                const std::function<void()>& redraw_balance_readout);

}  // namespace kelvanor
