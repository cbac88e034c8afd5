// Names a control for assistive technology where no label names it. An
// editable combo box hands its keyboard focus to its edit and opens its
// list for choosing, so those take the same name.
#pragma once

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>

namespace kelp {

inline void SetAccessibleName(QWidget* widget, const QString& name) {
    widget->setAccessibleName(name);
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        if (combo->lineEdit()) combo->lineEdit()->setAccessibleName(name);
        combo->view()->setAccessibleName(name);
    }
}

}  // namespace kelp
