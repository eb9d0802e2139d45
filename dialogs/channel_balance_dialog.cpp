#include "dialogs/channel_balance_dialog.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>

#include <algorithm>

#include "control/app_state.h"
#include "dialogs/dialog_layout.h"

namespace kelvanor {

namespace {

// Tick marks above and below the bar every 15 dialog units, the middle one longer.
class BalanceTicks : public QWidget {
  public:
    BalanceTicks(const DialogUnits& du, QWidget* parent) : QWidget(parent), du_(du) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        for (int i = 0; i <= 8; ++i) {
            const int x = du_.x(15 + 15 * i);
            const int length = du_.y(i == 4 ? 6 : 3);
            const int above = du_.y(23);
            const int below = du_.y(34);
            painter.drawLine(x, above - length, x, above);
            painter.drawLine(x, below, x, below + length);
        }
    }

  private:
    DialogUnits du_;
};

}  // namespace

ChannelBalanceDialog::ChannelBalanceDialog(QWidget* owner, ChannelBalanceValues values,
                                           ApplyNow apply_now)
    : QDialog(owner), values_(values), apply_now_(std::move(apply_now)) {
    setWindowTitle(QStringLiteral("Channel Balance"));
    setFont(dialog_font(client_scale(owner)));
    const DialogUnits du(font());
    setFixedSize(du.size(150, 73));

    auto* ticks = new BalanceTicks(du, this);
    ticks->setGeometry(rect());
    (new QLabel(QStringLiteral("Port"), this))->setGeometry(du.rect(8, 6, 30, 8));
    auto* stbd = new QLabel(QStringLiteral("Stbd"), this);
    stbd->setGeometry(du.rect(112, 6, 30, 8));
    stbd->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    bar_ = new QScrollBar(Qt::Horizontal, this);
    bar_->setObjectName(QStringLiteral("1020"));
    bar_->setGeometry(du.rect(15, 24, 121, 9));
    bar_->setRange(kBalanceMin, kBalanceMax);
    bar_->setSingleStep(1);
    bar_->setPageStep(1);

    ok_ = new QPushButton(QStringLiteral("Ok"), this);
    ok_->setGeometry(du.rect(9, 50, 40, 14));
    ok_->setDefault(true);
    default_ = new QPushButton(QStringLiteral("Default"), this);
    default_->setGeometry(du.rect(55, 50, 40, 14));
    default_->setAutoDefault(false);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setGeometry(du.rect(101, 50, 40, 14));
    cancel_->setAutoDefault(false);

    connect(bar_, &QScrollBar::actionTriggered, this, &ChannelBalanceDialog::bar_action);
    connect(ok_, &QPushButton::clicked, this, &ChannelBalanceDialog::accept);
    connect(default_, &QPushButton::clicked, this, &ChannelBalanceDialog::set_default);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    working_ = std::clamp<int>(values_.balance, kBalanceMin, kBalanceMax);
    bar_->setValue(working_);
}

void ChannelBalanceDialog::bar_action(int action) {
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            working_ = std::max(working_ - 1, kBalanceMin);
            break;
        case QAbstractSlider::SliderSingleStepAdd:
            working_ = std::min(working_ + 1, kBalanceMax);
            break;
        case QAbstractSlider::SliderMove:
            working_ = std::min(bar_->sliderPosition(), kBalanceMax);
            break;
        default:
            break;  // page clicks move nothing
    }
    // The bar shows the working balance, whatever the action would have done to it.
    bar_->setSliderPosition(working_);
}

void ChannelBalanceDialog::set_default() {
    working_ = kBalanceCentred;
    bar_->setValue(working_);
    if (apply_now_) apply_now_(ChannelBalanceValues{kBalanceCentred});
}

void ChannelBalanceDialog::accept() {
    values_.balance = working_;
    QDialog::accept();
}

std::optional<ChannelBalanceValues> run_channel_balance_dialog(
    QWidget* owner, const ChannelBalanceValues& current, Size screen,
    const ChannelBalanceDialog::ApplyNow& apply_now) {
    ChannelBalanceDialog dialog(owner, current, apply_now);
    const PlacementFrame frame = placement_frame(owner, screen);
    QPoint at = centred_dialog_position(frame, dialog.size(), kBalanceCentre);
    at.ry() -= kBalanceLift * frame.scale;
    dialog.move(at);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.values();
}

}  // namespace kelvanor
