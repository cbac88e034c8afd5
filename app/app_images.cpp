#include "app_images.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace kelp {

namespace {

// A transparent square of `size` pixels, drawn at the screen's scale so the
// picture stays sharp on a scaled (HiDPI) screen.
QPixmap Canvas(int size) {
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    QPixmap p(QSize(size, size) * ratio);
    p.setDevicePixelRatio(ratio);
    p.fill(Qt::transparent);
    return p;
}

// A rounded tile in `color` with a short text on it.
QPixmap Tile(int size, const QColor& color, const QString& text) {
    QPixmap pic = Canvas(size);
    QPainter g(&pic);
    g.setRenderHint(QPainter::Antialiasing);
    g.setBrush(color);
    g.setPen(color.darker(150));
    g.drawRoundedRect(QRectF(1.5, 1.5, size - 3, size - 3), size / 5.0, size / 5.0);
    QFont f;
    f.setBold(true);
    f.setPixelSize(size * (text.size() > 1 ? 9 : 14) / 24);
    g.setFont(f);
    g.setPen(Qt::white);
    g.drawText(QRect(0, 0, size, size), Qt::AlignCenter, text);
    return pic;
}

}  // namespace

QPixmap FunctionPicture(int group, int item) {
    static const QColor colors[3] = {QColor(30, 100, 170), QColor(30, 130, 70),
                                     QColor(170, 70, 30)};
    static const char* const marks[3][5] = {
        {"N", "O", "X", "+", "T"}, {"XS", "XA", "CO", "SFX", "EXE"}, {"+", "-", "RM", "", ""}};
    return Tile(32, colors[group % 3], QString::fromLatin1(marks[group % 3][item % 5]));
}

QPixmap KelpPicture(int size) {
    return Tile(size, QColor(20, 110, 110), QStringLiteral("K"));
}

QPixmap ViewerButtonPicture(int n) {
    return Tile(16, QColor(90, 90, 140), QString::number(n));
}

QPixmap ViewerWindowsPicture() {
    QPixmap pic = Canvas(16);
    QPainter g(&pic);
    g.setPen(QColor(40, 40, 40));
    g.setBrush(QColor(250, 250, 210));
    g.drawRect(1, 1, 9, 8);
    g.setBrush(QColor(200, 230, 250));
    g.drawRect(5, 6, 9, 8);
    return pic;
}

QPixmap ProgramPicture() {
    QPixmap pic = Canvas(16);
    QPainter g(&pic);
    g.setPen(QColor(20, 20, 80));
    g.setBrush(QColor(230, 230, 240));
    g.drawRect(1, 2, 13, 11);
    g.fillRect(2, 3, 12, 3, QColor(30, 60, 160));
    return pic;
}

QPixmap FolderPicture() {
    QPixmap pic = Canvas(16);
    QPainter g(&pic);
    g.setRenderHint(QPainter::Antialiasing);
    g.setPen(QColor(150, 110, 20));
    g.setBrush(QColor(240, 200, 80));
    QPainterPath path;
    path.moveTo(1, 4);
    path.lineTo(6, 4);
    path.lineTo(7.5, 5.5);
    path.lineTo(14.5, 5.5);
    path.lineTo(14.5, 13.5);
    path.lineTo(1, 13.5);
    path.closeSubpath();
    g.drawPath(path);
    return pic;
}

QPixmap DocumentPicture() {
    QPixmap pic = Canvas(16);
    QPainter g(&pic);
    g.setPen(QColor(90, 90, 90));
    g.setBrush(Qt::white);
    g.drawPolygon(
        QPolygon({QPoint(3, 1), QPoint(10, 1), QPoint(13, 4), QPoint(13, 14), QPoint(3, 14)}));
    g.setPen(QColor(150, 150, 170));
    for (int y = 5; y <= 11; y += 2) g.drawLine(5, y, 11, y);
    return pic;
}

QPixmap HaltPicture() {
    QPixmap pic = Canvas(32);
    QPainter g(&pic);
    g.setRenderHint(QPainter::Antialiasing);
    QPolygonF octagon;
    for (int i = 0; i < 8; ++i) {
        const double a = (22.5 + 45.0 * i) * 3.14159265358979 / 180.0;
        octagon << QPointF(16 + 14 * std::cos(a), 16 + 14 * std::sin(a));
    }
    g.setBrush(QColor(200, 20, 20));
    g.setPen(QPen(Qt::white, 1.5));
    g.drawPolygon(octagon);
    g.fillRect(8, 14, 16, 4, Qt::white);
    return pic;
}

}  // namespace kelp
