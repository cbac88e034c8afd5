#!/usr/bin/env python3
"""Writes archives whose names are stored as Windows tools store them: in the
code page of the computer that made them, without the UTF-8 flag, host byte
0 (FAT). Per code page one archive with many names and one per short name;
then archives of UTF-8 names without the flag (composed and decomposed) and
of ASCII names, which must come out unchanged. The folder gets `cases.tsv`:
one archive a line, its kind (page; exact: a page archive that must come out
right on its own; utf8, ascii, or chosen: read with -O),
the code page, then the names as they must be listed, tab-separated.

    make_codepage_archives.py OUTDIR
"""
import os
import sys
import unicodedata
import zipfile

# Names people give files, per language.
WORDS = {
    "ru": ["Отчёт за год.txt", "Договор аренды.doc", "Фотографии/Лето на даче.jpg", "Письмо директору.txt",
           "Счёт-фактура №15.pdf", "Презентация проекта.pptx", "Список покупок.txt", "Документы/Паспорт.pdf",
           "Бухгалтерия/Зарплата март.xls", "Новая папка/", "Резюме Иванова.docx", "Музыка/Кино - Группа крови.mp3"],
    "ja": ["報告書.txt", "会議の議事録.docx", "写真/夏休み.jpg", "新しいフォルダー/", "見積書_2023年.xlsx",
           "プレゼンテーション.pptx", "契約書.pdf", "音楽/さくら.mp3", "データ/売上集計.csv", "説明書.txt",
           "テスト.txt", "東京旅行/地図.png"],
    "zh": ["报告.txt", "会议记录.docx", "照片/春节.jpg", "新建文件夹/", "财务报表2023.xlsx", "项目计划书.pptx",
           "合同.pdf", "音乐/月亮代表我的心.mp3", "数据/销售统计.csv", "说明书.txt", "工作总结.doc", "学习资料/数学.pdf"],
    "zh_TW": ["報告.txt", "會議記錄.docx", "照片/春節.jpg", "新增資料夾/", "財務報表2023.xlsx", "專案計畫書.pptx",
              "合約.pdf", "音樂/月亮代表我的心.mp3", "資料/銷售統計.csv", "說明書.txt", "工作總結.doc", "學習資料/數學.pdf"],
    "ko": ["보고서.txt", "회의록.docx", "사진/여름 휴가.jpg", "새 폴더/", "견적서_2023.xlsx", "발표 자료.pptx",
           "계약서.pdf", "음악/아리랑.mp3", "데이터/매출 집계.csv", "설명서.txt", "업무 일지.hwp", "문서/이력서.doc"],
    "el": ["Αναφορά.txt", "Συμβόλαιο ενοικίασης.doc", "Φωτογραφίες/Διακοπές.jpg", "Νέος φάκελος/",
           "Τιμολόγιο 2023.pdf", "Παρουσίαση έργου.pptx", "Λίστα αγορών.txt", "Έγγραφα/Διαβατήριο.pdf",
           "Μουσική/Τραγούδι.mp3", "Βιογραφικό.docx", "Σημειώσεις.txt", "Οδηγίες χρήσης.pdf"],
    "he": ["דוח שנתי.txt", "חוזה שכירות.doc", "תמונות/חופשה.jpg", "תיקייה חדשה/", "חשבונית 2023.pdf",
           "מצגת.pptx", "רשימת קניות.txt", "מסמכים/דרכון.pdf", "מוזיקה/שיר.mp3", "קורות חיים.docx",
           "הערות.txt", "הוראות שימוש.pdf"],
    "pl": ["Sprawozdanie roczne.txt", "Umowa najmu.doc", "Zdjęcia/Wakacje nad morzem.jpg", "Nowy folder/",
           "Faktura źródłowa.pdf", "Prezentacja projektu.pptx", "Lista zakupów.txt", "Dokumenty/Paszport.pdf",
           "Księgowość/Wynagrodzenia.xls", "Życiorys.docx", "Zażółć gęślą jaźń.txt", "Muzyka/Piosenka.mp3"],
    "cs": ["Výroční zpráva.txt", "Nájemní smlouva.doc", "Fotografie/Dovolená.jpg", "Nová složka/",
           "Účtenka 2023.pdf", "Přehled výdajů.xlsx", "Seznam nákupů.txt", "Dokumenty/Cestovní pas.pdf",
           "Hudba/Píseň.mp3", "Životopis.docx", "Poznámky k řízení.txt", "Návod k použití.pdf"],
    "de": ["Jahresbericht für 2023.txt", "Mietvertrag.doc", "Fotos/Urlaub am Meer.jpg", "Neuer Ordner/",
           "Rechnung Nr. 15.pdf", "Präsentation.pptx", "Einkaufsliste.txt", "Dokumente/Führerschein.pdf",
           "Buchhaltung/Gehälter März.xls", "Lebenslauf Müller.docx", "Übersicht.txt", "Musik/Grüße.mp3"],
    "fr": ["Rapport annuel.txt", "Contrat de location.doc", "Photos/Été à la mer.jpg", "Nouveau dossier/",
           "Facture réglée.pdf", "Présentation du projet.pptx", "Liste de courses.txt", "Documents/Carte d'identité.pdf",
           "Comptabilité/Salaires.xls", "Curriculum vitæ.docx", "Noël en famille.txt", "Musique/Chanson française.mp3"],
}

