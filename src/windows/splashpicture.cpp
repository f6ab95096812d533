#include "windows/splashpicture.h"

#include "platform/appinfo.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace mixgen {

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

void drawSky(QPainter& p) {
    QLinearGradient sky(0, 0, 0, kHeight);
    sky.setColorAt(0.0, QColor(12, 10, 40));
    sky.setColorAt(0.55, QColor(58, 22, 92));
    sky.setColorAt(1.0, QColor(18, 62, 88));
    p.fillRect(0, 0, kWidth, kHeight, sky);

    // A soft glow behind the record.
    QRadialGradient glow(QPointF(236, 92), 120);
    glow.setColorAt(0.0, QColor(255, 140, 60, 120));
    glow.setColorAt(1.0, QColor(255, 140, 60, 0));
    p.fillRect(0, 0, kWidth, kHeight, glow);

    // A few stars, placed by a fixed rule so the picture is the same every time.
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 40; ++i) {
        const int x = (i * 97 + 13) % kWidth;
        const int y = (i * 53 + 7) % 120;
        p.setBrush(QColor(255, 255, 255, 60 + (i * 37) % 150));
        p.drawEllipse(QPointF(x, y), 0.8 + (i % 3) * 0.4, 0.8 + (i % 3) * 0.4);
    }
}

void drawRecord(QPainter& p) {
    const QPointF centre(236, 92);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(14, 14, 18));
    p.drawEllipse(centre, 74, 74);

    // Grooves.
    p.setBrush(Qt::NoBrush);
    for (int r = 32; r < 72; r += 3) {
        p.setPen(QPen(QColor(60, 60, 72, r % 2 ? 160 : 90), 1));
        p.drawEllipse(centre, r, r);
    }
    // The light catching the grooves.
    QPen shine(QColor(255, 255, 255, 70), 6, Qt::SolidLine, Qt::RoundCap);
    p.setPen(shine);
    p.drawArc(QRectF(centre.x() - 56, centre.y() - 56, 112, 112), 100 * 16, 45 * 16);
    p.drawArc(QRectF(centre.x() - 56, centre.y() - 56, 112, 112), 280 * 16, 35 * 16);

    // The label with its hole.
    QRadialGradient label(centre, 28);
    label.setColorAt(0.0, QColor(255, 196, 64));
    label.setColorAt(1.0, QColor(226, 74, 38));
    p.setPen(Qt::NoPen);
    p.setBrush(label);
    p.drawEllipse(centre, 28, 28);
    p.setBrush(QColor(12, 10, 40));
    p.drawEllipse(centre, 3.5, 3.5);

    // The tone arm resting on the record.
    p.setPen(QPen(QColor(200, 204, 214), 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(306, 36), QPointF(298, 112));
    p.drawLine(QPointF(298, 112), QPointF(274, 138));
    p.setBrush(QColor(150, 154, 166));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(306, 36), 7, 7);
    p.drawRoundedRect(QRectF(264, 133, 15, 10), 3, 3);
}

// An eighth note (two when beamed) in colour at the given place and size.
void drawNote(QPainter& p, QPointF head, double size, const QColor& colour, bool beamed) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const double stem = size * 3.2;
    auto drawHead = [&](QPointF at) {
        p.save();
        p.translate(at);
        p.rotate(-25);
        p.drawEllipse(QPointF(0, 0), size * 0.75, size * 0.52);
        p.restore();
    };
    const QPointF second = head + QPointF(size * 2.2, -size * 0.6);
    drawHead(head);
    p.setPen(QPen(colour, std::max(1.5, size * 0.18)));
    p.drawLine(head + QPointF(size * 0.65, 0), head + QPointF(size * 0.65, -stem));
    if (beamed) {
        drawHead(second);
        p.drawLine(second + QPointF(size * 0.65, 0), second + QPointF(size * 0.65, -stem));
        p.setPen(QPen(colour, size * 0.45, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(head + QPointF(size * 0.65, -stem), second + QPointF(size * 0.65, -stem));
    } else {
        QPainterPath flag(head + QPointF(size * 0.65, -stem));
        flag.cubicTo(head + QPointF(size * 1.6, -stem + size * 0.8),
                     head + QPointF(size * 1.9, -stem + size * 1.6),
                     head + QPointF(size * 1.3, -stem + size * 2.3));
        p.setBrush(Qt::NoBrush);
        p.drawPath(flag);
    }
}

void drawLevelBars(QPainter& p) {
    const int bars = 26;
    const double barWidth = static_cast<double>(kWidth) / bars;
    for (int i = 0; i < bars; ++i) {
        const double level = 0.35 + 0.3 * std::sin(i * 0.7) + 0.25 * std::sin(i * 1.9 + 1.0);
        const double height = 10 + 28 * std::clamp(level, 0.0, 1.0);
        QLinearGradient fill(0, kHeight, 0, kHeight - 38);
        fill.setColorAt(0.0, QColor(40, 200, 120));
        fill.setColorAt(0.6, QColor(240, 220, 60));
        fill.setColorAt(1.0, QColor(240, 70, 60));
        const QRectF bar(i * barWidth + 1.5, kHeight - height, barWidth - 3, height);
        p.fillRect(bar, fill);
        // Segment gaps, as on a real level meter.
        for (double y = kHeight - 4; y > kHeight - height; y -= 4)
            p.fillRect(QRectF(bar.left(), y, bar.width(), 1), QColor(0, 0, 0, 110));
    }
}

void drawTitle(QPainter& p) {
    QFont title(QStringLiteral("Sans Serif"));
    title.setPixelSize(30);
    title.setBold(true);
    p.setFont(title);
    const QString name = QString::fromLatin1(kAppTitle);
    const QRectF place(14, 148, 300, 38);
    p.setPen(QColor(0, 0, 0, 170));
    p.drawText(place.translated(2, 2), Qt::AlignLeft | Qt::AlignVCenter, name);
    QLinearGradient ink(place.topLeft(), place.bottomLeft());
    ink.setColorAt(0.0, QColor(255, 255, 255));
    ink.setColorAt(1.0, QColor(255, 214, 120));
    p.setPen(QPen(QBrush(ink), 1));
    p.drawText(place, Qt::AlignLeft | Qt::AlignVCenter, name);

    QFont line(QStringLiteral("Sans Serif"));
    line.setPixelSize(12);
    line.setItalic(true);
    p.setFont(line);
    p.setPen(QColor(220, 226, 255, 220));
    p.drawText(QRectF(17, 183, 290, 16), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("random playlists from your music"));
}

} // namespace

QPixmap drawSplashPicture() {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    drawSky(p);
    drawRecord(p);
    drawNote(p, QPointF(36, 100), 11, QColor(255, 214, 120), true);
    drawNote(p, QPointF(98, 66), 8, QColor(140, 220, 255), false);
    drawNote(p, QPointF(130, 118), 7, QColor(255, 150, 200), false);
    drawLevelBars(p);
    drawTitle(p);
    p.end();
    return QPixmap::fromImage(image);
}

} // namespace mixgen
