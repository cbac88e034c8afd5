// The content viewer window: a small tool window beside the main window,
// below the process viewer, filled by the content viewer; its caption names
// the file shown.
#pragma once

#include <QWidget>

#include "content_viewer.h"

namespace kelp::media {

class MMViewer : public QWidget {
    Q_OBJECT
  public:
    explicit MMViewer(QWidget* parent = nullptr);

    Viewer* viewer() const { return viewer_; }
    // The main window this one is placed beside, and how far below its top
    // (under the process viewer).
    void setMainWindow(QWidget* main, int below) {
        main_ = main;
        below_ = below;
    }

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    Viewer* viewer_;
    QWidget* main_ = nullptr;
    int below_ = 193;
};

}  // namespace kelp::media
