#include "dialogs/manual_speed_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include <algorithm>
#include <charconv>

#include "control/app_state.h"
#include "dialogs/dialog_layout.h"
#include "platform/ui_services.h"

namespace kelvanor {

namespace {

constexpr const char* kCaption = "Manual Speed";
constexpr const char* kOutOfRange = "Speed is out of range!\nUse 0.5 to 10.0 kts";
// The arrows' own position never moves: only their clicks count.
constexpr int kArrowsRest = 1;

bool in_range(float knots) {
    // Written so that a NaN ("nan" typed into the edit) is out of range too.
    return knots >= kManualSpeedMin && knots <= kManualSpeedMax;
}

}  // namespace

QString manual_speed_text(float knots) {
    // QString::asprintf formats in the C locale: "  3.0" under any desktop language.
    return QString::asprintf("%5.1f", static_cast<double>(knots));
}

float parse_manual_speed(std::string_view text) {
    text = text.substr(0, 6);
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    float value = 0.0f;
    const auto [end, ec] = std::from_chars(text.data() + i, text.data() + text.size(), value);
    (void)end;
    if (ec != std::errc()) return 0.0f;
    return negative ? -value : value;
}

ManualSpeedDialog::ManualSpeedDialog(QWidget* owner, ManualSpeedValues values, UiServices& ui)
    : QDialog(owner), values_(values), ui_(ui) {
    setWindowTitle(QString::fromLatin1(kCaption));
    setFont(dialog_font(client_scale(owner)));
    const DialogUnits du(font());
    setFixedSize(du.size(150, 48));

    auto* label = new QLabel(QStringLiteral("Enter Speed:"), this);
    label->setGeometry(du.rect(10, 10, 55, 8));
    edit_ = new QLineEdit(this);
    edit_->setGeometry(du.rect(67, 8, 28, 12));
    arrows_ = new QScrollBar(Qt::Vertical, this);
    arrows_->setGeometry(du.rect(95, 8, 9, 12));
    arrows_->setRange(0, 2);
    arrows_->setValue(kArrowsRest);
    auto* kts = new QLabel(QStringLiteral("KTS"), this);
    kts->setGeometry(du.rect(108, 10, 20, 8));

    ok_ = new QPushButton(QStringLiteral("Ok"), this);
    ok_->setGeometry(du.rect(9, 28, 40, 14));
    ok_->setDefault(true);
    default_ = new QPushButton(QStringLiteral("Default"), this);
    default_->setGeometry(du.rect(55, 28, 40, 14));
    default_->setAutoDefault(false);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setGeometry(du.rect(101, 28, 40, 14));
    cancel_->setAutoDefault(false);

    // Every change of the edit, typed or set by the dialog, is read back into the working
    // speed, so the working speed is always what the edit shows.
    connect(edit_, &QLineEdit::textChanged, this, [this] { read_edit(); });
    connect(arrows_, &QScrollBar::actionTriggered, this, &ManualSpeedDialog::arrow);
    connect(ok_, &QPushButton::clicked, this, &ManualSpeedDialog::accept);
    connect(default_, &QPushButton::clicked, this, [this] { show_speed(kManualSpeedDefault); });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    show_speed(values_.speed_knots);
    edit_->setFocus();
}

void ManualSpeedDialog::read_edit() {
    const QByteArray latin = edit_->text().toLatin1();
    working_ = parse_manual_speed(std::string_view(latin.constData(), latin.size()));
}

void ManualSpeedDialog::show_speed(float knots) {
    edit_->setText(manual_speed_text(knots));
    // Also when the text did not change and no change was reported.
    read_edit();
}

void ManualSpeedDialog::arrow(int action) {
    // On a vertical bar the up arrow steps towards the minimum.
    if (action == QAbstractSlider::SliderSingleStepSub) {
        show_speed(std::min(working_ + kManualSpeedStep, kManualSpeedMax));
    } else if (action == QAbstractSlider::SliderSingleStepAdd) {
        show_speed(std::max(working_ - kManualSpeedStep, kManualSpeedMin));
    }
    arrows_->setSliderPosition(kArrowsRest);
}

void ManualSpeedDialog::accept() {
    if (!in_range(working_)) {
        ui_.message_box(kOutOfRange, kCaption, MessageKind::Warning);
        show_speed(values_.speed_knots);
        edit_->setFocus();
        return;
    }
    values_.speed_knots = working_;
    QDialog::accept();
}

std::optional<ManualSpeedValues> run_manual_speed_dialog(QWidget* owner,
                                                         const ManualSpeedValues& current,
                                                         UiServices& ui) {
    ManualSpeedDialog dialog(owner, current, ui);
    // The dialog keeps its template position over the owner's client area.
    const DialogUnits du(dialog.font());
    dialog.move(client_origin(owner) + QPoint(du.x(5), du.y(5)));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.values();
}

}  // namespace kelvanor
