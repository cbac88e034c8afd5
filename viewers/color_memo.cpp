#include "color_memo.h"

#include <algorithm>

#include <QKeyEvent>
#include <QMetaMethod>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>

namespace kelp {

ColorMemo::ColorMemo(QWidget* parent) : QPlainTextEdit(parent) {
    hotSpot_.MarkerColor = palette().color(QPalette::Base);
    viewport()->setMouseTracking(true);  // the pointer turns into a hand over hot spots
    connect(this, &QPlainTextEdit::textChanged, this, &ColorMemo::textChangedByUser);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        emit OnVScroll();
        PaintColors(false);
    });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        emit OnHScroll();
        PaintColors(false);
    });
}

void ColorMemo::setColorRules(const DrawRules& rules) {
    rules_.assign(rules);
    PaintColors(false);
}

void ColorMemo::setColorLimMax(int n) {
    if (n == colorLimMax_) return;
    colorLimMax_ = std::max(0, n);
    eventBuffer_.assign(size_t(colorLimMax_), KeyDescr{});
}

void ColorMemo::setHotSpot(const kelp::HotSpot& hs) {
    hotSpot_ = hs;
    PaintColors(false);
}

void ColorMemo::textChangedByUser() {
    // One more character on the same number of lines: only the caret's line
    // needs colouring again.
    const int lines = document()->blockCount();
    const int length = int(document()->characterCount()) - 1;
    const bool typed = lines == lineCount_ && length == textLength_ + 1;
    PaintColors(!redrawAlways_ && typed);
    lineCount_ = lines;
    textLength_ = length;
}

void ColorMemo::PaintColors(bool CaretLineOnly) {
    if (!isEnabled() || !isVisible()) return;
    if (rules_.count() == 0 && !hotSpot_.Active) {
        if (!runs_.empty() || !extraSelections().isEmpty()) {
            runs_.clear();
            setExtraSelections({});
        }
        return;
    }
    const int fontHeight = fontMetrics().height();
    const QTextCursor cursor = textCursor();
    const int selStart = cursor.selectionStart(), selLen = cursor.selectionEnd() - selStart;
    rules_.Prepare();
    QTextDocument* doc = document();

    // The lines to colour: the caret's, or those from the first visible one.
    const QTextBlock first = CaretLineOnly ? doc->findBlock(selStart) : firstVisibleBlock();
    const int lineCount = CaretLineOnly ? 1 : doc->blockCount() - first.blockNumber();
    const int above = rules_.count() > 0 ? rules_[0].KeyMaxHeight - 1 : 0;
    scanStart_ = doc->findBlockByNumber(std::max(0, first.blockNumber() - above)).position();

    // The scan stops at the first line that is not wholly visible.
    const QPointF offset = contentOffset();
    const int bottom = viewport()->height();
    int limit = -1;
    QTextBlock last = first;
    QTextBlock b = first;
    for (int i = 0; i < lineCount && b.isValid(); ++i, b = b.next()) {
        const qreal top = blockBoundingGeometry(b).translated(offset).top();
        if (top < 0 || top + fontHeight >= bottom) {
            limit = b.position();
            break;
        }
        last = b;
    }
    if (limit < 0) limit = last.position() + last.length() - 1;
    limit_ = limit;
    // Only the scanned stretch is copied out of the document, so a pass costs
    // the visible lines, not the whole text. Scanners see it from offset 0;
    // their descriptors are moved to document offsets after each scan.
    QString text;
    for (QTextBlock t = doc->findBlock(scanStart_); t.isValid() && t.position() < limit;
         t = t.next())
        text += t.text() + QLatin1Char('\n');
    text.truncate(std::max(0, limit - scanStart_));
    descriptors_.clear();
    size_t scanned = 0;
    const auto toDocument = [&] {
        for (size_t k = scanned; k < descriptors_.size(); ++k) {
            descriptors_[k].StartPos += scanStart_;
            descriptors_[k].EndPos += scanStart_;
        }
        scanned = descriptors_.size();
    };

    if (hotSpot_.Active && hotSpot_.BeginChar != QChar(0))
        scanHotSpots(text, 0, hotSpot_, descriptors_);
    if (!tabChangesFocus()) scanTabs(text, 0, palette().color(QPalette::Base), descriptors_);
    toDocument();
    if (redrawAlways_) {
        // The caret's line up to the caret, in the text colour beneath the
        // rules; only its part in the scanned stretch can show. A caret far
        // below the view (a log being appended to) would otherwise make the
        // merge cover every line between.
        const int caret = cursor.position();
        const int from = std::max(doc->findBlock(caret).position(), scanStart_);
        const int to = std::min(caret, limit_);
        if (from <= to)
            descriptors_.push_back({from, to, palette().color(QPalette::Text), 0, false});
        scanned = descriptors_.size();
    }
    const bool drawConnected = isSignalConnected(QMetaMethod::fromSignal(&ColorMemo::OnDraw));
    for (int i = 0; i < rules_.count(); ++i) {
        ColorRule& rule = rules_[i];
        if (!rule.Enabled) continue;
        switch (rule.KeyDrawingType) {
            case dtKeyShow:
                scanKeywords(text, 0, rule, descriptors_);
                break;
            case dtBeginEnd:
                scanBeginEnd(text, 0, rule, descriptors_);
                break;
            case dtBeginLineEnd:
                scanLineEnd(text, 0, rule, descriptors_);
                break;
            case dtEventDraw: {
                if (colorLimMax_ <= 0 || !drawConnected) break;
                eventBuffer_.assign(size_t(colorLimMax_), KeyDescr{});
                int count = 0;
                emit OnDraw(&rule, QStringView(text), eventBuffer_, count);
                const int n = std::min({count, colorLimMax_, int(eventBuffer_.size())});
                for (int k = 0; k < n; ++k) {
                    const KeyDescr& d = eventBuffer_[k];
                    descriptors_.push_back(
                        {d.StartPos, d.EndPos, d.Color, d.ZOrder ? d.ZOrder : rule.ZOrder, false});
                }
                break;
            }
        }
        toDocument();
    }
    // The selection masks every rule so the normal highlight stays.
    if (selLen > 0)
        descriptors_.push_back({selStart, selStart + selLen - 1, {}, kSelectionZ, false});

    runs_ = mergeRuns(descriptors_);
    const bool keyDrawer = isSignalConnected(QMetaMethod::fromSignal(&ColorMemo::OnDrawKey));
    applyRuns(CaretLineOnly && !keyDrawer, first.position(), first.position() + first.length() - 1);
}

