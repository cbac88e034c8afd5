// LogView: a read-only view of a growing list of lines, for the operation
// log. The lines live in one UTF-8 buffer with their end offsets, so adding a
// line costs its own length and no layout; only the lines in the viewport are
// laid out, coloured (by one line-end colour rule) and painted. Selection
// works by mouse and keyboard and copies the exact text.
#pragma once

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QStringList>

#include <vector>

#include "color_rule.h"

class QTextLayout;

namespace kelp {

class LogView : public QAbstractScrollArea {
    Q_OBJECT
  public:
    // A place in the text: a line and a character offset within it.
    struct Pos {
        qsizetype line = 0;
        int column = 0;
        auto operator<=>(const Pos&) const = default;
    };

    explicit LogView(QWidget* parent = nullptr);

    // The line-end rule that colours lines: from a line's earliest marker to
    // its end, in the marker's colour.
    const ColorRule& LineRule() const { return rule_; }
    void setLineRule(const ColorRule& rule);

    // Appends lines (a line holding '\n' becomes several) and shows the newest.
    void appendLines(const QStringList& lines);
    // The same for UTF-8 text in which each '\n' ends a line (the text
    // behind the last one is a line too).
    void appendText(QByteArrayView utf8);
    void clear();

    qsizetype lineCount() const { return qsizetype(ends_.size()); }
    QString line(qsizetype i) const;
    QStringList lines() const;
    // The lines joined by '\n'.
    QString toPlainText() const;
    // The index of the first line in the viewport.
    qsizetype firstVisibleLine() const;

    bool hasSelection() const { return anchor_ != caret_; }
    void setSelection(Pos anchor, Pos caret);
    void selectAll();
    QString selectedText() const;
    // Puts the selected text on the clipboard.
    void copy() const;

    // The colour the rule gives the character at (line, column), invalid
    // where the line keeps the view's own text colour.
    QColor colorAt(qsizetype line, int column) const;
    // The place under a viewport point, clamped to the text.
    Pos posAt(const QPoint& p) const;

  protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

  private:
    void updateScrollBars();
    int visibleLines() const;
    int lineHeight() const;
    // Lays out one line without wrapping, coloured by the rule.
    void layoutLine(QTextLayout& layout) const;
    void moveCaret(Pos to, bool extend);
    void showCaret();
    void setSelectionClipboard() const;

    QByteArray text_;              // every line's UTF-8, back to back
    std::vector<qsizetype> ends_;  // where each line ends in text_
    int longestLine_ = 0;          // in characters
    int widestPainted_ = 0;        // in pixels, of the lines painted so far
    ColorRule rule_;
    Pos anchor_, caret_;
};

}  // namespace kelp
