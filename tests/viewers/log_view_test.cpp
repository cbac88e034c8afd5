// The log's line view as a real widget: lines in order with their colours,
// selection by mouse and keyboard, copy, following the newest line, clearing,
// and a million lines.
#include <QClipboard>
#include <QGuiApplication>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include "app/bench/process_memory.h"
#include "log_view.h"

using kelp::LogView;
using kelp::bench::StatusKiB;

namespace {

const QColor kGreen(0, 128, 0), kRed(255, 0, 0);

kelp::ColorRule testRule() {
    kelp::ColorRule rule;
    rule.KeyDrawingType = kelp::dtBeginLineEnd;
    rule.setKeyLineEndLst({"Tested;green", "Error found;red"});
    return rule;
}

class LogViewWidget : public ::testing::Test {
  protected:
    void SetUp() override {
        log.setLineRule(testRule());
        log.resize(400, 200);
        log.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&log));
    }
    // The viewport point inside character `column` of a visible line.
    QPoint pointOf(qsizetype line, int column) {
        const QFontMetrics fm(log.font());
        const int y = 4 + int(line - log.firstVisibleLine()) * fm.lineSpacing() + fm.height() / 2;
        return {4 + fm.horizontalAdvance(log.line(line).left(column)) + 1, y};
    }
    // Pixels of the viewport's picture close to a colour.
    int pixelsNear(const QColor& c) {
        const QImage image = log.viewport()->grab().toImage();
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor p = image.pixelColor(x, y);
                n += std::abs(p.red() - c.red()) + std::abs(p.green() - c.green()) +
                         std::abs(p.blue() - c.blue()) <
                     60;
            }
        return n;
    }
    LogView log;
};

TEST_F(LogViewWidget, BatchesAppearInOrderWithTheirColours) {
    struct Line {
        QString text;
        QColor at0;  // the colour of its first character, invalid for the text colour
    };
    const std::vector<std::vector<Line>> batches = {
        {{"Tested a.txt", kGreen}, {"plain", {}}},
        {{"", {}}},  // an empty line stays a line
        {{"Error found b.bin", kRed}, {"  Tested \u00e9\u6587.txt", {}}, {"tested", {}}},
    };
    QStringList expected;
    std::vector<QColor> colours;
    for (const auto& batch : batches) {
        QStringList texts;
        for (const Line& l : batch) texts << l.text, colours.push_back(l.at0);
        log.appendLines(texts);
        expected << texts;
    }
    // A line holding a line break becomes two lines.
    log.appendLines({"first half\nError found: second half"});
    expected << "first half"
             << "Error found: second half";
    colours.push_back({});
    colours.push_back(kRed);

    EXPECT_EQ(log.lines(), expected);
    EXPECT_EQ(log.toPlainText(), expected.join('\n'));
    for (qsizetype i = 0; i < log.lineCount(); ++i)
        EXPECT_EQ(log.colorAt(i, 0), colours[size_t(i)]) << log.line(i).toStdString();
    // Non-ASCII text comes back whole, coloured from its marker on.
    EXPECT_EQ(log.colorAt(4, 2), kGreen);
    EXPECT_EQ(log.colorAt(4, int(log.line(4).size()) - 1), kGreen);
}

TEST_F(LogViewWidget, PaintsTheRuleColoursAndTheSelection) {
    log.appendLines({"plain text only"});
    EXPECT_EQ(pixelsNear(kRed), 0);
    log.appendLines({"Error found in x.bin"});
    EXPECT_GT(pixelsNear(kRed), 10);
    const QColor highlight = log.palette().color(QPalette::Highlight);
    EXPECT_EQ(pixelsNear(highlight), 0);
    log.selectAll();
    EXPECT_GT(pixelsNear(highlight), 500);  // the selected text, not only its line break
}

