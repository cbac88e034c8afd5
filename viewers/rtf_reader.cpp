#include "rtf_reader.h"

#include <QStringDecoder>

#include <vector>

namespace kelp::media {

namespace {

struct Format {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int halfPoints = 24;
    bool skip = false;  // inside a destination that is not shown
    int unicodeSkip = 1;
    bool operator==(const Format&) const = default;
};

// Destinations whose text is not part of the document body.
bool SkippedDestination(const QByteArray& word) {
    static const char* const kSkipped[] = {
        "fonttbl",     "colortbl",          "stylesheet", "info",      "pict",      "header",
        "footer",      "headerl",           "headerr",    "footerl",   "footerr",   "object",
        "listtable",   "listoverridetable", "rsidtbl",    "generator", "themedata", "datastore",
        "latentstyles"};
    for (const char* s : kSkipped)
        if (word == s) return true;
    return false;
}

class Writer {
  public:
    QString html = "<p>";

    void Text(const QString& s, const Format& f) {
        if (s.isEmpty() || f.skip) return;
        QString style = QString("white-space:pre-wrap;font-size:%1pt;").arg(f.halfPoints / 2.0);
        if (f.bold) style += "font-weight:bold;";
        if (f.italic) style += "font-style:italic;";
        if (f.underline) style += "text-decoration:underline;";
        html += "<span style=\"" + style + "\">" + s.toHtmlEscaped() + "</span>";
    }
    void Paragraph() { html += "</p><p>"; }
    void LineBreak() { html += "<br>"; }
};

}  // namespace

bool IsRichText(const QByteArray& bytes) {
    return bytes.startsWith("{\\rtf");
}

QString RtfToHtml(const QByteArray& rtf) {
    QStringDecoder western("Windows-1252");
    if (!western.isValid()) western = QStringDecoder(QStringDecoder::Latin1);
    Writer out;
    std::vector<Format> stack;
    Format f;
    QByteArray pendingBytes;  // \'hh bytes not yet decoded
    QString text;
    int toSkip = 0;  // characters to drop after a \uN
    auto flush = [&] {
        if (!pendingBytes.isEmpty()) {
            text += western.decode(pendingBytes);
            pendingBytes.clear();
        }
        out.Text(text, f);
        text.clear();
    };
    auto addChar = [&](QChar c) {
        if (toSkip > 0) {
            --toSkip;
            return;
        }
        if (!pendingBytes.isEmpty()) {
            text += western.decode(pendingBytes);
            pendingBytes.clear();
        }
        text += c;
    };

    const int n = int(rtf.size());
    for (int i = 0; i < n;) {
        const char c = rtf[i];
        if (c == '{') {
            flush();
            stack.push_back(f);
            ++i;
        } else if (c == '}') {
            flush();
            if (!stack.empty()) {
                f = stack.back();
                stack.pop_back();
            }
            ++i;
        } else if (c == '\r' || c == '\n') {
            ++i;
        } else if (c != '\\') {
            addChar(QChar::fromLatin1(c));
            ++i;
        } else if (i + 1 >= n) {
            ++i;
        } else if (rtf[i + 1] == '\'') {
            // \'hh: one byte of the Western code page.
            bool ok = false;
            const int byte = rtf.mid(i + 2, 2).toInt(&ok, 16);
            if (ok && toSkip > 0) {
                --toSkip;
            } else if (ok) {
                pendingBytes += char(byte);
            }
            i += 4;
        } else if (!QChar::isLetter(uchar(rtf[i + 1]))) {
            // Control symbols.
            const char s = rtf[i + 1];
            if (s == '\\' || s == '{' || s == '}')
                addChar(QChar::fromLatin1(s));
            else if (s == '~')
                addChar(QChar(0xA0));
            else if (s == '*') {
                flush();
                f.skip = true;
            } else if (s == '\n' || s == '\r') {
                flush();
                out.Paragraph();
            }
            i += 2;
        } else {
            int j = i + 1;
            while (j < n && QChar::isLetter(uchar(rtf[j]))) ++j;
            const QByteArray word = rtf.mid(i + 1, j - i - 1);
            int k = j;
            if (k < n && rtf[k] == '-') ++k;
            while (k < n && rtf[k] >= '0' && rtf[k] <= '9') ++k;
            const bool hasParam = k > j && !(k == j + 1 && rtf[j] == '-');
            const int param = hasParam ? rtf.mid(j, k - j).toInt() : 0;
            if (k < n && rtf[k] == ' ') ++k;  // the delimiting blank belongs to the word
            i = k;

            Format next = f;
            if (word == "par") {
                flush();
                if (!f.skip) out.Paragraph();
            } else if (word == "line") {
                flush();
                if (!f.skip) out.LineBreak();
            } else if (word == "tab") {
                addChar('\t');
            } else if (word == "b") {
                next.bold = !hasParam || param != 0;
            } else if (word == "i") {
                next.italic = !hasParam || param != 0;
            } else if (word == "ul") {
                next.underline = !hasParam || param != 0;
            } else if (word == "ulnone") {
                next.underline = false;
            } else if (word == "fs" && hasParam && param > 0 && param < 2000) {
                next.halfPoints = param;
            } else if (word == "plain") {
                next.bold = next.italic = next.underline = false;
                next.halfPoints = 24;
            } else if (word == "uc" && hasParam) {
                next.unicodeSkip = std::max(0, param);
            } else if (word == "u" && hasParam) {
                addChar(QChar(ushort(param < 0 ? param + 65536 : param)));
                toSkip = f.unicodeSkip;
            } else if (SkippedDestination(word)) {
                flush();
                next.skip = true;
            }
            if (!(next == f)) {
                flush();
                f = next;
            }
        }
    }
    flush();
    return out.html + "</p>";
}

}  // namespace kelp::media
