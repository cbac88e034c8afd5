#include "outlook_bar.h"

#include <qdrawutil.h>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QThread>

#include "control_accessibility.h"

namespace kelp {

namespace {
const QSize kDefaultIcon(32, 32);
QSize iconSize(const QPixmap& p) {
    return p.isNull() ? kDefaultIcon : p.deviceIndependentSize().toSize();
}

// A picture of `size` that stays sharp on a scaled screen.
QPixmap Surface(const QWidget* w, const QSize& size) {
    const qreal ratio = w->devicePixelRatioF();
    QPixmap pic(size * ratio);
    pic.setDevicePixelRatio(ratio);
    return pic;
}
}  // namespace

void OutlookItem::setCaption(const QString& c) {
    caption_ = c;
    bar_->update();
}

void OutlookItem::setIcon(const QPixmap& p) {
    icon_ = p;
    bar_->update();
}

void OutlookItem::setEnabled(bool e) {
    enabled_ = e;
    bar_->update();
}

void OutlookGroup::setCaption(const QString& c) {
    caption_ = c;
    bar_->update();
}

OutlookItem& OutlookGroup::addItem(const QString& caption, const QPixmap& icon) {
    OutlookItem& item = items_.emplace_back(bar_);
    item.setCaption(caption);
    item.setIcon(icon);
    return item;
}

OutlookBar::OutlookBar(QWidget* parent) : QWidget(parent) {
    InstallControlAccessibility();
    color_ = palette().color(QPalette::Dark);
    buttonFont_ = font();
    iconFont_ = font();
    setMouseTracking(true);
    resize(100, 300);
}

OutlookBar::~OutlookBar() = default;

OutlookGroup& OutlookBar::addGroup(const QString& caption) {
    groups_.push_back(std::make_unique<OutlookGroup>(this, caption));
    update();
    return *groups_.back();
}

int OutlookBar::captionsWidth() const {
    QFont bold = iconFont_;
    bold.setBold(true);
    const QFontMetrics items(bold), buttons(buttonFont_);
    int w = 0;
    for (const auto& g : groups_) {
        w = std::max(w, buttons.horizontalAdvance(g->Caption()) + 8);
        for (int i = 0; i < g->itemCount(); ++i)
            w = std::max(w, items.horizontalAdvance(g->item(i).Caption()) + 8);
    }
    return w;
}

bool OutlookBar::isEditing() const {
    return editing_ >= 0;
}

void OutlookBar::setSpacing(int v) {
    spacing_ = v, update();
}
void OutlookBar::setTopSpacing(int v) {
    topSpacing_ = v, update();
}
void OutlookBar::setWordWrap(bool v) {
    wordWrap_ = v, update();
}
void OutlookBar::setFrameStyle(FrameStyleKind f) {
    frameStyle_ = f, update();
}
void OutlookBar::setButtonFont(const QFont& f) {
    buttonFont_ = f, update();
}
void OutlookBar::setIconFont(const QFont& f) {
    iconFont_ = f, update();
}
void OutlookBar::setBackground(const QPixmap& p) {
    background_ = p, update();
}
void OutlookBar::setColor(const QColor& c) {
    color_ = c, update();
}

void OutlookBar::setIconFontColor(const QColor& c) {
    iconFontColor_ = c, update();
}

void OutlookBar::setSelectedButton(int v) {
    if (v < 0 || v >= groupCount() || v == selected_) return;
    if (smooth_ && selected_ >= 0 && isVisible()) animateTo(v);
    completeGroupChange(v);
}

void OutlookBar::completeGroupChange(int group) {
    selected_ = group;
    selectedIcon_ = -1;
    scrollOffset_ = 0;
    update();
    emit OnChange();
}

void OutlookBar::setSelectedIcon(int v) {
    if (v != -1 &&
        (selected_ < 0 || v == selectedIcon_ || v < 0 || v >= groups_[selected_]->itemCount()))
        return;
    selectedIcon_ = v;
    update();
    emit OnChange();
}

OutlookLayout OutlookBar::layoutFor(int group, int offset) const {
    OutlookLayoutInput in;
    in.size = size();
    in.buttonHeight = QFontMetrics(buttonFont_).boundingRect(QStringLiteral("Wg")).height() + 4;
    in.groupCount = groupCount();
    in.selected = group;
    in.scrollOffset = offset;
    in.topSpacing = topSpacing_;
    in.spacing = spacing_;
    if (group >= 0 && group < groupCount()) {
        QFont bold = iconFont_;
        bold.setBold(true);
        const QFontMetrics fm(bold);
        const int areaWidth = width() - 2;
        const OutlookGroup& g = *groups_[group];
        for (int i = 0; i < g.itemCount(); ++i) {
            in.iconSizes.push_back(iconSize(g.item(i).Icon()));
            in.captionHeights.push_back(
                wordWrap_
                    ? fm.boundingRect(QRect(0, 0, areaWidth - 4, 10000),
                                      Qt::AlignHCenter | Qt::TextWordWrap, g.item(i).Caption())
                          .height()
                    : QFontMetrics(iconFont_).boundingRect(QStringLiteral("Wg")).height());
        }
    }
    return layoutOutlook(in);
}

OutlookLayout OutlookBar::currentLayout() const {
    return layoutFor(selected_, scrollOffset_);
}

void OutlookBar::render(QPainter& p, const OutlookLayout& l, int group, bool itemsToo) const {
    const QPalette& pal = palette();
    p.fillRect(rect(), color_);
    qDrawShadePanel(&p, rect(), pal, true, 1);
    // Group buttons.
    p.setFont(buttonFont_);
    for (int i = 0; i < groupCount(); ++i) {
        const QRect r = l.buttons[i];
        const bool down = pressed_ == OutlookHit{hkButton, i};
        p.fillRect(r, pal.button());
        qDrawShadePanel(&p, r, pal, down, 1);
        p.setPen(pal.color(QPalette::ButtonText));
        p.drawText(r.translated(down ? 1 : 0, down ? 1 : 0), Qt::AlignCenter | Qt::TextSingleLine,
                   groups_[i]->Caption());
    }
    // Icon area: tiled picture or plain colour, framed black on top and left.
    const QRect a = l.area;
    if (!background_.isNull())
        p.drawTiledPixmap(a, background_);
    else
        p.fillRect(a, color_);
    p.setPen(Qt::black);
    p.drawLine(a.topLeft(), a.topRight());
    p.drawLine(a.topLeft(), a.bottomLeft());
    p.setPen(pal.color(QPalette::Light));
    p.drawLine(a.bottomLeft(), a.bottomRight());
    p.drawLine(a.topRight(), a.bottomRight());
    if (!itemsToo || group < 0) return;

    const OutlookGroup& g = *groups_[group];
    const bool iconPressed = pressed_.kind == hkIcon;
    for (int i = 0; i < g.itemCount(); ++i) {
        if (l.icons[i].isNull()) continue;
        const OutlookItem& item = g.item(i);
        if (!item.Icon().isNull()) p.drawPixmap(l.icons[i].topLeft(), item.Icon());
        const bool over = hover_ == OutlookHit{hkIcon, i} || pressed_ == OutlookHit{hkIcon, i};
        if (over && (iconPressed || frameStyle_ == fsLowered))
            qDrawShadePanel(&p, l.frames[i], pal, true, 1);
        else if (over && frameStyle_ == fsRaised && pressed_.kind == hkNone)
            qDrawShadePanel(&p, l.frames[i], pal, false, 1);
        QFont f = iconFont_;
        f.setBold((i == selectedIcon_ && !iconPressed) || pressed_ == OutlookHit{hkIcon, i});
        p.setFont(f);
        p.setPen(item.Enabled() ? iconFontColor_ : pal.color(QPalette::Mid));
        const QRect c = l.captions[i];
        if (wordWrap_)
            p.drawText(c, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, item.Caption());
        else
            p.drawText(c, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine,
                       QFontMetrics(f).elidedText(item.Caption(), Qt::ElideRight, c.width()));
    }
    // Scroll arrows: raised squares, sunken while pressed.
    auto arrow = [&](const QRect& r, bool up) {
        if (r.isNull()) return;
        const bool down = pressed_ == OutlookHit{hkArrow, up ? 1 : 0};
        p.fillRect(r, pal.button());
        p.setPen(Qt::black);
        p.drawRect(r.adjusted(0, 0, -1, -1));
        qDrawShadePanel(&p, r.adjusted(1, 1, -1, -1), pal, down, 1);
        const QPoint c = r.center() + (down ? QPoint(1, 1) : QPoint());
        const QPolygon tri =
            up ? QPolygon({c + QPoint(-3, 2), c + QPoint(3, 2), c + QPoint(0, -2)})
               : QPolygon({c + QPoint(-3, -2), c + QPoint(3, -2), c + QPoint(0, 2)});
        p.setBrush(Qt::black);
        p.drawPolygon(tri);
        p.setBrush(Qt::NoBrush);
    };
    arrow(l.upArrow, true);
    arrow(l.downArrow, false);
}

QPixmap OutlookBar::renderPicture(int group) const {
    QPixmap pic = Surface(this, size());
    QPainter p(&pic);
    render(p, layoutFor(group, 0), group, true);
    return pic;
}

void OutlookBar::animateTo(int group) {
    // The buttons between the open group and the new one slide in steps of 5
    // pixels, uncovering the new group's items; the steps run inside the
    // click, so the bar takes no other input until they end.
    animating_ = true;
    const int from = selected_;
    const OutlookLayout lOld = layoutFor(from, scrollOffset_), lNew = layoutFor(group, 0);
    const QPixmap oldPic = renderPicture(from), newPic = renderPicture(group);
    const int distance = animationDistance(lOld, lNew, from, group);
    animationSteps_ = 0;
    for (int moved = 5; distance > 0; moved += 5) {
        const int d = std::min(moved, distance);
        frame_ = group > from ? oldPic : newPic;
        QPainter p(&frame_);
        // Source rectangles count the pictures' own pixels, which a scaled
        // screen multiplies.
        const qreal r = frame_.devicePixelRatio();
        auto source = [r](int x, int y, int w, int h) {
            return QRectF(x * r, y * r, w * r, h * r);
        };
        if (group > from) {
            const int y0 = lNew.buttons[from + 1].top();
            p.setClipRect(0, 0, width(), lNew.bottomStart);
            p.drawPixmap(QPointF(0, lOld.bottomStart - d), newPic,
                         source(0, y0, width(), lNew.bottomStart - y0));
        } else {
            const int y0 = lOld.buttons[group + 1].top();
            p.setClipRect(0, 0, width(), lOld.bottomStart);
            p.drawPixmap(QPointF(0, y0 + d), oldPic, source(0, y0, width(), lOld.bottomStart - y0));
        }
        p.end();
        ++animationSteps_;
        repaint();
        QElapsedTimer tick;
        tick.start();
        while (tick.elapsed() <= scrollDelay_) QThread::usleep(200);
        if (d >= distance) break;
    }
    frame_ = QPixmap();
    animating_ = false;
}

void OutlookBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (animating_ && !frame_.isNull()) {
        p.drawPixmap(0, 0, frame_);
        return;
    }
    // Drawn off screen first, then copied, so the bar never flickers.
    QPixmap pic = Surface(this, size());
    QPainter off(&pic);
    render(off, currentLayout(), selected_, true);
    off.end();
    p.drawPixmap(0, 0, pic);
}

