#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class QIODevice;

namespace brintale {

// The whole file as text, read to its end: "" for no file, "empty file" for 0 bytes, UTF-16
// behind a byte-order mark, otherwise UTF-8 when valid, else Windows-1252; the mark itself is
// dropped. Throws Failure when the file exists but cannot be read (a folder the user may not
// enter included) or loaded in the memory left (see LargestLoadableFile).
QString ReadTextFile(const QString& path);

// The decoding of ReadTextFile on bytes already read: FF FE gives UTF-16 little-endian and
// FE FF big-endian, an odd last byte as one U+FFFD; otherwise valid UTF-8, else one
// Windows-1252 character per byte. A byte-order mark (FF FE, FE FF, EF BB BF) is dropped; a
// U+FEFF further on is kept. Every control character is kept. Throws std::bad_alloc when
// memory runs out.
QString DecodeText(QByteArrayView bytes);

// The character that Windows-1252 gives for byte b; the five bytes it leaves undefined give
// the C1 control of the same value.
char16_t Windows1252ToUnicode(unsigned char b);

// Everything that device yields up to its end (a file, a pipe, standard input); name is
// used in failure descriptions, expected is the size to make room for at first. Throws
// Failure when it cannot be read or held.
QByteArray ReadAllBytes(QIODevice& device, const QString& name, quint64 expected = 0);

}  // namespace brintale
