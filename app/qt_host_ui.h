// The engine's host interface in the desktop shell: message boxes, the
// password dialog, the busy cursor, and letting the window handle its events
// during a library call (so it repaints and the halt button works).
#pragma once

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>

#include "engine/host_ui.h"

namespace kelp {

class QtHostUi : public engine::HostUi {
  public:
    explicit QtHostUi(QWidget* window) : window_(window) {}
    engine::Answer AskQuestion(const std::string& title, const std::string& text,
                               engine::Buttons buttons) override;
    // `defaultAnswer`'s button is the one Enter presses (None: the first).
    engine::Answer AskQuestion(const std::string& title, const std::string& text,
                               engine::Buttons buttons, engine::Answer defaultAnswer) override;
    void ShowMessage(const std::string& text) override;
    bool PasswordDialog(const std::string& title, const std::string& prompt,
                        std::string& password) override;
    void SetBusyCursor(bool busy) override;
    void ProcessPendingMessages() override;

    // When set and it gives a path, a message box shown meanwhile carries
    // "Repair…" beside OK (the archive could not be opened); pressing it
    // calls `repair` with that path once the box is closed.
    std::function<QString()> repairablePath;
    std::function<void(const QString&)> repair;

  private:
    QPointer<QWidget> window_;
    int64_t lastEventsMs_ = -1;  // when the window last handled its events (coarse clock)
};

}  // namespace kelp