# Code page, the language its names are in; the OEM and ANSI page of each.
PAGES = [
    ("CP866", "ru"), ("CP1251", "ru"), ("CP932", "ja"), ("CP936", "zh"), ("CP950", "zh_TW"),
    ("CP949", "ko"), ("CP737", "el"), ("CP1253", "el"), ("CP862", "he"), ("CP1255", "he"),
    ("CP852", "pl"), ("CP1250", "pl"), ("CP852", "cs"), ("CP1250", "cs"), ("CP850", "de"),
    ("CP1252", "de"), ("CP850", "fr"), ("CP1252", "fr"), ("CP437", "de"),
]

# Short single names: one word, as a folder of downloads holds them.
SHORT = {
    "ru": ["Отчёт.doc", "Лето.jpg", "Письмо.txt", "Музыка/"],
    "ja": ["写真.jpg", "資料.pdf", "テスト.txt", "メモ.txt"],
    "zh": ["报告.doc", "照片.jpg", "文件.txt", "资料/"],
    "zh_TW": ["報告.doc", "照片.jpg", "檔案.txt", "資料/"],
    "ko": ["사진.jpg", "문서.doc", "메모.txt", "음악/"],
    "el": ["Αναφορά.doc", "Φωτογραφία.jpg", "Σημειώσεις.txt", "Μουσική/"],
    "he": ["דוח.doc", "תמונה.jpg", "מכתב.txt", "מוזיקה/"],
    "pl": ["Zdjęcie.jpg", "Księga.doc", "Życiorys.txt", "Piosenki/"],
    "cs": ["Účet.doc", "Přehled.txt", "Píseň.mp3", "Složka/"],
    "de": ["Übersicht.doc", "Grüße.jpg", "Straße.txt", "Bücher/"],
    "fr": ["Été.jpg", "Noël.doc", "Reçu.txt", "Théâtre/"],
}

UTF8 = ["Отчёт.txt", "報告書.txt", "Café crème.txt", "Ελληνικά/Αρχείο.txt", "דוח.txt", "사진.jpg"]
ASCII = ["readme.txt", "docs/report 2023.pdf", "photos/", "a~b!c.txt"]


class RawNameInfo(zipfile.ZipInfo):
    """A member whose name (the stored bytes decoded as cp437) is written
    back as those bytes, without the UTF-8 flag zipfile would set."""

    def _encodeFilenameFlags(self):
        return self.filename.encode("cp437"), self.flag_bits & ~0x800


def write_raw(path, raw_names):
    """Stores each name's bytes as they are, host byte 0 (FAT), as Windows
    tools write."""
    with zipfile.ZipFile(path, "w") as z:
        for raw in raw_names:
            info = RawNameInfo(raw.decode("cp437"), date_time=(2023, 5, 1, 12, 0, 0))
            info.create_system = 0
            info.external_attr = 0x10 if raw.endswith(b"/") else 0x20
            z.writestr(info, b"" if raw.endswith(b"/") else b"data of " + raw)


def write_utf8_unflagged(path, names):
    with zipfile.ZipFile(path, "w") as z:
        for n in names:
            info = RawNameInfo(n.encode("utf-8").decode("cp437"), date_time=(2023, 5, 1, 12, 0, 0))
            info.create_system = 0
            z.writestr(info, b"" if n.endswith("/") else n.encode("utf-8"))


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    lines = []
    for page, language in PAGES:
        tag = page.lower() + "-" + language
        sets = [("many", WORDS[language])] + [("short%d" % i, [w]) for i, w in enumerate(SHORT[language])]
        for label, names in sets:
            archive = "%s-%s.zip" % (tag, label)
            write_raw(os.path.join(out, archive), [n.encode(page) for n in names])
            lines.append("\t".join([archive, "page", page] + names))
    for form in ("NFC", "NFD"):
        names = [unicodedata.normalize(form, n) for n in UTF8]
        archive = "utf8-unflagged-%s.zip" % form.lower()
        write_utf8_unflagged(os.path.join(out, archive), names)
        lines.append("\t".join([archive, "utf8", ""] + names))
    # -O names the page: a Russian archive read as CP1251 instead of its CP866,
    # and a Japanese one as CP936.
    for page, language, chosen in (("CP866", "ru", "CP1251"), ("CP932", "ja", "CP936")):
        archive = "%s-%s-many.zip" % (page.lower(), language)
        names = [n.encode(page).decode(chosen, errors="replace") for n in WORDS[language]]
        lines.append("\t".join([archive, "chosen", chosen] + names))
    # "рВА" in CP866 is E0 82 80, the overlong 3-byte form of U+0080: a name
    # of such letters and ASCII must not pass for UTF-8.
    names = WORDS["ru"] + ["photo рВА.jpg"]
    write_raw(os.path.join(out, "cp866-ru-overlong.zip"), [n.encode("CP866") for n in names])
    lines.append("\t".join(["cp866-ru-overlong.zip", "exact", "CP866"] + names))
    write_raw(os.path.join(out, "ascii.zip"), [n.encode("ascii") for n in ASCII])
    lines.append("\t".join(["ascii.zip", "ascii", ""] + ASCII))
    with open(os.path.join(out, "cases.tsv"), "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
