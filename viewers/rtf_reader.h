// A small reader of rich text (RTF): paragraphs, line breaks, tabs, bold,
// italic, underline and font sizes, with the document's special characters
// (\'hh in the Windows Western code page, \uN), turned into HTML for a text
// view. Tables, pictures, fonts and colours are left out.
#pragma once

#include <QByteArray>
#include <QString>

namespace kelp::media {

// True when the bytes begin as a rich-text document ("{\rtf").
bool IsRichText(const QByteArray& bytes);

QString RtfToHtml(const QByteArray& rtf);

}  // namespace kelp::media
