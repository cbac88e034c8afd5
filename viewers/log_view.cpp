#include "log_view.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <mutex>

#include "color_scan.h"

namespace kelp {

namespace {

constexpr int kMargin = 4;           // around the text, as an edit control leaves
constexpr qreal kNoWrapWidth = 1e6;  // a line is laid out whole, never wrapped

bool isWordPart(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// The log as assistive tools see it: read-only multi-line text whose value is
// its newest line.
class LogViewAccessible : public QAccessibleWidget {
  public:
    explicit LogViewAccessible(LogView* log) : QAccessibleWidget(log, QAccessible::EditableText) {}
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.multiLine = true;
        return s;
    }
    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Value) return QAccessibleWidget::text(t);
        const auto* log = static_cast<const LogView*>(widget());
        return log->line(log->lineCount() - 1);
    }
};

QAccessibleInterface* logViewAccessible(const QString& className, QObject* object) {
    return className == QLatin1String("kelp::LogView")
               ? new LogViewAccessible(static_cast<LogView*>(object))
               : nullptr;
}

}  // namespace

LogView::LogView(QWidget* parent) : QAbstractScrollArea(parent) {
    static std::once_flag accessible;
    std::call_once(accessible, [] { QAccessible::installFactory(logViewAccessible); });
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    verticalScrollBar()->setSingleStep(1);  // the vertical bar counts lines
    updateScrollBars();
}

void LogView::setLineRule(const ColorRule& rule) {
    rule_.assign(rule);
    viewport()->update();
}

void LogView::appendLines(const QStringList& lines) {
    QByteArray text;
    for (const QString& l : lines) text.append(l.toUtf8()).append('\n');
    appendText(text);
}

void LogView::appendText(QByteArrayView utf8) {
    for (qsizetype from = 0; from < utf8.size();) {
        qsizetype end = utf8.indexOf('\n', from);
        if (end < 0) end = utf8.size();
        const QByteArrayView line = utf8.sliced(from, end - from);
        text_.append(line);
        ends_.push_back(text_.size());
        // Characters, not bytes: every byte but a UTF-8 continuation starts
        // one. A line of no more bytes than the longest has no more of them.
        if (line.size() > longestLine_) {
            int characters = 0;
            for (const char c : line) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
            longestLine_ = std::max(longestLine_, characters);
        }
        from = end + 1;
    }
    updateScrollBars();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    viewport()->update();
}

void LogView::clear() {
    text_ = QByteArray();
    std::vector<qsizetype>().swap(ends_);  // a cleared log gives its memory back
    longestLine_ = widestPainted_ = 0;
    anchor_ = caret_ = Pos{};
    updateScrollBars();
    viewport()->update();
}

QString LogView::line(qsizetype i) const {
    if (i < 0 || i >= lineCount()) return {};
    const qsizetype start = i == 0 ? 0 : ends_[size_t(i - 1)];
    return QString::fromUtf8(text_.constData() + start, ends_[size_t(i)] - start);
}

QStringList LogView::lines() const {
    QStringList out;
    out.reserve(lineCount());
    for (qsizetype i = 0; i < lineCount(); ++i) out.append(line(i));
    return out;
}

QString LogView::toPlainText() const {
    return lines().join(QLatin1Char('\n'));
}

qsizetype LogView::firstVisibleLine() const {
    return verticalScrollBar()->value();
}

int LogView::lineHeight() const {
    return std::max(1, fontMetrics().lineSpacing());
}

int LogView::visibleLines() const {
    return std::max(1, (viewport()->height() - 2 * kMargin) / lineHeight());
}

void LogView::updateScrollBars() {
    QScrollBar* v = verticalScrollBar();
    const bool atEnd = v->value() == v->maximum();
    const int shown = visibleLines();
    v->setRange(0, int(std::clamp<qsizetype>(lineCount() - shown, 0, INT_MAX)));
    v->setPageStep(shown);
    if (atEnd) v->setValue(v->maximum());  // a view that showed the newest line keeps it

    QScrollBar* h = horizontalScrollBar();
    const int charWidth = std::max(1, fontMetrics().averageCharWidth());
    const int width = std::max(longestLine_ * charWidth, widestPainted_) + 2 * kMargin;
    h->setRange(0, std::max(0, width - viewport()->width()));
    h->setPageStep(viewport()->width());
    h->setSingleStep(2 * charWidth);
}

