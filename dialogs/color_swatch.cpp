#include "color_swatch.h"

#include <QMouseEvent>

namespace kelp {

ColorSwatch::ColorSwatch(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setAutoFillBackground(true);
    setFixedSize(41, 21);
    setCursor(Qt::PointingHandCursor);
    setToolTip("Double click to change color");
    setColor(Qt::black);
}

void ColorSwatch::setColor(const QColor& c) {
    color_ = c;
    QPalette p = palette();
    p.setColor(QPalette::Window, c);
    setPalette(p);
}

void ColorSwatch::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) emit doubleClicked();
    QFrame::mouseDoubleClickEvent(e);
}

}  // namespace kelp
