// Every window and dialog, built as the gallery builds them, walked through
// QAccessible: each widget that takes keyboard focus has a name and a role a
// screen reader can announce; and Tab moves through each dialog in the order
// its layout shows the controls.
#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QGridLayout>
#include <QSplitter>
#include <QTabWidget>
#include <QWidget>

#include <functional>

#include <gtest/gtest.h>

#include "gallery_pages.h"

namespace {

void AddInLayoutOrder(QWidget* w, QList<QWidget*>& out);

// The widgets a layout holds, in reading order: a grid by rows, then
// columns; other layouts in their own order.
void AddInLayoutOrder(QLayout* layout, QList<QWidget*>& out) {
    QList<int> items;
    for (int i = 0; i < layout->count(); ++i) items << i;
    if (auto* grid = qobject_cast<QGridLayout*>(layout)) {
        auto cell = [grid](int i) {
            int row, column, rows, columns;
            grid->getItemPosition(i, &row, &column, &rows, &columns);
            return std::pair(row, column);
        };
        std::stable_sort(items.begin(), items.end(),
                         [&](int a, int b) { return cell(a) < cell(b); });
    }
    for (int i : items) {
        QLayoutItem* item = layout->itemAt(i);
        if (item->layout())
            AddInLayoutOrder(item->layout(), out);
        else if (item->widget())
            AddInLayoutOrder(item->widget(), out);
    }
}

// The controls Tab stops at inside `w`, in the order its layout shows them.
void AddInLayoutOrder(QWidget* w, QList<QWidget*>& out) {
    if (!w->isVisible()) return;
    QWidget* target = w->focusProxy() ? w->focusProxy() : w;
    if (auto* tabs = qobject_cast<QTabWidget*>(w)) {
        out << tabs->tabBar();
        AddInLayoutOrder(tabs->currentWidget(), out);
    } else if (target->focusPolicy() & Qt::TabFocus) {
        out << target;
    } else if (auto* splitter = qobject_cast<QSplitter*>(w)) {
        for (int i = 0; i < splitter->count(); ++i) AddInLayoutOrder(splitter->widget(i), out);
    } else if (w->layout()) {
        AddInLayoutOrder(w->layout(), out);
    } else {
        // Placed by hand: top to bottom, left to right.
        QList<QWidget*> children = w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        std::stable_sort(children.begin(), children.end(), [](QWidget* a, QWidget* b) {
            return std::pair(a->y(), a->x()) < std::pair(b->y(), b->x());
        });
        for (QWidget* child : children) AddInLayoutOrder(child, out);
    }
}

// Shows each page of the gallery in turn to `check`, which adds what it
// finds wrong; the whole list is the failure.
void ExpectEveryPage(const std::function<void(kelp::gallery::Page&, QStringList&)>& check) {
    const QString start = QDir::currentPath();
    QStringList wrong;
    {
        kelp::gallery::Gallery gallery;
        ASSERT_TRUE(gallery.valid());
        for (kelp::gallery::Page& page : gallery.pages()) {
            page.widget->show();
            if (page.whenShown) page.whenShown();
            QApplication::processEvents();
            check(page, wrong);
            page.widget->hide();
        }
    }
    QDir::setCurrent(start);
    wrong.removeDuplicates();
    EXPECT_TRUE(wrong.isEmpty()) << wrong.join('\n').toStdString();
}

QString Names(const QList<QWidget*>& widgets) {
    QStringList names;
    for (QWidget* w : widgets) names << w->objectName() + "(" + w->metaObject()->className() + ")";
    return names.join(' ');
}

TEST(Accessibility, TabFollowsTheLayoutOfEveryDialog) {
    ExpectEveryPage([](kelp::gallery::Page& page, QStringList& wrong) {
        if (!qobject_cast<QDialog*>(page.widget)) return;
        QList<QWidget*> laidOut;
        AddInLayoutOrder(page.widget, laidOut);
        if (page.widget->focusPolicy() & Qt::TabFocus) laidOut.removeAll(page.widget);
        // The focus chain, from the first control the layout shows.
        QList<QWidget*> chain;
        for (QWidget* w = page.widget->nextInFocusChain(); w != page.widget;
             w = w->nextInFocusChain())
            if (laidOut.contains(w) && !chain.contains(w)) chain << w;
        if (!chain.isEmpty() && chain.contains(laidOut.value(0)))
            std::rotate(chain.begin(), chain.begin() + chain.indexOf(laidOut.value(0)),
                        chain.end());
        if (chain != laidOut)
            wrong << page.name + ":\n  Tab:    " + Names(chain) + "\n  layout: " + Names(laidOut);
    });
}

TEST(Accessibility, EveryFocusableWidgetOfEveryWindowHasANameAndARole) {
    ExpectEveryPage([](kelp::gallery::Page& page, QStringList& missing) {
        QList<QWidget*> widgets = page.widget->findChildren<QWidget*>();
        widgets.prepend(page.widget);
        for (QWidget* w : widgets) {
            // Focus given to a widget with a proxy lands on the proxy.
            if (!w->isVisible() || !(w->focusPolicy() & Qt::TabFocus) || w->focusProxy()) continue;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            const QString name = a ? a->text(QAccessible::Name).trimmed() : QString();
            const QAccessible::Role role = a ? a->role() : QAccessible::NoRole;
            if (name.isEmpty() || role == QAccessible::NoRole || role == QAccessible::Client)
                missing << QString("%1: %2 %3 (role %4)")
                               .arg(page.name, w->metaObject()->className(), w->objectName())
                               .arg(int(role));
        }
    });
}

}  // namespace
