// Colour rules of the colour-rule memo: what a rule looks for (keywords,
// begin/end pairs, line-end markers or stretches an event supplies), how its
// lists compile into tables, and the colour-text parser the lists use.
#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

namespace kelp {

// One coloured stretch. StartPos of the largest int marks an empty entry.
struct KeyDescr {
    std::int32_t StartPos = 0;
    std::int32_t EndPos = 0;
    QColor Color;
    std::uint8_t ZOrder = 0;
    bool IsKey = false;
    bool operator==(const KeyDescr&) const = default;
};

// Priorities the memo uses for itself.
constexpr std::uint8_t kHotSpotTextZ = 252;
constexpr std::uint8_t kHotSpotMarkZ = 253;
constexpr std::uint8_t kSelectionZ = 254;
constexpr std::uint8_t kTabZ = 255;

// Raised for a colour text that is neither a colour name nor a hex number.
class EConvertError : public std::invalid_argument {
  public:
    using std::invalid_argument::invalid_argument;
};

// "RED", "#FF0000", "$FF0000" or "FF0000" → a colour; throws EConvertError.
QColor ParseColor(const QString& text);

enum KeyDrawingType { dtKeyShow, dtEventDraw, dtBeginEnd, dtBeginLineEnd };

struct Marker {
    QString begin;  // at most 6 characters; empty ends the table
    QString end;    // at most 6 characters; empty for line-end markers
    QColor color;
};

struct CompiledKeyword {
    QString text;  // upper-cased unless the rule matches case
    int code = 0;  // 1..41, index + 1 into the colour table
};

class ColorRule {
  public:
    static constexpr int kMaxMarkers = 40;
    static constexpr int kMaxColors = 41;
    static constexpr int kMaxKeyword = 31;

    kelp::KeyDrawingType KeyDrawingType = dtBeginEnd;
    bool KeyCase = false;
    bool PartWord = false;
    bool Enabled = true;
    std::uint8_t ZOrder = 0;
    int KeyMaxHeight = 1;
    QColor DefKeyColor{255, 0, 0};
    QColor KeySelColor{255, 255, 0};
    QColor KeyBrushColor{255, 255, 255};
    QString IntChar;

    // Setting a list stores it and compiles it at once.
    const QStringList& Keywords() const { return keywords_; }
    void setKeywords(const QStringList& l);
    const QStringList& KeyBegEndLst() const { return begEnd_; }
    void setKeyBegEndLst(const QStringList& l);
    const QStringList& KeyLineEndLst() const { return lineEnd_; }
    void setKeyLineEndLst(const QStringList& l);
    // Stores lists without compiling, as rules read from a form arrive.
    void loadLists(const QStringList& keywords, const QStringList& begEnd,
                   const QStringList& lineEnd);

    // Copies every setting and list, then compiles.
    void assign(const ColorRule& other);

    void compileKeywords();
    void compileBegEnd();
    void compileLineEnd();
    // Compiles what this rule's type uses; true when it has any content.
    bool Compile();

    // Compiled tables.
    const QString& pattern() const { return pattern_; }
    const std::vector<QColor>& colorTable() const { return colors_; }
    const std::vector<CompiledKeyword>& keywordTable() const { return keywordTable_; }
    const std::vector<Marker>& markers() const { return markers_; }
    bool hasKeywords() const { return pattern_.trimmed().size() >= 3; }

  private:
    QColor colorOf(const QString& colorText) const;
    QStringList keywords_, begEnd_, lineEnd_;
    QString pattern_ = QStringLiteral("*");
    std::vector<QColor> colors_;
    std::vector<CompiledKeyword> keywordTable_;
    std::vector<Marker> markers_;
};

// The ordered rules of a memo, with the flag that they still need compiling.
class DrawRules {
  public:
    ColorRule& add();
    int count() const { return int(rules_.size()); }
    ColorRule& operator[](int i) { return *rules_.at(i); }
    const ColorRule& operator[](int i) const { return *rules_.at(i); }
    void clear();
    void assign(const DrawRules& other);
    bool needsCompiling() const { return needsCompiling_; }
    // Compiles every rule while the flag is set; a colour error in one list
    // leaves the lines before it compiled and goes on with the next rule.
    void Prepare();

  private:
    std::vector<std::unique_ptr<ColorRule>> rules_;
    bool needsCompiling_ = true;
};

}  // namespace kelp
