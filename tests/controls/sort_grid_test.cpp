#include <QHeaderView>
#include <QTest>

#include <gtest/gtest.h>

#include "sort_grid.h"

using namespace kelp;

namespace {

SortedList entries(const QStringList& keys) {
    SortedList l;
    for (int i = 0; i < keys.size(); ++i) l.push_back({keys[i], i + 1});
    return l;
}

QStringList sortedKeys(const QStringList& keys, SortOptions o) {
    const SortedList l = entries(keys);
    QStringList out;
    for (int i : sortedOrder(l, o)) out << l[i].Str;
    return out;
}

SortOptions opts(SortStyleKind style, SortDirection dir = sdAscending) {
    SortOptions o;
    o.SortStyle = style;
    o.SortDirection = dir;
    return o;
}

}  // namespace

// Equal keys keep their order in both directions; keys that are no numbers
// go after the numbers and keep theirs.
TEST(SortGridLogic, OrderOfEachStyle) {
    SortOptions custom = opts(ssCustom);
    custom.SortCompare = [](const QString& a, const QString& b) {
        return int(a.size() - b.size());
    };
    const struct {
        QStringList keys;
        SortOptions options;
        QStringList sorted;
    } cases[] = {
        {{"10", "9", "100"}, opts(ssNumeric), {"9", "10", "100"}},
        {{"10", "9", "100"}, opts(ssAlphabetic), {"10", "100", "9"}},
        {{"b", "a", "B"}, opts(ssAlphabetic), {"a", "b", "B"}},
        {{"b", "a", "B"}, opts(ssAlphabetic, sdDescending), {"b", "B", "a"}},
        {{"2001/03/04 12:05:09", "1999/12/31 23:59:59", "2001/03/04 09:00:00"},
         opts(ssDateTime),
         {"1999/12/31 23:59:59", "2001/03/04 09:00:00", "2001/03/04 12:05:09"}},
        {{"13:00", "9:30", "09:15:01"}, opts(ssTime), {"09:15:01", "9:30", "13:00"}},
        {{"", "5", "dir", "3"}, opts(ssNumeric), {"3", "5", "", "dir"}},
        {{"", "5", "dir", "3"}, opts(ssNumeric, sdDescending), {"", "dir", "5", "3"}},
        {{"ccc", "a", "bb"}, custom, {"a", "bb", "ccc"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sortedKeys(c.keys, c.options), c.sorted) << c.keys.join(',').toStdString();
    SortOptions caseSensitive = opts(ssAlphabetic);
    caseSensitive.SortCaseSensitive = true;
    EXPECT_NE(compareSortKeys("b", "B", caseSensitive), 0);
}

TEST(SortGridLogic, DetectsStyleFromAllCells) {
    EXPECT_EQ(detectSortStyle({"1", "2.5", "-3e2"}), ssNumeric);
    EXPECT_EQ(detectSortStyle({"2001/03/04 12:05:09", "2002/01/01"}), ssDateTime);
    EXPECT_EQ(detectSortStyle({"12:05", "2002/01/01"}), ssDateTime);
    EXPECT_EQ(detectSortStyle({"1", "12:05"}), ssAlphabetic);
    EXPECT_EQ(detectSortStyle({"1", ""}), ssAlphabetic);  // an empty cell fails all three
}

class SortGridWidget : public ::testing::Test {
  protected:
    void SetUp() override {
        grid.setColCount(3);
        grid.setRowCount(5);
        const QStringList header{"Name", "Size", "Time"};
        const QStringList names{"b", "a", "B", "sum"};
        const QStringList sizes{"10", "9", "100", "119"};
        for (int c = 0; c < 3; ++c) grid.setCells(c, 0, header[c]);
        for (int r = 1; r < 5; ++r) {
            grid.setCells(0, r, names[r - 1]);
            grid.setCells(1, r, sizes[r - 1]);
        }
        grid.resize(400, 300);
        grid.show();
        grid.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&grid));
    }
    QStringList column(int c) {
        QStringList out;
        for (int r = 1; r < grid.RowCount(); ++r) out << grid.Cells(c, r);
        return out;
    }
    void clickHeader(int col, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {}) {
        QHeaderView* h = grid.horizontalHeader();
        const QPoint p(h->sectionViewportPosition(col) + h->sectionSize(col) / 2, h->height() / 2);
        QTest::mouseClick(h->viewport(), b, m, p);
    }
    SortGrid grid;
};

