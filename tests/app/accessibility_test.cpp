// Every window and dialog, built as the gallery builds them, walked through
// QAccessible: each widget that takes keyboard focus has a name and a role a
// screen reader can announce.
#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QWidget>

#include <gtest/gtest.h>

#include "gallery_pages.h"

namespace {

TEST(Accessibility, EveryFocusableWidgetOfEveryWindowHasANameAndARole) {
    const QString start = QDir::currentPath();
    QStringList missing;
    {
        gallery::Gallery gallery;
        ASSERT_TRUE(gallery.valid());
        for (gallery::Page& page : gallery.pages()) {
            page.widget->show();
            if (page.whenShown) page.whenShown();
            QApplication::processEvents();
            QList<QWidget*> widgets = page.widget->findChildren<QWidget*>();
            widgets.prepend(page.widget);
            for (QWidget* w : widgets) {
                // Focus given to a widget with a proxy lands on the proxy.
                if (!w->isVisible() || !(w->focusPolicy() & Qt::TabFocus) || w->focusProxy())
                    continue;
                QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
                const QString name = a ? a->text(QAccessible::Name).trimmed() : QString();
                const QAccessible::Role role = a ? a->role() : QAccessible::NoRole;
                if (name.isEmpty() || role == QAccessible::NoRole || role == QAccessible::Client)
                    missing << QString("%1: %2 %3 (role %4)")
                                   .arg(page.name, w->metaObject()->className(), w->objectName())
                                   .arg(int(role));
            }
            page.widget->hide();
        }
    }
    QDir::setCurrent(start);
    missing.removeDuplicates();
    EXPECT_TRUE(missing.isEmpty()) << missing.join('\n').toStdString();
}

}  // namespace
