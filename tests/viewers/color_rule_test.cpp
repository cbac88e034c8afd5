#include <gtest/gtest.h>

#include "color_scan.h"

using namespace kelp;

namespace {

std::vector<KeyDescr> scan(const QString& text, ColorRule& rule) {
    std::vector<KeyDescr> out;
    switch (rule.KeyDrawingType) {
        case dtKeyShow:
            scanKeywords(text, 0, rule, out);
            break;
        case dtBeginEnd:
            scanBeginEnd(text, 0, rule, out);
            break;
        case dtBeginLineEnd:
            scanLineEnd(text, 0, rule, out);
            break;
        default:
            break;
    }
    return out;
}

QStringList covered(const QString& text, const std::vector<KeyDescr>& ds) {
    QStringList out;
    for (const KeyDescr& d : ds) out << text.mid(d.StartPos, d.EndPos - d.StartPos + 1);
    return out;
}

}  // namespace

TEST(ColorRuleTest, ParsesColourNamesAndHex) {
    EXPECT_EQ(ParseColor(" navy "), QColor(0, 0, 128));
    EXPECT_EQ(ParseColor("Fuchsia"), QColor(255, 0, 255));
    for (const char* red : {"#FF0000", "$FF0000", "FF0000", "1FF0000"})
        EXPECT_EQ(ParseColor(red), QColor(255, 0, 0)) << red;
    EXPECT_EQ(ParseColor("#0080ff"), QColor(0, 128, 255));
    EXPECT_THROW(ParseColor("bluish"), EConvertError);
}

TEST(ColorRuleTest, KeywordsMatchWholeWordsWithoutCase) {
    ColorRule rule;
    rule.KeyDrawingType = dtKeyShow;
    rule.setKeywords({"IF"});
    const QString text = "if If ifdef @if if1 _if";
    const auto found = scan(text, rule);
    EXPECT_EQ(covered(text, found), (QStringList{"if", "If", "if", "if"}));
    EXPECT_EQ(found[2].StartPos, 16);  // "if1": digits are no word characters
    EXPECT_EQ(found[3].StartPos, 21);  // "_if"
    EXPECT_TRUE(found[0].IsKey);
    EXPECT_EQ(found[0].Color, QColor(255, 0, 0));

    rule.PartWord = true;
    EXPECT_EQ(scan(text, rule).size(), 6u);
    rule.PartWord = false;
    rule.KeyCase = true;
    rule.setKeywords({"If"});
    EXPECT_EQ(scan(text, rule).size(), 1u);
}

TEST(ColorRuleTest, KeywordPatternAndColourTable) {
    ColorRule rule;
    rule.KeyDrawingType = dtKeyShow;
    rule.setKeywords({" then ;blue", "", "a;green", "b;lime", "c;green", ";red"});
    EXPECT_EQ(rule.pattern(), QString("* THEN *+") + QChar(1) + "*A*+" + QChar(2) + "*B*+" +
                                  QChar(3) + "*C*+" + QChar(2) + "*");
    EXPECT_EQ(rule.colorTable().size(), 3u);
    EXPECT_EQ(covered("1 then 2", scan("1 then 2", rule)), (QStringList{" then "}));
    EXPECT_TRUE(
        scan("x then y", rule).empty());  // the letters beside the blanks are word characters

    QStringList many;
    for (int i = 0; i < 42; ++i) many << QString("k%1;#%2").arg(i).arg(i + 1, 6, 10, QChar('0'));
    rule.setKeywords(many);
    EXPECT_EQ(rule.colorTable().size(), 41u);
    EXPECT_EQ(rule.keywordTable()[41].code, rule.keywordTable()[40].code);
    EXPECT_THROW(rule.setKeywords({"ok;red", "bad;nocolour"}), EConvertError);
    EXPECT_EQ(rule.keywordTable().size(), 1u);  // the line before the error stays
}