void OutlookBar::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (groupCount() > 0 && selected_ < 0) setSelectedButton(0);
}

void OutlookBar::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return QWidget::mousePressEvent(e);
    const OutlookHit hit = hitTest(currentLayout(), e->position().toPoint());
    closeEditor(true);
    if (allowEditing_) {
        if (hit.kind == hkCaption && hit.index == editCandidate_)
            openEditor(hit.index);
        else if (hit.kind == hkCaption || hit.kind == hkIcon)
            editCandidate_ = hit.index;
        else
            editCandidate_ = -1;
    }
    pressed_ = hit;
    hover_ = {};
    update();
}

void OutlookBar::mouseMoveEvent(QMouseEvent* e) {
    const OutlookHit hit = hitTest(currentLayout(), e->position().toPoint());
    if (!(hit == hover_)) {
        hover_ = hit;
        update();
    }
    QWidget::mouseMoveEvent(e);
}

void OutlookBar::leaveEvent(QEvent* e) {
    if (hover_.kind == hkIcon) {
        hover_ = {};
        update();
    }
    QWidget::leaveEvent(e);
}

void OutlookBar::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(e);
    const OutlookHit hit = hitTest(currentLayout(), e->position().toPoint());
    bool canChange = true;
    if (hit.kind == hkButton || hit.kind == hkIcon) emit OnChanging(canChange);
    if (canChange) {
        switch (hit.kind) {
            case hkButton:
                setSelectedButton(hit.index);
                break;
            case hkIcon:
            case hkCaption:
                if (groups_[selected_]->item(hit.index).Enabled()) setSelectedIcon(hit.index);
                if (hit.kind == hkIcon)
                    emit OnIconClick();
                else
                    emit OnIconTextClick();
                break;
            case hkArrow:
                scrollOffset_ = std::max(0, scrollOffset_ + (hit.index == 1 ? -1 : 1));
                break;
            case hkNone:
                break;
        }
    }
    pressed_ = hover_ = {};
    update();
}

void OutlookBar::openEditor(int item) {
    if (selected_ < 0) return;
    const QRect r = currentLayout().captions[item];
    if (r.isNull()) return;
    if (!editor_) {
        editor_ = new QLineEdit(this);
        editor_->setFrame(false);
        editor_->installEventFilter(this);
    }
    editing_ = item;
    editor_->setGeometry(r.left(), r.top(), r.width(), editor_->sizeHint().height());
    editor_->setText(groups_[selected_]->item(item).Caption());
    editor_->show();
    editor_->setFocus();
}

void OutlookBar::closeEditor(bool store) {
    if (editing_ < 0) return;
    const int item = editing_;
    editing_ = -1;
    if (store && selected_ >= 0) groups_[selected_]->item(item).setCaption(editor_->text());
    editor_->hide();
}

bool OutlookBar::eventFilter(QObject* o, QEvent* e) {
    if (o == editor_ && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
            closeEditor(key != Qt::Key_Escape);
            return true;
        }
    }
    return QWidget::eventFilter(o, e);
}

}  // namespace kelp
