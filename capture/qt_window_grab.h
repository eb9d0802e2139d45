#pragma once
// The picture of a window as displayed, written as a 24-bit BMP.

#include <QImage>

#include <string>

class QWidget;

namespace kelvanor {

// The window's own rendering, menu bar included (the frame belongs to the window manager and
// is not part of it).
QImage grab_window(QWidget& window);

// Writes the image as a 24-bit bottom-up BMP at exactly `path`. False when it could not.
bool save_bmp(const QImage& image, const std::string& path);

}  // namespace kelvanor