bool ColorMemo::keyRunDrawnByEvent(const KeyDescr& r) const {
    return r.IsKey && document()->findBlock(r.StartPos) == document()->findBlock(r.EndPos) &&
           isSignalConnected(QMetaMethod::fromSignal(&ColorMemo::OnDrawKey));
}

void ColorMemo::applyRuns(bool caretLineOnly, int lineStart, int lineEnd) {
    QList<QTextEdit::ExtraSelection> sels;
    if (caretLineOnly) {
        // Keep what lies outside the caret's line; those selections moved
        // with the edit already.
        for (const auto& s : extraSelections())
            if (s.cursor.selectionEnd() <= lineStart || s.cursor.selectionStart() > lineEnd)
                sels.append(s);
    }
    for (const KeyDescr& r : runs_) {
        if (r.ZOrder == kSelectionZ || r.ZOrder == kTabZ || keyRunDrawnByEvent(r)) continue;
        QTextEdit::ExtraSelection s;
        s.cursor = QTextCursor(document());
        // A run on the last line may end past the document's last position.
        const int last = document()->characterCount() - 1;
        s.cursor.setPosition(std::min(r.StartPos, last));
        s.cursor.setPosition(std::min(r.EndPos + 1, last), QTextCursor::KeepAnchor);
        s.format.setForeground(r.Color);
        // Runs are drawn opaque: on the memo's background, or as blocks for hot-spot marks.
        s.format.setBackground(r.ZOrder == kHotSpotMarkZ ? r.Color
                                                         : palette().color(QPalette::Base));
        if (r.ZOrder == kHotSpotTextZ && hotSpot_.Underlined) s.format.setFontUnderline(true);
        sels.append(s);
    }
    setExtraSelections(sels);
}