void LogView::layoutLine(QTextLayout& layout) const {
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    std::vector<KeyDescr> runs;
    scanLineEnd(layout.text(), 0, rule_, runs);
    QList<QTextLayout::FormatRange> formats;
    for (const KeyDescr& r : runs) {
        QTextLayout::FormatRange f;
        f.start = r.StartPos;
        f.length = r.EndPos - r.StartPos + 1;
        f.format.setForeground(r.Color);
        formats.append(f);
    }
    layout.setFormats(formats);
    layout.beginLayout();
    QTextLine l = layout.createLine();
    if (l.isValid()) l.setLineWidth(kNoWrapWidth);
    layout.endLayout();
}

void LogView::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    p.setPen(palette().color(QPalette::Text));
    const int lh = lineHeight();
    const qreal x = kMargin - horizontalScrollBar()->value();
    const Pos from = std::min(anchor_, caret_), to = std::max(anchor_, caret_);
    QTextCharFormat selected;
    selected.setBackground(palette().brush(QPalette::Highlight));
    selected.setForeground(palette().brush(QPalette::HighlightedText));
    int widest = 0;
    int y = kMargin;
    for (qsizetype i = firstVisibleLine(); i < lineCount() && y < viewport()->height();
         ++i, y += lh) {
        QTextLayout layout(line(i), font(), viewport());
        layoutLine(layout);
        const qreal natural = layout.lineAt(0).naturalTextWidth();
        widest = std::max(widest, int(std::ceil(natural)));
        QList<QTextLayout::FormatRange> selection;
        if (hasSelection() && from.line <= i && i <= to.line) {
            const int start = i == from.line ? from.column : 0;
            const int end = i == to.line ? to.column : int(layout.text().size());
            if (end > start) selection.append({start, end - start, selected});
            // A selection that runs on past the line's end marks its line break.
            if (i < to.line)
                p.fillRect(QRectF(x + natural, y, lh / 3.0, lh),
                           palette().brush(QPalette::Highlight));
        }
        layout.draw(&p, QPointF(x, y), selection);
    }
    if (widest > widestPainted_) {
        widestPainted_ = widest;
        updateScrollBars();
    }
}

void LogView::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    updateScrollBars();
}

void LogView::changeEvent(QEvent* e) {
    QAbstractScrollArea::changeEvent(e);
    if (e->type() == QEvent::FontChange) {
        widestPainted_ = 0;
        updateScrollBars();
    }
}

LogView::Pos LogView::posAt(const QPoint& p) const {
    if (lineCount() == 0) return {};
    const qsizetype row = qsizetype(std::floor(double(p.y() - kMargin) / lineHeight()));
    const qsizetype i = std::clamp<qsizetype>(firstVisibleLine() + row, 0, lineCount() - 1);
    QTextLayout layout(line(i), font(), viewport());
    layoutLine(layout);
    const qreal x = p.x() - kMargin + horizontalScrollBar()->value();
    return {i, layout.lineAt(0).xToCursor(x)};
}

void LogView::setSelection(Pos anchor, Pos caret) {
    const auto clampPos = [this](Pos p) {
        if (lineCount() == 0) return Pos{};
        p.line = std::clamp<qsizetype>(p.line, 0, lineCount() - 1);
        p.column = std::clamp(p.column, 0, int(line(p.line).size()));
        return p;
    };
    anchor_ = clampPos(anchor);
    caret_ = clampPos(caret);
    viewport()->update();
}

void LogView::selectAll() {
    const qsizetype last = lineCount() - 1;
    setSelection({}, {last, int(line(last).size())});
}

QString LogView::selectedText() const {
    const Pos from = std::min(anchor_, caret_), to = std::max(anchor_, caret_);
    QString out;
    for (qsizetype i = from.line; hasSelection() && i <= to.line; ++i) {
        const QString l = line(i);
        const int start = i == from.line ? from.column : 0;
        const int end = i == to.line ? to.column : int(l.size());
        out += QStringView(l).mid(start, end - start);
        if (i < to.line) out += QLatin1Char('\n');
    }
    return out;
}

void LogView::copy() const {
    if (hasSelection()) QApplication::clipboard()->setText(selectedText());
}

void LogView::setSelectionClipboard() const {
    QClipboard* c = QApplication::clipboard();
    if (hasSelection() && c->supportsSelection()) c->setText(selectedText(), QClipboard::Selection);
}

QColor LogView::colorAt(qsizetype i, int column) const {
    std::vector<KeyDescr> runs;
    scanLineEnd(line(i), 0, rule_, runs);
    for (const KeyDescr& r : runs)
        if (column >= r.StartPos && column <= r.EndPos) return r.Color;
    return {};
}

