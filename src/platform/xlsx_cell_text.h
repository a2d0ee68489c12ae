#pragma once

#include <QString>

// A cell's text in the form OOXML carries it.

namespace brintale {

// An .xlsx cell takes at most this many characters.
inline constexpr qsizetype kCellTextMax = 32767;

// The text as libxlsxwriter takes it for a cell's XML: in OOXML's escapes where XML cannot
// carry a character and libxlsxwriter would not escape it, so that the spreadsheet
// application reads back the text unchanged. `escaped` counts the escapes made here.
QString CellText(const QString& text, qsizetype& escaped);

}  // namespace brintale
