#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include "documents/text_out.h"

namespace brintale::documents {

// The text of an HTML or XHTML document as a browser shows it: blocks end a line, <br> breaks
// one, white space collapses outside <pre>; the head, scripts, styles, comments and hidden
// elements are left out. Any byte sequence is read; nothing is ever fetched.
void ReadHtml(ByteStream& stream, TextOut& out);

// Replaces character references (&amp; &#233; &#xE9; and the common named ones) in text;
// an unknown or unfinished reference stays as it stands.
void AppendDecodedEntities(QStringView text, QString& out);

// The encoding named by a <meta charset> or a byte-order mark in the first bytes, else UTF-8.
QByteArray SniffHtmlEncoding(QByteArrayView head);

}  // namespace brintale::documents
