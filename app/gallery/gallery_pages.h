// The gallery's windows: every window and dialog of the program with
// sample content, built in a temporary folder of their own (settings, a
// sample folder with files and sub-folders, copies of the bundled sample
// archive). kelp-gallery shows or pictures them; the accessibility test
// walks them.
#pragma once

#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <vector>

#include "main_sc.h"
#include "qt_host_ui.h"
#include "shell_services.h"

namespace kelp::gallery {

// The gallery's shell prints what it would open.
struct PrintingShell : kelp::ShellServices {
    bool Open(const QString& target, const QString&) override;
    bool Explore(const QString& folder) override;
};

// A window with what to do once it shows.
struct Page {
    QString name;
    QWidget* widget;
    std::function<void()> whenShown;
    std::function<QWidget*()> shot;  // what to picture, when not the window
};

class Gallery {
  public:
    // Sets KELP_CONFIG_HOME and TMPDIR to folders of its own; needs a
    // QApplication.
    Gallery();
    ~Gallery();
    bool valid() const { return work_.isValid(); }
    std::vector<Page>& pages() { return pages_; }

  private:
    QTemporaryDir work_;
    PrintingShell shell_;
    std::unique_ptr<QWidget> controls_;
    std::unique_ptr<kelp::Main_sc> window_;
    std::unique_ptr<kelp::QtHostUi> host_;
    std::unique_ptr<QWidget> content_;
    std::vector<Page> pages_;
};

}  // namespace kelp::gallery
