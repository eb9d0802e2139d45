#pragma once
// "Save Screen...": the main window as displayed, written to a 24-bit BMP file the user
// chooses.

#include <QImage>

#include <functional>
#include <string>

#include "platform/ui_services.h"

class QWidget;

namespace kelvanor {

enum class SaveScreenOutcome {
    Cancelled,       // the file dialog was cancelled
    WrongExtension,  // refused with "File extension must be .BMP"
    Failed,          // the file could not be created or written (reported)
    Saved,
};

// The save dialog: "Save Screen As", bitmap files, default extension BMP, asks before
// replacing a file.
FileDialogSpec save_screen_dialog_spec();

// The main window as displayed: with its frame and caption where the platform lets the
// screen be read back and the screen shows the window unhidden, otherwise the window's own
// rendering with its menu bar.
QImage capture_main_window(QWidget& main_window);

// The command: asks for the file, creates it under its lower-cased name, lets the window
// repaint what the dialog covered, calls `show_current_readout` (the panel's cursor
// read-out for the last pointer position, so that the picture shows a current read-out),
// and writes the picture. GUI thread only.
SaveScreenOutcome save_screen(QWidget& main_window, UiServices& ui,
                              const std::function<void()>& show_current_readout = {});

}  // namespace kelvanor
