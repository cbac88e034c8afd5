// SlideBar: a small slider with a groove, optional tick marks and a picture
// thumb, moved with the mouse or the keyboard to pick an integer between Min
// and Max. Its arithmetic lives in SlideBarLogic.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QStringList>
#include <QWidget>

#include "slide_bar_logic.h"

namespace kelp {

enum BarStyle { bsLowered, bsRaised };
enum ThumbStyle {
    tsBar1,
    tsBar2,
    tsBar3,
    tsBar4,
    tsCircle1,
    tsSquare1,
    tsDiamond1,
    tsDiamond2,
    tsDiamond3,
    tsDiamond4
};

// The thumb picture of a style, named after the style without its prefix
// ("Bar1" … "Diamond4"); transparent where the thumb is not.
QPixmap thumbPicture(const QString& name);
QString thumbPictureName(ThumbStyle style);

class SlideBar : public QWidget {
    Q_OBJECT
  public:
    explicit SlideBar(QWidget* parent = nullptr);

    int Min() const { return logic_.Min; }
    void setMin(int v);
    int Max() const { return logic_.Max; }
    void setMax(int v);
    int Position() const { return position_; }
    void setPosition(int v);
    kelp::Orientation Orientation() const { return logic_.orientation; }
    void setOrientation(kelp::Orientation o);
    BarStyle Style() const { return style_; }
    void setStyle(BarStyle s);
    int Thickness() const { return thickness_; }
    void setThickness(int t);
    kelp::ThumbStyle ThumbStyle() const { return thumbStyle_; }
    void setThumbStyle(kelp::ThumbStyle s);
    bool Ticks() const { return ticks_; }
    void setTicks(bool v);
    bool HandCursor() const { return handCursor_; }
    void setHandCursor(bool v);
    QColor FocusColor() const { return focusColor_; }
    void setFocusColor(const QColor& c);
    QStringList Labels() const { return labels_; }
    void setLabels(const QStringList& l) { labels_ = l; }

    // Current geometry and thumb rectangle, as the last layout computed them.
    const SlideBarLogic& logic() const { return logic_; }
    QRect thumbRect() const;
    QSize sizeHint() const override { return {100, 15}; }

  signals:
    void OnChange();

  protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

  private:
    int along(const QPointF& p) const;
    void loadThumb();

    SlideBarLogic logic_;
    int position_ = 1;
    BarStyle style_ = bsLowered;
    int thickness_ = 1;
    kelp::ThumbStyle thumbStyle_ = tsCircle1;
    bool ticks_ = true;
    bool handCursor_ = true;
    QColor focusColor_ = Qt::black;
    QStringList labels_;
    QPixmap thumb_;
    bool dragging_ = false;
    int dragCoord_ = 0;
};

}  // namespace kelp
