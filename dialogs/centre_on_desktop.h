// Puts a window in the middle of the primary screen's free area, as the
// dialogs stand at their first show.
#pragma once

#include <QApplication>
#include <QScreen>
#include <QWidget>

namespace kelp {

inline void CentreOnDesktop(QWidget* window) {
    if (const QScreen* s = QApplication::primaryScreen())
        window->move(s->availableGeometry().center() - window->rect().center());
}

}  // namespace kelp
