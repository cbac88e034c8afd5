// View > "Name encoding": the user's code page for one archive changes how
// its names are listed, and extracting and deleting by the rows' records
// still reach exactly those members through both libraries.
#include <QListWidget>
#include <QTest>

#include "app_fixture.h"
#include "name_encoding_dlg.h"

using namespace apptest;
using kelp::Main_sc;

namespace {

constexpr const char* kCyrillic[] = {"Отчёт за год.txt", "Договор аренды.doc",
                                     "Письмо директору.txt"};

class NameEncodingTest : public AppTest {
  protected:
    // Names in CP866 bytes, host FAT, no UTF-8 flag: as Windows writes them.
    std::string RussianArchive() {
        return MakeZip(
            "ru.zip",
            "class Raw(zipfile.ZipInfo):\n"
            "    def _encodeFilenameFlags(self):\n"
            "        return self.filename.encode('cp437'), self.flag_bits & ~0x800\n"
            "for n in ['Отчёт за год.txt','Договор аренды.doc','Письмо директору.txt','a.txt']:\n"
            "    i = Raw(n.encode('cp866').decode('cp437'), date_time=(2024, 1, 2, 3, 4, 6))\n"
            "    i.create_system = 0\n"
            "    i.compress_type = zipfile.ZIP_DEFLATED\n"
            "    z.writestr(i, n.encode())");
    }
    // How CP1251 reads the CP866 bytes of `name`.
    static QString AsCp1251(const char* name) {
        const auto r =
            fixtures::RunShell(std::string("python3 -c \"import sys; sys.stdout.write('") + name +
                               "'.encode('cp866').decode('cp1251'))\"");
        return QString::fromStdString(r.out);
    }
    // The grid's member names (or `names` and "a.txt"), sorted.
    static QStringList Listed(const Main_sc& w) {
        QStringList names;
        for (int r = 1; r < w.memberGrid->RowCount(); ++r) names << w.MemberPath(r);
        names.sort();
        return names;
    }
    static QStringList WithAscii(QStringList names) {
        names << "a.txt";
        names.sort();
        return names;
    }
    // Chooses `row` of the encodings (0 = Automatic) from the View menu; gives
    // the names the preview showed for it.
    QStringList Choose(Main_sc& w, int row) {
        QStringList preview;
        ModalAnswerer boxes;
        boxes.dialogs.push_back([&](QDialog* d) {
            auto* dlg = qobject_cast<kelp::NameEncodingDlg*>(d);
            ASSERT_NE(dlg, nullptr);
            dlg->encodings()->setCurrentRow(row);
            for (int i = 0; i < dlg->preview()->count(); ++i)
                preview << dlg->preview()->item(i)->text();
            QTest::keyClick(dlg->encodings(), Qt::Key_Return);  // OK is the default
        });
        MenuItem(MainMenu(w, "&View"), "Name &encoding...")->trigger();
        EXPECT_EQ(boxes.dialogsShown.size(), 1u);
        preview.sort();
        return preview;
    }
};

TEST_F(NameEncodingTest, AChosenCodePageRelistsAndActionsStillReachTheMembers) {
    const std::string archive = RussianArchive();
    Main_sc& w = Start({Q(archive)});
    QStringList detected;
    for (const char* n : kCyrillic) detected << QString::fromUtf8(n);
    detected.sort();
    ASSERT_EQ(Listed(w), WithAscii(detected));

    // The CP1251 row of the list: the preview and then the grid read the bytes so.
    int cp1251 = -1;
    const auto choices = kelp::zip::CandidateCharsets();
    for (size_t i = 0; i < choices.size(); ++i)
        if (choices[i].charset == "CP1251") cp1251 = static_cast<int>(i) + 1;
    QStringList asCp1251;
    for (const char* n : kCyrillic) asCp1251 << AsCp1251(n);
    asCp1251.sort();
    EXPECT_EQ(Choose(w, cp1251), asCp1251);
    EXPECT_EQ(Listed(w), WithAscii(asCp1251));

    // Extracting (the unzip library) and deleting (the zip library) by record.
    int row = 1;
    while (row < w.memberGrid->RowCount() && w.MemberPath(row) != AsCp1251(kCyrillic[0])) ++row;
    EXPECT_EQ(fixtures::ReadFile(w.ExtractForViewing(row).toStdString()), kCyrillic[0]);
    SelectRows(w, {row});
    {
        ModalAnswerer boxes;
        boxes.buttons = {QMessageBox::Yes};
        w.memberGrid->setFocus();
        QTest::keyClick(w.memberGrid, Qt::Key_Delete);
        EXPECT_EQ(boxes.texts.size(), 1u);  // the question, no error
    }
    EXPECT_EQ(w.memberGrid->RowCount(), 4);

    // Automatic again: the detected reading comes back for what is left.
    detected.removeOne(QString::fromUtf8(kCyrillic[0]));
    EXPECT_EQ(Choose(w, 0), detected);
    EXPECT_EQ(Listed(w), WithAscii(detected));
}

}  // namespace
