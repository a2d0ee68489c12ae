#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

namespace brintale::cli {

// Appends text as UTF-8; an unpaired surrogate becomes U+FFFD.
void AppendUtf8(QStringView text, QByteArray& out);
// The same into room for 3 * text.size() bytes; returns the end written.
char* Utf8Into(QStringView text, char* out);

// Appends text as the body of a JSON string (no quotes): quotes, backslashes and every
// control character (C0, DEL, C1) escaped, U+2028 and U+2029 too, unpaired surrogates as U+FFFD;
// valid UTF-8.
void AppendJsonString(QStringView text, QByteArray& out);

// The same for text in valid UTF-8, into room for 6 * text.size() bytes; returns the end.
char* JsonUtf8Into(QByteArrayView text, char* out);

// A file name's bytes as a JSON string body: bytes that are not UTF-8 become U+FFFD.
void AppendJsonName(const QByteArray& name, QByteArray& out);

// A file name as a field of the tsv, count and statistics output: its bytes with tab, line
// feed, carriage return and backslash written \t, \n, \r and \\, so that one record stays one
// line; a file named "total" is written "./total", which no total line holds.
void AppendFieldName(const QByteArray& name, QByteArray& out);

// Code points in text: a surrogate pair is one, an unpaired surrogate one as well.
qsizetype CodePoints(QStringView text);

}  // namespace brintale::cli