TEST(ColorRuleTest, BeginEndPairs) {
    ColorRule rule;
    rule.setKeyBegEndLst({"/*;*/;navy", "{;}"});
    const QString text = "a /* b */ c {d} /*/ e /* open";
    const auto found = scan(text, rule);
    EXPECT_EQ(covered(text, found), (QStringList{"/* b */", "{d}", "/*/"}));
    EXPECT_EQ(found[0].Color, QColor(0, 0, 128));
    EXPECT_EQ(found[1].Color, QColor(255, 0, 0));  // the default colour
    rule.setKeyBegEndLst({"{;}", ";bad", "<;>"});  // the second line ends the table
    EXPECT_EQ(rule.markers().size(), 1u);
}

TEST(ColorRuleTest, LineEndMarkersOfTheProcessLog) {
    ColorRule rule;
    rule.KeyDrawingType = dtBeginLineEnd;
    rule.DefKeyColor = QColor(0, 128, 0);
    // Markers are their first six characters; a line without a colour takes
    // the default one.
    rule.setKeyLineEndLst(
        {"Unzipped,green", "No Errors Found;olive", "Start Time;blue", "End Time;blue"});
    ASSERT_EQ(rule.markers().size(), 4u);
    EXPECT_EQ(rule.markers()[0].begin, "Unzipp");
    EXPECT_EQ(rule.markers()[0].color, QColor(0, 128, 0));
    EXPECT_EQ(rule.markers()[1].color, QColor(128, 128, 0));

    const QString log = "Start Time 10:00\n  Unzipped a.txt\nplain\nEnd Time 10:01";
    const auto found = scan(log, rule);
    EXPECT_EQ(covered(log, found),
              (QStringList{"Start Time 10:00", "Unzipped a.txt", "End Time 10:01"}));

    rule.setKeyLineEndLst({";;gray", ";gray"});
    EXPECT_EQ(rule.markers()[0].begin, ";");
    EXPECT_EQ(rule.markers()[0].color, QColor(128, 128, 128));
    EXPECT_EQ(rule.markers()[1].begin, ";gray");
    EXPECT_EQ(rule.markers()[1].color, QColor(0, 128, 0));
}

TEST(ColorScanTest, MergeByPriorityAndSelectionMask) {
    const QColor red(255, 0, 0), blue(0, 0, 255), green(0, 128, 0);
    const auto runs = mergeRuns({{2, 9, red, 0, false},
                                 {4, 5, blue, 1, true},
                                 {5, 7, green, 0, false},  // loses to blue at 5
                                 {8, 8, {}, kSelectionZ, false}});
    ASSERT_EQ(runs.size(), 5u);
    EXPECT_EQ(runs[0], (KeyDescr{2, 3, red, 0, false}));
    EXPECT_EQ(runs[1], (KeyDescr{4, 5, blue, 1, true}));
    EXPECT_EQ(runs[2], (KeyDescr{6, 7, green, 0, false}));
    EXPECT_EQ(runs[3].ZOrder, kSelectionZ);
    EXPECT_EQ(runs[4], (KeyDescr{9, 9, red, 0, false}));
    EXPECT_TRUE(mergeRuns({{5, 4, red, 0, false}}).empty());
}

TEST(ColorScanTest, HotSpots) {
    HotSpot hs;
    const QString text =
        QString("go ") + QChar(30) + "here" + QChar(31) + " and " + QChar(30) + "open";
    std::vector<KeyDescr> out;
    scanHotSpots(text, 0, hs, out);
    ASSERT_EQ(out.size(), 3u);  // the second, unclosed one is withdrawn
    EXPECT_EQ(out[0].ZOrder, kHotSpotMarkZ);
    EXPECT_EQ((out[1]), (KeyDescr{4, 7, hs.Color, kHotSpotTextZ, false}));
    EXPECT_EQ(hotSpotAt(text, 5, hs), std::optional<QString>("here"));
    EXPECT_EQ(hotSpotAt(text, 0, hs), std::nullopt);   // a begin char comes first
    EXPECT_EQ(hotSpotAt(text, 12, hs), std::nullopt);  // no end char follows
}
