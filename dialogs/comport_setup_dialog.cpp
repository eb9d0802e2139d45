#include "dialogs/comport_setup_dialog.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include "control/app_state.h"
#include "dialogs/dialog_layout.h"
#include "platform/ui_services.h"

namespace kelvanor {

namespace {

constexpr const char* kCaption = "ComPort Setup";
constexpr const char* kSamePorts = "ComPorts can not be the same.";
constexpr int kFirstPositionId = 113;  // GLL 113, GGA 114, RMC 115

}  // namespace

QString com_port_label(const ComPortEntry& port) {
    QString label = QStringLiteral("COM%1").arg(port.com_number);
    if (!port.device_path.empty()) {
        label += QStringLiteral("  ") + QString::fromLocal8Bit(port.device_path.c_str());
    }
    if (!port.description.empty()) {
        label += QStringLiteral(" (") + QString::fromLocal8Bit(port.description.c_str()) +
                 QStringLiteral(")");
    }
    return label;
}

ComPortSetupDialog::ComPortSetupDialog(QWidget* owner, ComPortValues values, UiServices& ui)
    : QDialog(owner), values_(std::move(values)), ui_(ui), gps_enabled_(values_.gps_enabled) {
    setWindowTitle(QString::fromLatin1(kCaption));
    setFont(dialog_font(client_scale(owner)));
    const DialogUnits du(font());
    setFixedSize(du.size(200, 163));

    auto* head_group = new QGroupBox(QStringLiteral("Marlinray Head (115200,N,8,1)"), this);
    head_group->setObjectName(QStringLiteral("101"));
    head_group->setGeometry(du.rect(7, 5, 186, 34));
    (new QLabel(QStringLiteral("ComPort:"), this))->setGeometry(du.rect(15, 20, 35, 8));
    head_list_ = new QComboBox(this);
    head_list_->setGeometry(du.rect(52, 18, 134, 13));

    auto* gps_group = new QGroupBox(QStringLiteral("GPS Input  "), this);
    gps_group->setObjectName(QStringLiteral("201"));
    gps_group->setGeometry(du.rect(7, 43, 186, 46));
    baud_label_ = new QLabel(QStringLiteral("(4800,N,8,1)"), this);
    baud_label_->setGeometry(du.rect(15, 55, 80, 8));
    (new QLabel(QStringLiteral("ComPort:"), this))->setGeometry(du.rect(15, 70, 35, 8));
    gps_list_ = new QComboBox(this);
    gps_list_->setGeometry(du.rect(52, 68, 134, 13));

    auto* position_group = new QGroupBox(QStringLiteral("NMEA Position"), this);
    position_group->setObjectName(QStringLiteral("119"));
    position_group->setGeometry(du.rect(7, 93, 186, 30));
    const char* names[3] = {"GLL", "GGA", "RMC"};
    for (int i = 0; i < 3; ++i) {
        position_[i] = new QRadioButton(QString::fromLatin1(names[i]), this);
        position_[i]->setObjectName(QString::number(kFirstPositionId + i));
        position_[i]->setGeometry(du.rect(20 + 60 * i, 106, 40, 10));
        connect(position_[i], &QRadioButton::clicked, this, [this, i] { position_clicked(i); });
    }

    ok_ = new QPushButton(QStringLiteral("Ok"), this);
    ok_->setGeometry(du.rect(40, 137, 50, 16));
    ok_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setGeometry(du.rect(110, 137, 50, 16));
    cancel_->setAutoDefault(false);
    connect(ok_, &QPushButton::clicked, this, &ComPortSetupDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    // The dialog shows the GPS line settings; it has no control that changes them.
    baud_label_->setText(values_.gps_baud_9600 ? QStringLiteral("(9600,N,8,1)")
                                               : QStringLiteral("(4800,N,8,1)"));

    working_head_ = values_.head_port;
    fill_port_list(head_list_, working_head_);

    working_choice_ = values_.position_choice;
    if (gps_enabled_) {
        working_gps_ = values_.gps_port;
        fill_port_list(gps_list_, working_gps_);
        // A network source stands first and is the selection: Ok keeps it unless the
        // operator picks a port.
        network_source_ = values_.network_source;
        if (!network_source_.empty()) {
            gps_list_->insertItem(0, QString::fromStdString(network_source_), -1);
            gps_list_->setCurrentIndex(0);
        }
        for (int i = 0; i < 3; ++i) position_[i]->setAutoExclusive(true);
        if (working_choice_ >= 0 && working_choice_ < 3)
            position_[working_choice_]->setChecked(true);
    } else {
        gps_list_->addItem(QStringLiteral(" N/A"));
        gps_list_->setCurrentIndex(0);
        show_gps_position_buttons();
    }
}

void ComPortSetupDialog::fill_port_list(QComboBox* list, int selected_port) {
    int selected = -1;
    for (const ComPortEntry& port : values_.ports) {
        if (port.com_number - 1 == selected_port) selected = list->count();
        list->addItem(com_port_label(port), port.com_number);
    }
    // A port that is not present selects nothing.
    list->setCurrentIndex(selected);
}

void ComPortSetupDialog::show_gps_position_buttons() {
    // Without a GPS the three buttons show pushed and take no choice.
    for (QRadioButton* button : position_) {
        button->setAutoExclusive(false);
        button->setChecked(true);
    }
}

void ComPortSetupDialog::position_clicked(int choice) {
    if (!gps_enabled_) {
        show_gps_position_buttons();
        return;
    }
    position_[choice]->setChecked(true);
    working_choice_ = choice;
}

void ComPortSetupDialog::accept() {
    // The i-th entry is the i-th port present; no selection leaves the working port alone.
    auto chosen = [this](const QComboBox* list, int& working) {
        const int i = list->currentIndex();
        if (i >= 0 && i < static_cast<int>(values_.ports.size()))
            working = values_.ports[i].com_number - 1;
    };
    chosen(head_list_, working_head_);
    const bool keep_network = !network_source_.empty() && gps_list_->currentIndex() == 0;
    if (gps_enabled_ && !keep_network) {
        const int i = gps_list_->currentIndex() - (network_source_.empty() ? 0 : 1);
        if (i >= 0 && i < static_cast<int>(values_.ports.size()))
            working_gps_ = values_.ports[i].com_number - 1;
    }
    if (gps_enabled_ && !keep_network && working_head_ == working_gps_) {
        ui_.message_box(kSamePorts, kCaption, MessageKind::Warning);
        return;
    }

    values_.head_port = working_head_;
    values_.position_choice = working_choice_;
    if (gps_enabled_) {
        values_.network_source = keep_network ? network_source_ : std::string();
        if (!keep_network) values_.gps_port = working_gps_;
    }
    QDialog::accept();
}

std::optional<ComPortValues> run_comport_setup_dialog(QWidget* owner, const ComPortValues& current,
                                                      UiServices& ui, Size screen) {
    ComPortSetupDialog dialog(owner, current, ui);
    dialog.move(
        centred_dialog_position(placement_frame(owner, screen), dialog.size(), kWaterfallCentre));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.values();
}

}  // namespace kelvanor
