#pragma once

#include <QString>

namespace brintale {

// A loaded text as the text box is to hold it. The box makes its own line breaks of a lone
// carriage return, U+2028 and U+2029 and gives every break back as a line feed; here each of
// them goes in as a line feed after an invisible marker, so that it shows as a break and
// TextFromBox gives back the character itself. The few characters the box cannot hold as
// they are (U+FDD0, U+FDD1) and the markers themselves go in marked as well; everything else,
// CR LF included, goes in unchanged.
QString TextForBox(QString text);

// The box's raw text (QTextDocument::toRawText) as the text it stands for: the box's own line
// breaks as line feeds, marked ones as the characters they stand for.
QString TextFromBox(QString raw);

}  // namespace brintale
