#include "process_viewer.h"

#include <QCloseEvent>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace kelp::view {

Viewer::Viewer(QWidget* parent) : QWidget(parent, Qt::Tool) {
    setWindowTitle(QString());
    resize(267, 220);  // until shown beside the main window
    setBackgroundRole(QPalette::Button);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    log_ = new LogView(this);
    log_->setAccessibleName("Operation log");
    log_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    layout->addWidget(log_);
    AddLogRule(*log_);
}

void Viewer::AddLogRule(LogView& log) {
    ColorRule rule;
    rule.KeyDrawingType = dtBeginLineEnd;
    rule.DefKeyColor = QColor(0, 128, 0);
    rule.setKeywords({"tested;green"});
    rule.setKeyLineEndLst({"Tested;green", "Unzipped,green", "No Errors Found;olive", "------;gray",
                           "Start Time;blue", "End Time;blue", "Error found;red",
                           "warnings were given;red", "Zero files;red", "Time used;blue",
                           "adding;red", "Finding;red", "removed;red", "changed;olive",
                           "added;green"});
    log.setLineRule(rule);
}

void Viewer::setMainOnTop(bool on) {
    if (!main_ || main_->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on) return;
    const bool visible = main_->isVisible();
    main_->setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (visible) main_->show();
}

QSize Viewer::LogSize() const {
    // 259 by 193, or enough for 64 characters and 16 lines of
    // the log (its 57-hyphen separator, the time lines and most member
    // names), scroll bars and frame included.
    const QFontMetrics fm(log_->font());
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int frame = 2 * log_->frameWidth() + 8;
    return {std::max(259, fm.averageCharWidth() * 64 + bar + frame),
            std::max(193, fm.lineSpacing() * 16 + bar + frame)};
}

void Viewer::showEvent(QShowEvent* e) {
    setMainOnTop(false);
    resize(LogSize());
    if (main_) {
        // Beside the main window, moved left as far as it takes to stay on
        // its screen.
        const QRect g = main_->frameGeometry();
        QPoint at(g.left() + g.width(), g.top());
        if (const QScreen* screen = main_->screen()) {
            const QRect area = screen->availableGeometry();
            const int outer = frameGeometry().width();  // with the border, once known
            at.setX(std::max(area.left(), std::min(at.x(), area.right() + 1 - outer)));
        }
        move(at);
    }
    QPalette p = log_->palette();
    if (ListBackground) p.setColor(QPalette::Base, ListBackground());
    if (ListTextColor) p.setColor(QPalette::Text, ListTextColor());
    log_->setPalette(p);
    QWidget::showEvent(e);
}

void Viewer::closeEvent(QCloseEvent* e) {
    if (AlwaysOnTop && AlwaysOnTop()) setMainOnTop(true);
    QWidget::closeEvent(e);
}

}  // namespace kelp::view
