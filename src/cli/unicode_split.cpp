#include "cli/unicode_split.h"

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <optional>

#include "cli/text_decoder.h"
#include "core/memory_limits.h"
#include "core/splitter/unicode_sentences.h"

namespace brintale::cli {

namespace {

// The whole source, for the rules that need the whole text.
QByteArray ReadWhole(ByteSource& source, const Tuning& tuning) {
    QByteArray bytes;
    qsizetype used = 0;
    for (;;) {
        if (bytes.size() - used < tuning.blockBytes) {
            const auto wanted =
                static_cast<quint64>(std::max(bytes.size() * 2, used + tuning.blockBytes));
            if (wanted > LargestLoadableFile(CurrentMemoryLimits()) * kLoadBytesPerFileByte / 3)
                throw ReadError{QStringLiteral("%1: too large to hold whole for the Unicode "
                                               "rules in the memory left")
                                    .arg(source.name())};
            bytes.resize(static_cast<qsizetype>(wanted));
        }
        const qsizetype got = source.Read(bytes.data() + used, bytes.size() - used);
        if (got == 0) break;
        used += got;
    }
    bytes.truncate(used);
    return bytes;
}

QString DecodeWhole(QByteArrayView bytes) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    QString text;
    std::optional<StreamDecoder> decoder;
    if (bytes.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        decoder.emplace(Encoding::Utf16LittleEndian);
    } else if (bytes.size() >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
        decoder.emplace(Encoding::Utf16BigEndian);
    } else {
        if (bytes.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF)
            bytes = bytes.sliced(3);
        Utf8Validator validator;
        validator.Feed(bytes);
        decoder.emplace(validator.Finish() ? Encoding::Utf8 : Encoding::Windows1252);
    }
    if (decoder->encoding() == Encoding::Utf16LittleEndian ||
        decoder->encoding() == Encoding::Utf16BigEndian)
        bytes = bytes.sliced(2);
    decoder->Decode(bytes, text);
    decoder->Finish(text);
    return text;
}

// Code points before each of a rising series of positions in UTF-16 units.
class CodePointCursor {
  public:
    explicit CodePointCursor(QStringView text) : text_(text) {}
    std::int64_t At(qsizetype units) {
        if (units < unit_) unit_ = 0, points_ = 0;
        for (; unit_ < units; ++unit_)
            points_ +=
                !(unit_ > 0 && text_[unit_].isLowSurrogate() && text_[unit_ - 1].isHighSurrogate());
        return points_;
    }

  private:
    QStringView text_;
    qsizetype unit_ = 0;
    std::int64_t points_ = 0;
};

}  // namespace

std::int64_t SplitByUnicodeRules(ByteSource& source, const CountSettings& settings,
                                 const Tuning& tuning, SentenceReceiver& receiver) {
    const QByteArray bytes = ReadWhole(source, tuning);
    const QString text = DecodeWhole(bytes);
    if (settings.countOnly) return CountUnicodeSentences(text, settings.abbreviations);
    std::int64_t count = 0;
    CodePointCursor cursor(text);
    SplitUnicodeSentences(text, settings.abbreviations,
                          [&](QString&& sentence, qsizetype start, qsizetype end) {
                              ++count;
                              const std::int64_t s = cursor.At(start), e = cursor.At(end);
                              receiver.Sentence(std::move(sentence), s, e);
                          });
    return count;
}

}  // namespace brintale::cli
