#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

class QIODevice;

namespace brintale {

// The whole file as text, read to its end: "" for no file, "empty file" for 0 bytes, UTF-16
// behind a byte-order mark, otherwise UTF-8 when valid, else Windows-1252; the mark itself is
// dropped. Throws Failure when the file exists but cannot be read (a folder the user may not
// enter included) or loaded in the memory left (see LargestLoadableFile).
QString ReadTextFile(const QString& path);

// How a file's bytes are read as text. The window and brintale-count decide it alike, by
// ReadByteOrderMark and ReadingWithoutMark; the counter decides it a block at a time.
enum class TextEncoding { Utf16LittleEndian, Utf16BigEndian, Utf8, Windows1252 };

// What the start of a file says of its reading: FF FE chooses UTF-16 little-endian and FE FF
// big-endian; EF BB BF chooses nothing, what follows it is decided as for a file without a
// mark. The mark's `length` bytes are no text.
struct ByteOrderMark {
    std::optional<TextEncoding> encoding;
    qsizetype length = 0;
};
// Told from the first kByteOrderMarkBytes bytes, or all of a shorter file; only a whole
// two-byte mark selects UTF-16, a lone leading FF or FE is a character.
inline constexpr qsizetype kByteOrderMarkBytes = 3;
ByteOrderMark ReadByteOrderMark(QByteArrayView start);

// The reading of the bytes after the mark where no mark chose one: UTF-8 when every one of
// them is well-formed UTF-8 (no sequence cut off at the end), else Windows-1252 for all of
// them, so that a wrongly marked Windows-1252 file loses no character.
constexpr TextEncoding ReadingWithoutMark(bool wellFormedUtf8) {
    return wellFormedUtf8 ? TextEncoding::Utf8 : TextEncoding::Windows1252;
}

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
