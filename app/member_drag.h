// Dragging members out of the grid: the press-and-move gesture that starts a
// drag, and the drag's data, which offers the members' paths as a URI list
// and extracts them the first time a drop target asks for that list.
#pragma once

#include <QMimeData>
#include <QPoint>

#include <functional>

namespace kelp {

// A left press followed by a move of at least kThreshold pixels, horizontally
// or vertically, with the left or right button held, starts a drag.
class DragGesture {
  public:
    static constexpr int kThreshold = 10;

    void Press(Qt::MouseButton button, const QPoint& pos);
    bool ShouldStart(const QPoint& pos, Qt::MouseButtons held) const;
    // True from the left press until its release.
    bool LeftPressed() const { return left_; }
    void Release() { left_ = false; }

    bool dragging = false;  // a drag from the grid is running

  private:
    bool left_ = false;
    QPoint pressPos_;
};

// Offers `urls` as text/uri-list; runs `produce` once, when a target first
// reads them, so that the files exist before the target looks for them. A
// drag cancelled or dropped nowhere never reads them and produces nothing.
class MemberMimeData : public QMimeData {
    Q_OBJECT
  public:
    MemberMimeData(const QList<QUrl>& urls, std::function<void()> produce);

  protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

  private:
    std::function<void()> produce_;
    mutable bool produced_ = false;
};

}  // namespace kelp
