#pragma once

#include <QString>
#include <QStringView>
#include <vector>

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

// Where in the box's raw text the character at `offset` of TextFromBox(raw) stands, the
// positions in `skipped` (sorted; characters that stand for nothing) left out.
qsizetype BoxPosition(QStringView raw, const std::vector<qsizetype>& skipped, qsizetype offset);

}  // namespace brintale
