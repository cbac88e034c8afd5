// A small framed panel filled with one colour; double-clicking it asks the
// owner to offer a colour dialog.
#pragma once

#include <QColor>
#include <QFrame>

namespace kelp {

class ColorSwatch : public QFrame {
    Q_OBJECT
  public:
    explicit ColorSwatch(QWidget* parent = nullptr);

    QColor color() const { return color_; }
    void setColor(const QColor& c);

  signals:
    void doubleClicked();

  protected:
    void mouseDoubleClickEvent(QMouseEvent* e) override;

  private:
    QColor color_;
};

}  // namespace kelp
