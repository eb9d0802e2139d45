#include "dialogs/about_dialog.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "control/app_state.h"
#include "dialogs/dialog_layout.h"

namespace kelvanor {

namespace {

// Top of each line of kAboutLines, in dialog units.
constexpr std::array<int, 7> kAboutLineTops{93, 103, 114, 133, 143, 152, 163};

}  // namespace

AboutDialog::AboutDialog(QWidget* owner, const QPixmap& logo) : QDialog(owner) {
    setWindowTitle(QStringLiteral("About KELVANOR"));
    setFont(dialog_font(client_scale(owner)));
    const DialogUnits du(font());
    setFixedSize(du.size(180, 205));

    auto* frame = new QFrame(this);
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    frame->setGeometry(du.rect(9, 9, 161, 75));
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("LOGO"));
    picture->setGeometry(du.rect(10, 10, 159, 73));
    picture->setAlignment(Qt::AlignCenter);
    if (!logo.isNull()) {
        picture->setPixmap(
            logo.scaled(picture->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }

    auto* group = new QGroupBox(this);
    group->setObjectName(QStringLiteral("101"));
    group->setGeometry(du.rect(10, 84, 160, 43));

    for (size_t i = 0; i < kAboutLines.size(); ++i) {
        auto* line = new QLabel(QString::fromLatin1(kAboutLines[i]), this);
        line->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        line->setGeometry(du.rect(2, kAboutLineTops[i], 176, 9));
    }

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setGeometry(du.rect(71, 178, 38, 20));
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
}

void run_about_dialog(QWidget* owner, Size screen, const QPixmap& logo) {
    AboutDialog dialog(owner, logo);
    dialog.move(
        centred_dialog_position(placement_frame(owner, screen), dialog.size(), kWaterfallCentre));
    dialog.exec();
}

}  // namespace kelvanor
