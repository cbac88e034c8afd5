// Times sorting archive-listing rows by each kind of column: text, date-time
// and numeric, in both directions, through the grid itself.
#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTextStream>

#include <cstdio>

#include "sort_grid.h"

using namespace kelp;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int rows = argc > 1 ? atoi(argv[1]) : 100000;
    const QString dump = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    QRandomGenerator rng(11);
    std::vector<QStringList> data;
    for (int i = 0; i < rows; ++i) {
        const QDateTime t =
            QDateTime(QDate(1995, 1, 1), QTime(0, 0)).addSecs(rng.bounded(900000000));
        data.push_back({QString("     member%1.txt").arg(rng.bounded(rows * 10)), "Text document",
                        t.toString("yyyy/MM/dd hh:mm:ss"), QString::number(rng.bounded(5000000))});
    }
    if (!dump.isEmpty()) {  // the same rows for the peer tool, tab separated
        QFile f(dump);
        f.open(QIODevice::WriteOnly);
        QTextStream out(&f);
        for (const QStringList& r : data) out << r.join('\t') << '\n';
    }
    SortGrid grid;
    grid.setColCount(4);
    grid.gridModel()->setDataRows(std::move(data));
    const struct {
        const char* name;
        int col;
        SortStyleKind style;
    } kinds[] = {{"text", 0, ssAlphabetic},
                 {"date-time", 2, ssDateTime},
                 {"numeric", 3, ssNumeric},
                 {"automatic(numeric)", 3, ssAutomatic}};
    for (const auto& k : kinds) {
        for (SortDirection d : {sdAscending, sdDescending}) {
            SortOptions o;
            o.SortStyle = k.style;
            o.SortDirection = d;
            QElapsedTimer t;
            t.start();
            grid.SortOnColumn(k.col, o);
            std::printf("kelp %-20s %-10s %d rows: %lld ms\n", k.name,
                        d == sdAscending ? "ascending" : "descending", rows, t.elapsed());
        }
    }
    return 0;
}
