#include "member_drag.h"

#include <QUrl>

#include <cstdlib>

namespace kelp {

void DragGesture::Press(Qt::MouseButton button, const QPoint& pos) {
    left_ = button == Qt::LeftButton;
    pressPos_ = pos;
}

bool DragGesture::ShouldStart(const QPoint& pos, Qt::MouseButtons held) const {
    if (dragging || !left_ || !(held & (Qt::LeftButton | Qt::RightButton))) return false;
    return std::abs(pos.x() - pressPos_.x()) >= kThreshold ||
           std::abs(pos.y() - pressPos_.y()) >= kThreshold;
}

MemberMimeData::MemberMimeData(const QList<QUrl>& urls, std::function<void()> produce)
    : produce_(std::move(produce)) {
    setUrls(urls);
}

QVariant MemberMimeData::retrieveData(const QString& mimeType, QMetaType type) const {
    // Only a request for the offered list counts: a target that merely asks
    // which formats there are has not taken the drop.
    if (!produced_ && formats().contains(mimeType)) {
        produced_ = true;
        if (produce_) produce_();
    }
    return QMimeData::retrieveData(mimeType, type);
}

}  // namespace kelp
