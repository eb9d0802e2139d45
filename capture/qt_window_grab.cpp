#include "capture/qt_window_grab.h"

#include <QPixmap>
#include <QWidget>

#include "capture/bmp_writer.h"

namespace kelvanor {

QImage grab_window(QWidget& window) {
    return window.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

bool save_bmp(const QImage& image, const std::string& path) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const auto* pixels = reinterpret_cast<const uint32_t*>(rgb.constBits());
    const int stride = static_cast<int>(rgb.bytesPerLine() / 4);
    return write_file(path, encode_bmp24(pixels, rgb.width(), rgb.height(), stride));
}

}  // namespace kelvanor
