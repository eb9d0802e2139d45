#include "app/tool_views.h"

#include <QPaintEvent>
#include <QPainter>

#include "headlink/diagnostics_view.h"
#include "platform/client_scale.h"
#include "waterfall/palette.h"

namespace kelvanor {

namespace {

// Copies the part of `image` that the dirty view rectangle shows, each pixel a square of
// scale x scale, without smoothing.
void draw_scaled(QPainter& painter, const QRect& dirty, const QImage& image, int scale) {
    const QRect source = QRect(dirty.left() / scale, dirty.top() / scale,
                               (dirty.right() / scale) - (dirty.left() / scale) + 1,
                               (dirty.bottom() / scale) - (dirty.top() / scale) + 1) &
                         image.rect();
    painter.drawImage(QRect(source.topLeft() * scale, source.size() * scale), image, source);
}

}  // namespace

DiagnosticsView::DiagnosticsView(const AppState& app, QWidget* parent)
    : QWidget(parent),
      app_(app),
      layout_(diagnostics_layout(panel_font().metrics, QtSurface({1, 1}))),
      surface_(layout_.window) {
    setFixedSize(surface_.image().size());
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void DiagnosticsView::paintEvent(QPaintEvent* event) {
    // Draws from a snapshot, never from the buffer the acquisition thread fills, and asks
    // for no further paint.
    const DiagnosticsSnapshot snapshot = take_diagnostics_snapshot(app_);
    {
        std::lock_guard lock(surface_.mutex());
        surface_.set_palette(make_palette(app_.settings.Colors));
        draw_diagnostics(surface_, layout_, snapshot, true);
    }
    QPainter painter(this);
    std::lock_guard lock(surface_.mutex());
    draw_scaled(painter, event->rect(), surface_.image(), scale_);
}

void DiagnosticsView::set_scale(int scale) {
    scale_ = valid_scale(scale);
    setFixedSize(surface_.image().size() * scale_);
    update();
}

ZoomPicture::ZoomPicture(Surface& client, QWidget* parent)
    : QWidget(parent),
      client_(client),
      pixels_(static_cast<size_t>(kZoomViewSize) * kZoomViewSize),
      image_(kZoomViewSize, kZoomViewSize, QImage::Format_RGB32) {
    setFixedSize(kZoomViewSize, kZoomViewSize);
    setAttribute(Qt::WA_OpaquePaintEvent);
    image_.fill(Qt::black);
}

void ZoomPicture::show_view(const ZoomView& view) {
    render_zoom(client_, view, pixels_);
    for (int y = 0; y < kZoomViewSize; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(image_.scanLine(y));
        const Rgb* src = pixels_.data() + static_cast<size_t>(y) * kZoomViewSize;
        for (int x = 0; x < kZoomViewSize; ++x)
            row[x] = qRgb(src[x].red, src[x].green, src[x].blue);
    }
    update();
}

void ZoomPicture::set_scale(int scale) {
    scale_ = valid_scale(scale);
    setFixedSize(image_.size() * scale_);
    update();
}

void ZoomPicture::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    draw_scaled(painter, event->rect(), image_, scale_);
}

}  // namespace kelvanor
