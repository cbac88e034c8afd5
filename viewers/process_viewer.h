// The process viewer: a small tool window beside the main window that shows
// the operation log read-only, its lines coloured by line-end markers
// (success green, failures red, times blue).
#pragma once

#include <QWidget>

#include <functional>

#include "log_view.h"

namespace kelp::view {

class Viewer : public QWidget {
    Q_OBJECT
  public:
    explicit Viewer(QWidget* parent = nullptr);

    LogView* logView() const { return log_; }

    // The main window this one is placed beside; its always-on-top style is
    // switched off while this window shows and, when AlwaysOnTop says so,
    // switched on again when it closes.
    void setMainWindow(QWidget* main) { main_ = main; }
    std::function<bool()> AlwaysOnTop;
    // The listing's background and text colours, which the log takes over.
    std::function<QColor()> ListBackground;
    std::function<QColor()> ListTextColor;

    // The size the window takes whenever it is shown.
    QSize LogSize() const;

    // The one colour rule of the log.
    static void AddLogRule(LogView& log);

  protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

  private:
    void setMainOnTop(bool on);
    LogView* log_;
    QWidget* main_ = nullptr;
};

}  // namespace kelp::view
