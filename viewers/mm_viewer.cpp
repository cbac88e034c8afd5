#include "mm_viewer.h"

#include <QFileInfo>
#include <QVBoxLayout>

namespace kelp::media {

MMViewer::MMViewer(QWidget* parent) : QWidget(parent, Qt::Tool) {
    setObjectName("contentViewer");
    setWindowTitle(".bmp,jpg,avi,ico,emf,wmf,wav,mid,rmi,mov,ani,gif,txt");
    viewer_ = new Viewer(this);
    viewer_->setObjectName("contentView");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(viewer_);
    resize(264, 218);
    connect(viewer_, &Viewer::OnLoad, this,
            [this] { setWindowTitle(QFileInfo(viewer_->FileName()).fileName()); });
}

void MMViewer::showEvent(QShowEvent* e) {
    viewer_->Caption = "MMViewer";
    if (main_) {
        const QRect g = main_->frameGeometry();
        move(g.left() + g.width(), g.top() + below_);
    }
    resize(260, 240);
    QWidget::showEvent(e);
}

}  // namespace kelp::media