TEST_F(LogViewWidget, SelectionsGiveTheExactText) {
    log.appendLines({"alpha beta", "gamma_delta epsilon", "", "zeta"});
    struct Case {
        const char* name;
        std::function<void()> gesture;
        QString text;
    };
    const std::vector<Case> cases = {
        {"Ctrl+A", [&] { QTest::keyClick(&log, Qt::Key_A, Qt::ControlModifier); },
         "alpha beta\ngamma_delta epsilon\n\nzeta"},
        {"drag across a line break",
         [&] {
             QTest::mousePress(log.viewport(), Qt::LeftButton, {}, pointOf(0, 6));
             QTest::mouseMove(log.viewport(), pointOf(1, 5));
             QTest::mouseRelease(log.viewport(), Qt::LeftButton, {}, pointOf(1, 5));
         },
         "beta\ngamma"},
        {"Shift+click extends from the last click",
         [&] {
             QTest::mouseClick(log.viewport(), Qt::LeftButton, {}, pointOf(1, 12));
             QTest::mouseClick(log.viewport(), Qt::LeftButton, Qt::ShiftModifier, pointOf(3, 2));
         },
         "epsilon\n\nze"},
        {"double-click takes a word",
         [&] { QTest::mouseDClick(log.viewport(), Qt::LeftButton, {}, pointOf(1, 3)); },
         "gamma_delta"},
        {"Shift+keys move the selection's end",
         [&] {
             QTest::mouseClick(log.viewport(), Qt::LeftButton, {}, pointOf(0, 6));
             QTest::keyClick(&log, Qt::Key_End, Qt::ShiftModifier);
             QTest::keyClick(&log, Qt::Key_Right, Qt::ShiftModifier);
             QTest::keyClick(&log, Qt::Key_Down, Qt::ShiftModifier);
         },
         "beta\ngamma_delta epsilon\n"},
        {"a plain click selects nothing",
         [&] { QTest::mouseClick(log.viewport(), Qt::LeftButton, {}, pointOf(0, 2)); }, ""},
    };
    for (const Case& c : cases) {
        QGuiApplication::clipboard()->setText("before");
        c.gesture();
        EXPECT_EQ(log.selectedText(), c.text) << c.name;
        QTest::keyClick(&log, Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), c.text.isEmpty() ? "before" : c.text)
            << c.name;
    }
}

TEST_F(LogViewWidget, FollowsTheNewestLineAndClears) {
    QScrollBar* bar = log.verticalScrollBar();
    for (int batch = 0; batch < 5; ++batch) {
        QStringList lines;
        for (int i = 0; i < 40; ++i) lines << QString("line %1").arg(batch * 40 + i);
        log.appendLines(lines);
        // The newest line is the one at the viewport's bottom, even after the
        // user scrolled up.
        EXPECT_EQ(bar->value(), bar->maximum());
        EXPECT_GT(bar->maximum(), 0);
        const QPoint bottom(10, log.viewport()->height() - 1);
        EXPECT_EQ(log.line(log.posAt(bottom).line), QString("line %1").arg(batch * 40 + 39));
        bar->setValue(0);
    }
    // A smaller window still shows the newest line.
    log.setSelection({0, 0}, {1, 2});
    log.appendLines({"last"});
    log.resize(400, 120);
    QTest::qWait(0);
    EXPECT_EQ(bar->value(), bar->maximum());

    log.clear();
    EXPECT_EQ(log.lineCount(), 0);
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_FALSE(log.hasSelection());
    EXPECT_EQ(bar->maximum(), 0);
    log.selectAll();
    QTest::keyClick(&log, Qt::Key_End, Qt::ShiftModifier | Qt::ControlModifier);
    QTest::mouseDClick(log.viewport(), Qt::LeftButton, {}, {10, 10});
    EXPECT_EQ(log.selectedText(), "");
    log.appendLines({"after clearing"});
    EXPECT_EQ(log.lines(), QStringList{"after clearing"});
}

TEST_F(LogViewWidget, HoldsAMillionLinesCompactly) {
    const long before = StatusKiB("VmRSS:");
    constexpr int kBatches = 1000, kPerBatch = 1000;
    for (int b = 0; b < kBatches; ++b) {
        QStringList lines;
        lines.reserve(kPerBatch);
        for (int i = 0; i < kPerBatch; ++i)
            lines << QStringLiteral("  Tested d%1/f%2.txt").arg(b % 1000, 3, 10, QChar('0')).arg(i);
        log.appendLines(lines);
    }
    QTest::qWait(0);  // a paint of the newest lines
    const long grownKiB = StatusKiB("VmRSS:") - before;
    ASSERT_EQ(log.lineCount(), kBatches * kPerBatch);
    EXPECT_EQ(log.line(0), "  Tested d000/f0.txt");
    EXPECT_EQ(log.line(log.lineCount() - 1), "  Tested d999/f999.txt");
    EXPECT_EQ(log.colorAt(log.lineCount() - 1, 2), kGreen);
    EXPECT_EQ(log.verticalScrollBar()->value(), log.verticalScrollBar()->maximum());
    // About 20 bytes of text and an offset a line: far below 100 bytes a line.
    EXPECT_LT(grownKiB, 100'000) << grownKiB << " KiB for a million lines";
    log.clear();
    EXPECT_EQ(log.lineCount(), 0);
}

}  // namespace
