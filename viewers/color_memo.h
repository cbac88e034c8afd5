// ColorMemo: a multi-line text control that colours parts of its visible
// text by rules (keywords, begin/end pairs, line-end markers, stretches an
// event supplies) and shows hot spots that react to the mouse like links.
// The rules and scanners are plain code (color_rule.h, color_scan.h); this
// class finds the visible range, runs them and shows the merged runs.
#pragma once

#include <QPlainTextEdit>

#include <vector>

#include "color_rule.h"
#include "color_scan.h"

namespace kelp {

class ColorMemo : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit ColorMemo(QWidget* parent = nullptr);

    DrawRules& ColorRules() { return rules_; }
    void setColorRules(const DrawRules& rules);
    int ColorLimMax() const { return colorLimMax_; }
    void setColorLimMax(int n);
    bool RedrawAlways() const { return redrawAlways_; }
    void setRedrawAlways(bool v) { redrawAlways_ = v; }
    const kelp::HotSpot& HotSpot() const { return hotSpot_; }
    void setHotSpot(const kelp::HotSpot& hs);

    // Recomputes the coloured runs of the visible text (or of the caret's
    // line only) and shows them.
    virtual void PaintColors(bool CaretLineOnly);

    // The runs of the last pass, offsets from the start of the text.
    const std::vector<KeyDescr>& runs() const { return runs_; }
    // The colour shown at a text offset by the rules, invalid where none.
    QColor colorAt(int pos) const;
    // Offsets [first, limit) that the last pass scanned.
    int scanStart() const { return scanStart_; }
    int scanLimit() const { return limit_; }

  signals:
    void OnVScroll();
    void OnHScroll();
    void OnHotSpotClick(const QString& SRC);
    // Supplies the stretches of an event-drawn rule: fill A[0..ItemsCount-1]
    // with offsets relative to FromPos.
    void OnDraw(kelp::ColorRule* Sender, QStringView FromPos, std::vector<kelp::KeyDescr>& A,
                int& ItemsCount);
    // Draws a keyword stretch instead of the control.
    void OnDrawKey(QPainter* Canvas, const QString& PKey, const QRect& Rect, const QColor& KColor);

  protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

  private:
    void textChangedByUser();
    void applyRuns(bool caretLineOnly, int lineStart, int lineEnd);
    bool keyRunDrawnByEvent(const KeyDescr& r) const;
    int charIndexAt(const QPoint& p, QTextBlock* block) const;

    DrawRules rules_;
    int colorLimMax_ = 0;
    bool redrawAlways_ = false;
    kelp::HotSpot hotSpot_;
    std::vector<KeyDescr> descriptors_;
    std::vector<KeyDescr> runs_;
    std::vector<KeyDescr> eventBuffer_;
    int scanStart_ = 0;
    int limit_ = 0;
    int lineCount_ = 0;
    int textLength_ = 0;
    bool overHotSpot_ = false;
};

}  // namespace kelp