TEST_F(SortGridWidget, HeaderClicksSortAndSelectionFollowsRecord) {
    grid.setRow(1);  // "b", 10
    int begins = 0, ends = 0;
    QObject::connect(&grid, &SortGrid::OnBeginSort, [&](int, SortOptions&) { ++begins; });
    QObject::connect(&grid, &SortGrid::OnEndSort, [&](int) { ++ends; });
    clickHeader(1);
    EXPECT_EQ(column(1), (QStringList{"9", "10", "100", "119"}));
    EXPECT_EQ(grid.Row(), 2);
    EXPECT_EQ(grid.Cells(0, grid.Row()), "b");
    EXPECT_EQ(begins, 1);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(grid.SortColumn(), 1);
    EXPECT_TRUE(grid.isSorted());

    clickHeader(1, Qt::RightButton);  // right click: descending
    EXPECT_EQ(column(1), (QStringList{"119", "100", "10", "9"}));
    EXPECT_EQ(grid.SortDirection(), sdDescending);

    clickHeader(0, Qt::LeftButton, Qt::ControlModifier);  // held control: no sort
    EXPECT_EQ(column(1), (QStringList{"119", "100", "10", "9"}));
    EXPECT_EQ(begins, 2);

    grid.Unsort();  // back to the order before the last sort
    EXPECT_EQ(column(1), (QStringList{"9", "10", "100", "119"}));
    EXPECT_FALSE(grid.isSorted());
}

TEST(SortGridModelTest, HoldsManyRowsAndSortsThem) {
    SortGrid grid;
    grid.setColCount(2);
    std::vector<QStringList> rows;
    for (int i = 0; i < 100000; ++i) rows.push_back({QString::number((i * 7919) % 100000), "x"});
    grid.gridModel()->setDataRows(std::move(rows));
    EXPECT_EQ(grid.RowCount(), 100001);
    grid.SortOnColumn(0, SortOptions{});
    EXPECT_EQ(grid.Cells(0, 1), "0");
    EXPECT_EQ(grid.Cells(0, 100000), "99999");
}

namespace {

// Record i shows "n<i>" and the number i * 7 % 10; it counts the texts it makes.
class CountingSource : public GridRowSource {
  public:
    QString Cell(int col, uint32_t record) const override {
        ++made;
        return col == 0   ? QString("n%1").arg(record)
               : col == 1 ? QString::number(record * 7 % 10)
                          : QString();
    }
    mutable int made = 0;
};

}  // namespace

TEST(SortGridModelTest, SourceRowsSortEditAndMoveColumnsLikeOwnTexts) {
    SortGrid grid;
    grid.setColCount(2);
    auto source = std::make_shared<CountingSource>();
    GridRows rows{GridRow{{"own", "5"}}};
    for (uint32_t i = 0; i < 4; ++i) rows.push_back(GridRow{{}, i});
    grid.gridModel()->setDataRows(std::move(rows), source);
    ASSERT_EQ(grid.RowCount(), 6);
    EXPECT_EQ(source->made, 0);  // nothing is made before it is asked for
    EXPECT_EQ(grid.Cells(0, 3), "n1");
    EXPECT_EQ(grid.gridModel()->CellLength(0, 3), 2);

    // Sorting moves records and own rows alike: 5, then 0, 7, 4 and 1.
    grid.SortOnColumn(1, SortOptions{});
    QStringList names;
    for (int r = 1; r < grid.RowCount(); ++r) names << grid.Cells(0, r);
    EXPECT_EQ(names, (QStringList{"n0", "n3", "n2", "own", "n1"}));

    // An edited row keeps its texts from then on; the other rows still show records.
    grid.setCells(1, 2, "edited");
    EXPECT_EQ(grid.gridModel()->DataRow(2).record, GridRow::kOwnTexts);
    EXPECT_EQ(grid.gridModel()->Rows(2), (QStringList{"n3", "edited"}));
    EXPECT_EQ(grid.Cells(1, 3), "4");
    EXPECT_EQ(grid.gridModel()->DataRow(1).record, 0u);

    // A column put in front shifts every row's texts, records' too.
    grid.InsertColumn(0);
    EXPECT_EQ(grid.Cells(1, 1), "n0");
    EXPECT_EQ(grid.Cells(2, 5), "7");
    EXPECT_EQ(grid.Cells(0, 5), "");
    EXPECT_EQ(grid.gridModel()->RowSource(), nullptr);
}
