#include "slide_bar.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QPainter>
#include <QPolygon>

#include "control_accessibility.h"

namespace kelp {

QString thumbPictureName(ThumbStyle style) {
    static const char* const names[] = {"Bar1",    "Bar2",     "Bar3",     "Bar4",     "Circle1",
                                        "Square1", "Diamond1", "Diamond2", "Diamond3", "Diamond4"};
    return QString::fromLatin1(names[style]);
}

QPixmap thumbPicture(const QString& name) {
    // Size and shape of each picture: bars are upright blocks, the others
    // centred shapes of their own size.
    struct Shape {
        const char* name;
        int w, h;
        int kind;
    };  // 0 bar, 1 circle, 2 square, 3 diamond
    static const Shape shapes[] = {{"Bar1", 7, 15, 0},      {"Bar2", 9, 15, 0},
                                   {"Bar3", 7, 13, 0},      {"Bar4", 5, 15, 0},
                                   {"Circle1", 13, 13, 1},  {"Square1", 11, 13, 2},
                                   {"Diamond1", 13, 13, 3}, {"Diamond2", 11, 11, 3},
                                   {"Diamond3", 15, 15, 3}, {"Diamond4", 9, 9, 3}};
    for (const Shape& s : shapes) {
        if (name != QLatin1String(s.name)) continue;
        QPixmap p(s.w, s.h);
        p.fill(Qt::transparent);
        QPainter g(&p);
        g.setRenderHint(QPainter::Antialiasing, s.kind == 1 || s.kind == 3);
        g.setPen(QColor(64, 64, 64));
        g.setBrush(QColor(200, 200, 200));
        const QRectF r(0.5, 0.5, s.w - 1, s.h - 1);
        if (s.kind == 1) {
            g.drawEllipse(r);
        } else if (s.kind == 3) {
            const QPointF pts[] = {{r.center().x(), r.top()},
                                   {r.right(), r.center().y()},
                                   {r.center().x(), r.bottom()},
                                   {r.left(), r.center().y()}};
            g.drawPolygon(pts, 4);
        } else {
            g.drawRect(QRect(0, 0, s.w - 1, s.h - 1));
            g.setPen(Qt::white);
            g.drawLine(1, 1, s.w - 2, 1);
            g.drawLine(1, 1, 1, s.h - 2);
        }
        return p;
    }
    return {};
}

SlideBar::SlideBar(QWidget* parent) : QWidget(parent) {
    InstallControlAccessibility();
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    loadThumb();
    resize(100, 15);
}

void SlideBar::loadThumb() {
    thumb_ = thumbPicture(thumbPictureName(thumbStyle_));
    logic_.w = thumb_.width();
    logic_.h = thumb_.height();
}

void SlideBar::setMin(int v) {
    logic_.Min = v;
    update();
}

void SlideBar::setMax(int v) {
    logic_.Max = v;
    update();
}

void SlideBar::setPosition(int v) {
    if (v >= logic_.Min && v <= logic_.Max) position_ = v;
    update();
    QAccessibleValueChangeEvent changed(this, position_);
    QAccessible::updateAccessibility(&changed);
    emit OnChange();  // raised also when the value was ignored or unchanged
}

void SlideBar::setOrientation(kelp::Orientation o) {
    logic_.orientation = o;
    update();
}

void SlideBar::setStyle(BarStyle s) {
    style_ = s;
    update();
}

void SlideBar::setThickness(int t) {
    if (t < 1 || t > 5) return;
    thickness_ = t;
    update();
}

void SlideBar::setThumbStyle(kelp::ThumbStyle s) {
    if (s == thumbStyle_) return;
    thumbStyle_ = s;
    loadThumb();
    update();
}

void SlideBar::setTicks(bool v) {
    ticks_ = v;
    update();
}

void SlideBar::setHandCursor(bool v) {
    handCursor_ = v;
    if (v)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
    update();
}

void SlideBar::setFocusColor(const QColor& c) {
    focusColor_ = c;
    update();
}

QRect SlideBar::thumbRect() const {
    return logic_.thumbRect(position_, dragging_, dragCoord_);
}

int SlideBar::along(const QPointF& p) const {
    return logic_.orientation == orHorizontal ? int(p.x()) : int(p.y());
}

void SlideBar::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    logic_.W = width();
    logic_.H = height();
    logic_.orientation = SlideBarLogic::orientationFor(width(), height());
}

void SlideBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const bool horz = logic_.orientation == orHorizontal;
    const int W = width(), H = height(), w = logic_.w, h = logic_.h;
    const QColor grey(128, 128, 128);
    const QColor topLeft = style_ == bsRaised ? Qt::white : grey;
    const QColor bottomRight = style_ == bsRaised ? grey : Qt::white;
    // Groove: from half a thumb in at each end, centred across the bar.
    QRect groove = horz ? QRect(w / 2, (H - thickness_) / 2, W - w, thickness_)
                        : QRect((W - thickness_) / 2, h / 2, thickness_, H - h);
    groove.adjust(-1, -1, 1, 1);  // the edges lie around the inside
    p.fillRect(groove.adjusted(1, 1, -1, -1), hasFocus() ? focusColor_ : QColor(192, 192, 192));
    p.setPen(topLeft);
    p.drawLine(groove.topLeft(), groove.topRight());
    p.drawLine(groove.topLeft(), groove.bottomLeft());
    p.setPen(bottomRight);
    p.drawLine(groove.bottomLeft(), groove.bottomRight());
    p.drawLine(groove.topRight(), groove.bottomRight());

    if (ticks_) {
        for (int v = logic_.Min; v <= logic_.Max; ++v) {
            const int off = logic_.tickOffset(v);
            if (horz) {
                const int x = w / 2 + off, y = groove.top();
                p.setPen(grey);
                p.drawLine(x, y - 2, x, y - 1);
                p.setPen(Qt::white);
                p.drawLine(x + 1, y - 2, x + 1, y - 1);
            } else {
                const int y = h / 2 + off, x = groove.left();
                p.setPen(grey);
                p.drawLine(x - 2, y, x - 1, y);
                p.setPen(Qt::white);
                p.drawLine(x - 2, y + 1, x - 1, y + 1);
            }
        }
    }
    p.drawPixmap(thumbRect().topLeft(), thumb_);
}

void SlideBar::keyPressEvent(QKeyEvent* e) {
    const int next = logic_.keyPosition(position_, e->key());
    switch (e->key()) {
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
            if (next != position_) setPosition(next);
            return;
        default:
            QWidget::keyPressEvent(e);
    }
}

void SlideBar::mousePressEvent(QMouseEvent* e) {
    dragging_ = thumbRect().contains(e->position().toPoint());
    dragCoord_ = along(e->position());
    QWidget::mousePressEvent(e);
}

void SlideBar::mouseMoveEvent(QMouseEvent* e) {
    if (dragging_ && (e->buttons() & Qt::LeftButton)) {
        const int c = along(e->position());
        if (c != dragCoord_) {
            dragCoord_ = c;
            setPosition(logic_.valueAt(c));
        }
    }
    QWidget::mouseMoveEvent(e);
}

void SlideBar::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) {
        const int c = along(e->position());
        if (dragging_) {
            dragging_ = false;
            setPosition(logic_.valueAt(c));
        } else {
            setPosition(logic_.clickStep(position_, c));
        }
    }
    dragging_ = false;
    QWidget::mouseReleaseEvent(e);
}

void SlideBar::focusInEvent(QFocusEvent* e) {
    QWidget::focusInEvent(e);
    update();
}

void SlideBar::focusOutEvent(QFocusEvent* e) {
    QWidget::focusOutEvent(e);
    update();
}

}  // namespace kelp
