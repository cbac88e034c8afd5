// The gallery's page of custom controls: each one with sample content so a
// person can try them.
#include <QDateTime>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QRandomGenerator>
#include <QVBoxLayout>

#include "controls_page.h"

#include "color_memo.h"
#include "outlook_bar.h"
#include "slide_bar.h"
#include "sort_grid.h"

using namespace kelp;

namespace {

QPixmap sampleIcon(const QColor& c, const QString& letter) {
    QPixmap p(32, 32);
    p.fill(Qt::transparent);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    g.setBrush(c);
    g.setPen(c.darker());
    g.drawRoundedRect(2, 2, 28, 28, 6, 6);
    g.setPen(Qt::white);
    QFont f;
    f.setBold(true);
    f.setPixelSize(16);
    g.setFont(f);
    g.drawText(QRect(0, 0, 32, 32), Qt::AlignCenter, letter);
    return p;
}

OutlookBar* makeOutlookBar() {
    auto* bar = new OutlookBar;
    const struct {
        const char* group;
        QStringList items;
        QColor color;
    } groups[] = {{"Archive", {"New", "Open", "Test", "View", "Comment"}, QColor(40, 110, 180)},
                  {"Extract", {"Extr. All", "Extr. Selected", "Checkout"}, QColor(40, 150, 80)},
                  {"Add/Delete", {"Add", "Delete", "Remove Zip"}, QColor(180, 80, 40)}};
    for (const auto& g : groups) {
        OutlookGroup& group = bar->addGroup(g.group);
        for (const QString& item : g.items) group.addItem(item, sampleIcon(g.color, item.left(1)));
    }
    bar->group(0).item(4).setEnabled(false);
    bar->setFrameStyle(fsRaised);
    bar->setAllowEditing(true);
    bar->setFixedWidth(110);
    return bar;
}

SortGrid* makeGrid(int rows) {
    auto* grid = new SortGrid;
    grid->setAccessibleName("Sample grid");
    grid->setColCount(6);
    const QStringList header{"Filename", "Type", "FileTime", "Packed", "Size", "Ratio"};
    for (int c = 0; c < header.size(); ++c) grid->setCells(c, 0, header[c]);
    const QStringList types{"Text document", "PNG image", "C++ source", "Archive"};
    const QStringList exts{".txt", ".png", ".cpp", ".zip"};
    QRandomGenerator rng(7);
    std::vector<QStringList> data;
    for (int i = 0; i < rows; ++i) {
        const int t = int(rng.bounded(4));
        const int size = int(rng.bounded(2000000));
        const int packed = int(size * (0.2 + rng.generateDouble() * 0.7));
        const QDateTime when =
            QDateTime(QDate(2001, 1, 1), QTime(0, 0)).addSecs(rng.bounded(700000000));
        data.push_back({QString("     file%1%2").arg(i).arg(exts[t]), types[t],
                        when.toString("yyyy/MM/dd hh:mm:ss"), QString::number(packed),
                        QString::number(size),
                        QString("%1%").arg(size ? 100 - packed * 100 / size : 0)});
    }
    data.push_back({"Total", "", "", "", "", ""});
    grid->gridModel()->setDataRows(std::move(data));
    grid->setFooterRows(1);
    grid->setSortSymbol(sgArrow);
    grid->setSortColumn(0);
    grid->setColumnWidth(0, 140);
    grid->setColumnWidth(2, 130);
    return grid;
}

ColorMemo* makeMemo() {
    auto* memo = new ColorMemo;
    ColorRule& rule = memo->ColorRules().add();
    rule.KeyDrawingType = dtBeginLineEnd;
    rule.DefKeyColor = QColor(0, 128, 0);
    rule.loadLists({"tested;green"}, {},
                   {"Tested;green", "Unzipped,green", "No Errors Found;olive", "------;gray",
                    "Start Time;blue", "End Time;blue", "Error found;red",
                    "warnings were given;red", "Zero files;red", "Time used;blue", "adding;red"});
    ColorRule& keys = memo->ColorRules().add();
    keys.KeyDrawingType = dtKeyShow;
    keys.ZOrder = 1;
    keys.loadLists({"OK;teal", "CRC;purple"}, {}, {});
    HotSpot hs;
    hs.Active = true;
    memo->setHotSpot(hs);
    memo->setRedrawAlways(true);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    const QChar b(30), e(31);
    memo->setPlainText(QString("Start Time 2024/05/01 10:00:00\n------\n"
                               "  Tested readme.txt  OK\n  Unzipped pictures/sea.png\n"
                               "  CRC error in data.bin\nError found : data.bin\n"
                               "See %1how-to.htm%2 for help.\n------\n"
                               "End Time 2024/05/01 10:00:03\nTime used 00:00:03\n")
                           .arg(b)
                           .arg(e));
    QObject::connect(memo, &ColorMemo::OnHotSpotClick, memo,
                     [memo](const QString& src) { memo->appendPlainText("clicked " + src); });
    return memo;
}

QGroupBox* boxed(const QString& title, QWidget* w) {
    auto* box = new QGroupBox(title);
    auto* l = new QVBoxLayout(box);
    l->addWidget(w);
    return box;
}

}  // namespace

namespace kelp::gallery {

QWidget* MakeControlsPage() {
    auto* window = new QWidget;
    window->setWindowTitle("Kelp controls");
    auto* outer = new QHBoxLayout(window);
    outer->addWidget(boxed("Outlook bar", makeOutlookBar()));

    auto* right = new QVBoxLayout;
    right->addWidget(
        boxed("Sortable grid (100 000 rows; click or right-click a header)", makeGrid(100000)), 3);

    auto* sliders = new QWidget;
    auto* sl = new QHBoxLayout(sliders);
    auto* level = new QLabel;
    auto* bar = new SlideBar;
    bar->setAccessibleName("Level");
    bar->setMax(9);
    bar->setThumbStyle(tsSquare1);
    bar->setFixedSize(160, 20);
    QObject::connect(bar, &SlideBar::OnChange, level,
                     [bar, level] { level->setText(QString("Level %1").arg(bar->Position())); });
    bar->setPosition(9);
    auto* vertical = new SlideBar;
    vertical->setAccessibleName("Vertical sample");
    vertical->setMin(0);
    vertical->setMax(20);
    vertical->setThumbStyle(tsDiamond1);
    vertical->setStyle(bsRaised);
    vertical->setThickness(3);
    vertical->setFixedSize(24, 90);
    vertical->setPosition(12);
    sl->addWidget(bar);
    sl->addWidget(level);
    sl->addWidget(vertical);
    sl->addStretch();
    right->addWidget(boxed("Slide bars", sliders));
    right->addWidget(boxed("Colour-rule memo", makeMemo()), 2);
    outer->addLayout(right, 1);
    window->resize(900, 700);
    return window;
}

}  // namespace kelp::gallery
