#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>

#include <gtest/gtest.h>

#include "color_memo.h"

using namespace kelp;

namespace {

const QColor kRed(255, 0, 0), kBlue(0, 0, 255);

// Opens the view geometry the memo keeps protected.
struct TestMemo : ColorMemo {
    using QPlainTextEdit::blockBoundingGeometry;
    using QPlainTextEdit::contentOffset;
    using QPlainTextEdit::firstVisibleBlock;
};

class ColorMemoWidget : public ::testing::Test {
  protected:
    void SetUp() override {
        memo.resize(300, 200);
        memo.setLineWrapMode(QPlainTextEdit::NoWrap);
        memo.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&memo));
    }
    QPoint pointOf(int pos) {
        QTextCursor c(memo.document());
        c.setPosition(pos);
        return memo.cursorRect(c).center() + QPoint(2, 0);
    }
    TestMemo memo;
};

}  // namespace

TEST_F(ColorMemoWidget, KeywordsColourAndSelectionMasks) {
    ColorRule& rule = memo.ColorRules().add();
    rule.KeyDrawingType = dtKeyShow;
    rule.setKeywords({"begin;blue", "end"});
    memo.setPlainText("begin x end\nbeginning");
    EXPECT_EQ(memo.colorAt(0), kBlue);
    EXPECT_EQ(memo.colorAt(8), kRed);
    EXPECT_FALSE(memo.colorAt(6).isValid());
    EXPECT_FALSE(memo.colorAt(12).isValid());  // "beginning" is no keyword

    QTextCursor c = memo.textCursor();
    c.setPosition(1);
    c.setPosition(3, QTextCursor::KeepAnchor);
    memo.setTextCursor(c);
    memo.PaintColors(false);
    EXPECT_FALSE(memo.colorAt(1).isValid());  // the selection keeps its highlight
    EXPECT_EQ(memo.colorAt(3), kBlue);

    // Typing one character recolours the caret's line.
    QTest::keyClick(&memo, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(&memo, " end");
    EXPECT_EQ(memo.colorAt(memo.toPlainText().size() - 1), kRed);
}

TEST_F(ColorMemoWidget, TallCommentsAndTheLastVisibleLine) {
    ColorRule& rule = memo.ColorRules().add();
    rule.setKeyBegEndLst({"{;}"});
    QStringList lines;
    for (int i = 0; i < 60; ++i) lines << QString("line %1").arg(i);
    lines[10] = "{ open";
    lines[14] = "close }";
    memo.setPlainText(lines.join('\n'));
    const int startOf13 = int(memo.document()->findBlockByNumber(13).position());
    memo.verticalScrollBar()->setValue(13);
    EXPECT_EQ(memo.firstVisibleBlock().blockNumber(), 13);
    EXPECT_FALSE(memo.colorAt(startOf13).isValid());  // KeyMaxHeight 1: from line 13 only

    rule.KeyMaxHeight = 5;
    memo.PaintColors(false);
    EXPECT_EQ(memo.colorAt(startOf13), kRed);

    // The scan stops before the first line that is not wholly visible.
    const QTextBlock cut = memo.document()->findBlock(memo.scanLimit());
    const qreal top = memo.blockBoundingGeometry(cut).translated(memo.contentOffset()).top();
    EXPECT_GE(top + memo.fontMetrics().height(), memo.viewport()->height());
    const qreal prevTop =
        memo.blockBoundingGeometry(cut.previous()).translated(memo.contentOffset()).top();
    EXPECT_LT(prevTop + memo.fontMetrics().height(), memo.viewport()->height());
}

TEST_F(ColorMemoWidget, HotSpotsColourPointAndClick) {
    HotSpot hs;
    hs.Active = true;
    memo.setHotSpot(hs);
    memo.setPlainText(QString("open ") + QChar(30) + "readme.txt" + QChar(31) + " now");
    EXPECT_EQ(memo.colorAt(7), kBlue);
    EXPECT_EQ(memo.colorAt(5), hs.MarkerColor);
    EXPECT_FALSE(memo.colorAt(1).isValid());

    QSignalSpy click(&memo, &ColorMemo::OnHotSpotClick);
    QTest::mouseMove(memo.viewport(), pointOf(8));
    EXPECT_EQ(memo.viewport()->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(memo.viewport(), Qt::LeftButton, {}, pointOf(8));
    ASSERT_EQ(click.size(), 1);
    EXPECT_EQ(click[0][0].toString(), "readme.txt");
    QTest::mouseMove(memo.viewport(), pointOf(1));
    EXPECT_NE(memo.viewport()->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(ColorMemoWidget, EventDrawnRulesNeedABuffer) {
    ColorRule& rule = memo.ColorRules().add();
    rule.KeyDrawingType = dtEventDraw;
    rule.ZOrder = 3;
    int calls = 0;
    QObject::connect(&memo, &ColorMemo::OnDraw,
                     [&](ColorRule*, QStringView from, std::vector<KeyDescr>& a, int& count) {
                         ++calls;
                         EXPECT_EQ(from.left(3), QStringLiteral("abc"));
                         a[0] = {1, 2, QColor(0, 128, 0), 0, false};
                         count = 1;
                     });
    memo.setPlainText("abcdef");
    EXPECT_EQ(calls, 0);  // no buffer, no event
    EXPECT_FALSE(memo.colorAt(1).isValid());
    memo.setColorLimMax(4);
    memo.PaintColors(false);
    EXPECT_GT(calls, 0);
    EXPECT_EQ(memo.colorAt(1), QColor(0, 128, 0));
    EXPECT_EQ(memo.colorAt(2), QColor(0, 128, 0));
    EXPECT_EQ(memo.runs().front().ZOrder, 3);
}

TEST_F(ColorMemoWidget, CaretLineRunStaysInTheVisibleStretch) {
    ColorRule& rule = memo.ColorRules().add();
    rule.KeyDrawingType = dtBeginLineEnd;
    rule.setKeyLineEndLst({"Tested;green"});
    memo.setRedrawAlways(true);
    QStringList lines;
    for (int i = 0; i < 2000; ++i) lines << QString("member%1  Tested").arg(i);
    memo.setPlainText(lines.join('\n'));
    QTextCursor c = memo.textCursor();
    c.movePosition(QTextCursor::End);
    memo.setTextCursor(c);
    memo.verticalScrollBar()->setValue(0);
    memo.PaintColors(false);

    // With the caret far below the view, nothing is coloured past what was scanned.
    ASSERT_FALSE(memo.runs().empty());
    for (const KeyDescr& r : memo.runs()) {
        EXPECT_GE(r.StartPos, memo.scanStart());
        EXPECT_LE(r.EndPos, memo.scanLimit());
    }
    EXPECT_EQ(memo.colorAt(10), QColor(0, 128, 0));  // "Tested" on the first line

    // At the end the caret's line is drawn: its marker over the text colour.
    memo.verticalScrollBar()->setValue(memo.verticalScrollBar()->maximum());
    const int lastLine = int(memo.document()->lastBlock().position());
    EXPECT_EQ(memo.colorAt(lastLine), memo.palette().color(QPalette::Text));
    EXPECT_EQ(memo.colorAt(memo.toPlainText().size() - 1), QColor(0, 128, 0));
}
