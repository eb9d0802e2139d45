#include "app/startup_logo.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace kelvanor {

QPixmap make_startup_logo() {
    // A side-scan fan over a dark sea: the head in the middle, its two beams spreading to port
    // and starboard, echoes as arcs.
    QPixmap logo(360, 200);
    QPainter painter(&logo);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sea(0, 0, 0, 200);
    sea.setColorAt(0, QColor(8, 24, 48));
    sea.setColorAt(1, QColor(2, 8, 20));
    painter.fillRect(logo.rect(), sea);
    const QPointF head(180, 70);
    for (int side = -1; side <= 1; side += 2) {
        QPainterPath beam;
        beam.moveTo(head);
        beam.lineTo(head.x() + side * 170, head.y() + 40);
        beam.lineTo(head.x() + side * 170, head.y() + 110);
        beam.closeSubpath();
        painter.fillPath(beam, QColor(40, 120, 160, 90));
    }
    painter.setPen(QPen(QColor(250, 190, 60), 2));
    for (int r = 30; r <= 150; r += 30) {
        painter.drawArc(QRectF(head.x() - r, head.y() - r / 2.0, 2 * r, r), 200 * 16, 140 * 16);
    }
    painter.setBrush(QColor(250, 190, 60));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(head, 6, 6);
    QFont title(QStringLiteral("DejaVu Sans"), 26, QFont::Bold);
    painter.setFont(title);
    painter.setPen(QColor(230, 240, 250));
    painter.drawText(QRect(0, 120, 360, 40), Qt::AlignCenter, QStringLiteral("KELVANOR"));
    QFont sub(QStringLiteral("DejaVu Sans"), 10);
    painter.setFont(sub);
    painter.setPen(QColor(150, 190, 220));
    painter.drawText(QRect(0, 160, 360, 24), Qt::AlignCenter,
                     QStringLiteral("Marlinray side-scan sonar"));
    return logo;
}

}  // namespace kelvanor
