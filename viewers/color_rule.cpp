#include "color_rule.h"

namespace kelp {

QColor ParseColor(const QString& text) {
    static const struct {
        const char* name;
        int r, g, b;
    } names[] = {{"BLACK", 0, 0, 0},      {"MAROON", 128, 0, 0},    {"GREEN", 0, 128, 0},
                 {"OLIVE", 128, 128, 0},  {"NAVY", 0, 0, 128},      {"PURPLE", 128, 0, 128},
                 {"TEAL", 0, 128, 128},   {"GRAY", 128, 128, 128},  {"SILVER", 192, 192, 192},
                 {"RED", 255, 0, 0},      {"LIME", 0, 255, 0},      {"YELLOW", 255, 255, 0},
                 {"BLUE", 0, 0, 255},     {"FUCHSIA", 255, 0, 255}, {"AQUA", 0, 255, 255},
                 {"WHITE", 255, 255, 255}};
    const QString t = text.trimmed().toUpper().left(10);
    for (const auto& n : names)
        if (t == QLatin1String(n.name)) return QColor(n.r, n.g, n.b);
    // Written red-green-blue as in web pages: "#FF0000", "$FF0000" or "FF0000".
    QString hex = t;
    const qsizetype hash = hex.indexOf(QLatin1Char('#'));
    if (hash >= 0) hex.remove(hash, 1);
    if (!hex.contains(QLatin1Char('$'))) hex.prepend(QLatin1Char('$'));
    bool ok = false;
    const qlonglong v = hex.startsWith(QLatin1Char('$')) ? hex.mid(1).toLongLong(&ok, 16) : 0;
    if (!ok || hex.mid(1).startsWith(QLatin1Char('-')) || hex.mid(1).startsWith(QLatin1Char('+')))
        throw EConvertError("'" + hex.toStdString() + "' is not a valid integer value");
    return QColor(int((v >> 16) & 0xFF), int((v >> 8) & 0xFF), int(v & 0xFF));
}

QColor ColorRule::colorOf(const QString& colorText) const {
    return colorText.trimmed().isEmpty() ? DefKeyColor : ParseColor(colorText);
}

void ColorRule::setKeywords(const QStringList& l) {
    keywords_ = l;
    compileKeywords();
}

void ColorRule::setKeyBegEndLst(const QStringList& l) {
    begEnd_ = l;
    compileBegEnd();
}

void ColorRule::setKeyLineEndLst(const QStringList& l) {
    lineEnd_ = l;
    compileLineEnd();
}

void ColorRule::loadLists(const QStringList& keywords, const QStringList& begEnd,
                          const QStringList& lineEnd) {
    keywords_ = keywords;
    begEnd_ = begEnd;
    lineEnd_ = lineEnd;
}

void ColorRule::assign(const ColorRule& o) {
    KeyDrawingType = o.KeyDrawingType;
    ZOrder = o.ZOrder;
    KeyMaxHeight = o.KeyMaxHeight;
    KeyCase = o.KeyCase;
    Enabled = o.Enabled;
    PartWord = o.PartWord;
    DefKeyColor = o.DefKeyColor;
    KeyBrushColor = o.KeyBrushColor;
    loadLists(o.keywords_, o.begEnd_, o.lineEnd_);
    Compile();
}

void ColorRule::compileKeywords() {
    pattern_ = QStringLiteral("*");
    colors_.clear();
    keywordTable_.clear();
    int previousCode = 1;
    for (const QString& line : keywords_) {
        if (line.trimmed().isEmpty()) continue;
        const qsizetype semi = line.indexOf(QLatin1Char(';'));
        QString keyword = semi < 0 ? line : line.left(semi);
        const QColor color = colorOf(semi < 0 ? QString() : line.mid(semi + 1));
        if (keyword.trimmed().isEmpty()) continue;
        // Longer keywords do not fit the search buffer; they are cut.
        keyword = keyword.left(kMaxKeyword);
        if (!KeyCase)
            for (QChar& c : keyword)
                if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) c = QChar(c.unicode() - 32);
        int code;
        const auto found = std::find(colors_.begin(), colors_.end(), color);
        if (found != colors_.end()) {
            code = int(found - colors_.begin()) + 1;
        } else if (int(colors_.size()) < kMaxColors) {
            colors_.push_back(color);
            code = int(colors_.size());
        } else {
            code = previousCode;  // a full table: the previous keyword's colour
        }
        previousCode = code;
        pattern_ += keyword + QStringLiteral("*+") + QChar(code) + QLatin1Char('*');
        keywordTable_.push_back({keyword, code});
    }
}

void ColorRule::compileBegEnd() {
    markers_.clear();
    for (int i = 0; i < begEnd_.size() && i < kMaxMarkers; ++i) {
        const QString& line = begEnd_[i];
        const qsizetype semi = line.indexOf(QLatin1Char(';'));
        if (semi < 1) break;  // an unusable line ends the table
        const QString rest = line.mid(semi + 1);
        const qsizetype semi2 = rest.indexOf(QLatin1Char(';'));
        Marker m;
        m.begin = line.left(semi).left(6);
        m.end = (semi2 < 0 ? rest : rest.left(semi2)).left(6);
        m.color = colorOf(semi2 < 0 ? QString() : rest.mid(semi2 + 1));
        markers_.push_back(m);
    }
}

void ColorRule::compileLineEnd() {
    markers_.clear();
    for (int i = 0; i < lineEnd_.size() && i < kMaxMarkers; ++i) {
        const QString& line = lineEnd_[i];
        const qsizetype semi = line.indexOf(QLatin1Char(';'));
        QString marker, colorText;
        if (semi >= 1) {
            marker = line.left(semi), colorText = line.mid(semi + 1);
        } else if (line.startsWith(QLatin1String(";;"))) {
            marker = QStringLiteral(";"), colorText = line.mid(2);
        } else {
            marker = line;
        }
        if (marker.isEmpty()) break;  // an empty line ends the table
        markers_.push_back({marker.left(6), QString(), colorOf(colorText)});
    }
}

bool ColorRule::Compile() {
    compileBegEnd();
    if (KeyDrawingType == dtKeyShow) compileKeywords();
    if (KeyDrawingType == dtBeginLineEnd) compileLineEnd();
    return !begEnd_.isEmpty() || (KeyDrawingType == dtKeyShow && !keywords_.isEmpty()) ||
           (KeyDrawingType == dtBeginLineEnd && !lineEnd_.isEmpty());
}

ColorRule& DrawRules::add() {
    rules_.push_back(std::make_unique<ColorRule>());
    needsCompiling_ = true;
    return *rules_.back();
}

void DrawRules::clear() {
    rules_.clear();
}

void DrawRules::assign(const DrawRules& other) {
    rules_.clear();
    for (const auto& r : other.rules_) add().assign(*r);
}

void DrawRules::Prepare() {
    if (!needsCompiling_) return;
    bool content = false;
    for (auto& r : rules_) {
        try {
            content = r->Compile() || content;
        } catch (const EConvertError&) {
            // The lines before the bad colour stay compiled; the rule colours with them.
            content = true;
        }
    }
    if (content) needsCompiling_ = false;
}

}  // namespace kelp
