#pragma once

#include <QByteArray>

#include "documents/text_out.h"

namespace brintale::documents {

// The text of a Markdown document as it reads once rendered: a soft line break is a space,
// a hard one a line break; raw HTML, comments and a leading metadata block are left out.
// Long documents are parsed a run of whole blocks at a time.
void ReadMarkdown(ByteStream& stream, TextOut& out);

// Where a run of blocks may end in text: after its last blank line outside a fenced code
// block, or 0 when there is none. fenceOpen carries the state of fences from run to run.
qsizetype MarkdownCut(QByteArrayView text, bool& fenceOpen);

}  // namespace brintale::documents