void LogView::moveCaret(Pos to, bool extend) {
    setSelection(extend ? anchor_ : to, to);
    showCaret();
}

void LogView::showCaret() {
    if (lineCount() == 0) return;
    QScrollBar* v = verticalScrollBar();
    if (caret_.line < v->value())
        v->setValue(int(caret_.line));
    else if (caret_.line >= v->value() + visibleLines())
        v->setValue(int(caret_.line) - visibleLines() + 1);
    QTextLayout layout(line(caret_.line), font(), viewport());
    layoutLine(layout);
    QScrollBar* h = horizontalScrollBar();
    const int x = int(layout.lineAt(0).cursorToX(caret_.column));
    const int room = viewport()->width() - 2 * kMargin;
    if (x < h->value())
        h->setValue(x);
    else if (x > h->value() + room)
        h->setValue(x - room);
}

void LogView::keyPressEvent(QKeyEvent* e) {
    if (e == QKeySequence::Copy ||
        (e->key() == Qt::Key_Insert && e->modifiers() == Qt::ControlModifier)) {
        copy();
        return;
    }
    if (e == QKeySequence::SelectAll) {
        selectAll();
        return;
    }
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    if (!(e->modifiers() & Qt::ShiftModifier)) {
        // Without Shift the keys move the view, as in a read-only edit control.
        QScrollBar* v = verticalScrollBar();
        if (e->key() == Qt::Key_Home && ctrl)
            v->setValue(v->minimum());
        else if (e->key() == Qt::Key_End && ctrl)
            v->setValue(v->maximum());
        else
            QAbstractScrollArea::keyPressEvent(e);
        return;
    }
    // With Shift they move the selection's end.
    const qsizetype last = std::max<qsizetype>(0, lineCount() - 1);
    const int length = int(line(caret_.line).size());
    Pos to = caret_;
    switch (e->key()) {
        case Qt::Key_Left:
            if (to.column > 0)
                --to.column;
            else if (to.line > 0)
                to = {to.line - 1, int(line(to.line - 1).size())};
            break;
        case Qt::Key_Right:
            if (to.column < length)
                ++to.column;
            else if (to.line < last)
                to = {to.line + 1, 0};
            break;
        case Qt::Key_Up:
            to.line = std::max<qsizetype>(0, to.line - 1);
            break;
        case Qt::Key_Down:
            to.line = std::min(last, to.line + 1);
            break;
        case Qt::Key_PageUp:
            to.line = std::max<qsizetype>(0, to.line - visibleLines());
            break;
        case Qt::Key_PageDown:
            to.line = std::min(last, to.line + visibleLines());
            break;
        case Qt::Key_Home:
            to = ctrl ? Pos{} : Pos{to.line, 0};
            break;
        case Qt::Key_End:
            to = ctrl ? Pos{last, INT_MAX} : Pos{to.line, INT_MAX};
            break;
        default:
            QAbstractScrollArea::keyPressEvent(e);
            return;
    }
    moveCaret(to, true);
    setSelectionClipboard();
}

void LogView::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(e);
    moveCaret(posAt(e->position().toPoint()), e->modifiers() & Qt::ShiftModifier);
}

void LogView::mouseMoveEvent(QMouseEvent* e) {
    // A drag past the viewport's edge scrolls on by a line.
    if (e->buttons() & Qt::LeftButton) moveCaret(posAt(e->position().toPoint()), true);
}

void LogView::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) setSelectionClipboard();
}

void LogView::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    // The word under the pointer, or the one character when it is no word.
    const Pos at = posAt(e->position().toPoint());
    const QString l = line(at.line);
    int start = std::min(at.column, int(l.size()) - 1), end = start + 1;
    if (start < 0) return;
    if (isWordPart(l[start])) {
        while (start > 0 && isWordPart(l[start - 1])) --start;
        while (end < l.size() && isWordPart(l[end])) ++end;
    }
    setSelection({at.line, start}, {at.line, end});
    setSelectionClipboard();
}

void LogView::contextMenuEvent(QContextMenuEvent* e) {
    QMenu menu(this);
    QAction* copyAction = menu.addAction(tr("&Copy"), this, &LogView::copy);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(hasSelection());
    QAction* all = menu.addAction(tr("Select All"), this, &LogView::selectAll);
    all->setShortcut(QKeySequence::SelectAll);
    all->setEnabled(lineCount() > 0);
    menu.exec(e->globalPos());
}

}  // namespace kelp