QColor ColorMemo::colorAt(int pos) const {
    QColor c;
    for (const auto& s : extraSelections())
        if (pos >= s.cursor.selectionStart() && pos < s.cursor.selectionEnd())
            c = s.format.foreground().color();
    return c;
}

void ColorMemo::paintEvent(QPaintEvent* e) {
    QPlainTextEdit::paintEvent(e);
    if (!isSignalConnected(QMetaMethod::fromSignal(&ColorMemo::OnDrawKey))) return;
    QPainter p(viewport());
    p.setFont(font());
    const QString text = toPlainText();
    for (const KeyDescr& r : runs_) {
        if (!keyRunDrawnByEvent(r) || r.EndPos >= text.size()) continue;
        QTextCursor c(document());
        c.setPosition(r.StartPos);
        const QString key = text.mid(r.StartPos, r.EndPos - r.StartPos + 1);
        const QRect at = cursorRect(c);
        const QRect rect(at.left(), at.top(), fontMetrics().horizontalAdvance(key),
                         fontMetrics().height());
        p.setPen(r.Color);
        p.setBrush(palette().base());
        emit OnDrawKey(&p, key, rect, palette().color(QPalette::Text));
    }
}

void ColorMemo::resizeEvent(QResizeEvent* e) {
    QPlainTextEdit::resizeEvent(e);
    PaintColors(false);
}

void ColorMemo::showEvent(QShowEvent* e) {
    QPlainTextEdit::showEvent(e);
    PaintColors(false);
}

void ColorMemo::keyPressEvent(QKeyEvent* e) {
    const int k = e->key();
    const bool moveKey = k == Qt::Key_PageUp || k == Qt::Key_PageDown || k == Qt::Key_End ||
                         k == Qt::Key_Home || k == Qt::Key_Left || k == Qt::Key_Right ||
                         k == Qt::Key_Up || k == Qt::Key_Down;
    if (moveKey && textCursor().hasSelection() && e->modifiers() == Qt::NoModifier) {
        // The selection collapses to its end before the caret moves.
        QTextCursor c = textCursor();
        c.setPosition(c.selectionEnd());
        setTextCursor(c);
        PaintColors(false);
    }
    QPlainTextEdit::keyPressEvent(e);
}

void ColorMemo::keyReleaseEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Shift && (e->modifiers() & ~Qt::ShiftModifier) == Qt::NoModifier)
        PaintColors(false);
    QPlainTextEdit::keyReleaseEvent(e);
}

void ColorMemo::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && e->modifiers() == Qt::NoModifier &&
        e->buttons() == Qt::LeftButton)
        PaintColors(false);
    QPlainTextEdit::mousePressEvent(e);
}

int ColorMemo::charIndexAt(const QPoint& p, QTextBlock* block) const {
    const QTextCursor c = cursorForPosition(p);
    int pos = c.position();
    *block = document()->findBlock(pos);
    // The cursor lies between characters; the character under the pointer
    // is the one left of it when the pointer is left of the cursor.
    if (p.x() < cursorRect(c).left() && pos > block->position()) --pos;
    return pos - block->position();
}

void ColorMemo::mouseMoveEvent(QMouseEvent* e) {
    if (hotSpot_.Active) {
        QTextBlock block;
        const int index = charIndexAt(e->position().toPoint(), &block);
        overHotSpot_ = hotSpotAt(block.text(), index, hotSpot_).has_value();
        if (overHotSpot_)
            viewport()->setCursor(Qt::PointingHandCursor);
        else
            viewport()->setCursor(Qt::IBeamCursor);
    }
    QPlainTextEdit::mouseMoveEvent(e);
}

void ColorMemo::mouseReleaseEvent(QMouseEvent* e) {
    QPlainTextEdit::mouseReleaseEvent(e);
    if (e->button() != Qt::LeftButton) return;
    PaintColors(false);
    if (hotSpot_.Active && overHotSpot_) {
        QTextBlock block;
        const int index = charIndexAt(e->position().toPoint(), &block);
        if (const auto src = hotSpotAt(block.text(), index, hotSpot_)) emit OnHotSpotClick(*src);
    }
}

}  // namespace kelp
