#pragma once
// "About KELVANOR": the logo, the program's name and version, a few lines about it, and OK.

#include <QDialog>
#include <QPixmap>

#include <array>

#include "platform/geometry.h"

class QPushButton;

namespace kelvanor {

// The seven centred lines of the box, top to bottom.
inline constexpr std::array<const char*, 7> kAboutLines{
    "KELVANOR For Win XP/Vista/7/8",
    "Version 4.00 (30AUG13)",
    "Side-Scan Sonar Display and Recording",
    "Marlinray Head: 115200,N,8,1",
    "GPS Input: NMEA 0183 (GLL, GGA, RMC, VTG)",
    "Data Files: *.VKD",
    "Settings: KELVANOR.INI",
};

class AboutDialog : public QDialog {
    Q_OBJECT
  public:
    AboutDialog(QWidget* owner, const QPixmap& logo);
    QPushButton* ok_button() const { return ok_; }

  private:
    QPushButton* ok_ = nullptr;
};

// Shows the box modally, centred on the waterfall and kept on a screen of `screen` (the
// owner's screen when unknown). `logo` is scaled into its frame.
void run_about_dialog(QWidget* owner, Size screen, const QPixmap& logo = QPixmap());

}  // namespace kelvanor
