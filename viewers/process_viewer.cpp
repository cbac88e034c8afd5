#include "process_viewer.h"

#include <QCloseEvent>
#include <QVBoxLayout>

namespace kelp::view {

Viewer::Viewer(QWidget* parent) : QWidget(parent, Qt::Tool) {
    setWindowTitle(QString());
    resize(267, 220);
    setBackgroundRole(QPalette::Button);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    memo_ = new ColorMemo(this);
    memo_->setReadOnly(true);
    memo_->setUndoRedoEnabled(false);  // a log is never undone; keeping undo would double its memory
    memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo_->setTabChangesFocus(false);
    memo_->setRedrawAlways(true);
    layout->addWidget(memo_);
    AddLogRule(*memo_);
}

void Viewer::AddLogRule(ColorMemo& memo) {
    ColorRule& rule = memo.ColorRules().add();
    rule.KeyDrawingType = dtBeginLineEnd;
    rule.DefKeyColor = QColor(0, 128, 0);
    rule.setKeywords({"tested;green"});
    rule.setKeyLineEndLst({"Tested;green", "Unzipped,green", "No Errors Found;olive", "------;gray",
                           "Start Time;blue", "End Time;blue", "Error found;red",
                           "warnings were given;red", "Zero files;red", "Time used;blue",
                           "adding;red"});
}

void Viewer::setMainOnTop(bool on) {
    if (!main_ || main_->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on) return;
    const bool visible = main_->isVisible();
    main_->setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (visible) main_->show();
}

void Viewer::showEvent(QShowEvent* e) {
    setMainOnTop(false);
    if (main_) {
        const QRect g = main_->frameGeometry();
        move(g.left() + g.width(), g.top());
    }
    resize(259, 193);
    QPalette p = memo_->palette();
    if (ListBackground) p.setColor(QPalette::Base, ListBackground());
    if (ListTextColor) p.setColor(QPalette::Text, ListTextColor());
    memo_->setPalette(p);
    QWidget::showEvent(e);
}

void Viewer::closeEvent(QCloseEvent* e) {
    if (AlwaysOnTop && AlwaysOnTop()) setMainOnTop(true);
    QWidget::closeEvent(e);
}

}  // namespace kelp::view
