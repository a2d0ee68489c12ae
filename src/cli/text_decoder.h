#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <cstdint>

#include "core/text_file.h"

namespace brintale::cli {

// Whether bytes are well-formed UTF-8, told a block at a time; a sequence may be cut
// between two blocks. What ReadingWithoutMark needs to know, for text that comes in blocks.
class Utf8Validator {
  public:
    // False from the first ill-formed byte on.
    bool Feed(QByteArrayView bytes);
    // Whether everything fed was UTF-8, no sequence left open at the end.
    bool Finish() const { return valid_ && needed_ == 0; }
    bool valid() const { return valid_; }
    // Bytes fed before the first ill-formed one (all of them while valid).
    std::int64_t validBytes() const { return validBytes_; }
    // The bytes `rest` was fed, fed after those fed here, which end a character.
    void Then(const Utf8Validator& rest) {
        const std::int64_t before = validBytes_;
        *this = rest;
        validBytes_ += before;
    }

  private:
    bool valid_ = true;
    int needed_ = 0;            // continuation bytes still to come
    unsigned char low_ = 0x80;  // the range the next continuation byte must lie in
    unsigned char high_ = 0xBF;
    std::int64_t validBytes_ = 0;  // up to the start of the open sequence
    int open_ = 0;                 // bytes of the open sequence so far
};

// Turns bytes of one encoding into UTF-16 a block at a time, carrying what a block cuts
// off: half a UTF-16 unit, part of a UTF-8 sequence.
class StreamDecoder {
  public:
    explicit StreamDecoder(TextEncoding encoding);
    TextEncoding encoding() const { return encoding_; }
    // Appends the text of the bytes to out.
    void Decode(QByteArrayView bytes, QString& out);
    // Writes the text of the bytes to out, which has room for RoomFor(bytes) units; returns
    // how many it wrote.
    qsizetype DecodeInto(QByteArrayView bytes, QChar* out);
    qsizetype RoomFor(qsizetype bytes) const { return bytes + 4; }
    // The end: an odd last byte of UTF-16 becomes U+FFFD.
    void Finish(QString& out);

  private:
    TextEncoding encoding_;
    QStringDecoder utf8_;
    int pendingByte_ = -1;  // UTF-16: the first byte of a unit whose second is to come
};

// How many bytes from the start are ASCII.
qsizetype AsciiPrefix(QByteArrayView bytes);

// Windows-1252 of a whole block; what DecodeText does for files that are not UTF-8.
void AppendWindows1252(QByteArrayView bytes, QString& out);
// The same into room for bytes.size() units; returns bytes.size().
qsizetype Windows1252Into(QByteArrayView bytes, QChar* out);

}  // namespace brintale::cli
