#include "cli/text_feeder.h"

#include <cstring>
#include <utility>

namespace brintale::cli {

namespace {

bool IsAscii(const QString& text) {
    for (QChar c : text)
        if (c.unicode() >= 0x80) return false;
    return true;
}

}  // namespace

qsizetype TriggerAt(QByteArrayView block, Trigger trigger) {
    const auto* b = reinterpret_cast<const unsigned char*>(block.data());
    const qsizetype n = block.size();
    switch (trigger) {
        case Trigger::None:
            return -1;
        case Trigger::AnyNonAscii: {
            const qsizetype at = AsciiPrefix(block);
            return at < n ? at : -1;
        }
        case Trigger::LongSOrKelvin: {
            // The lead bytes of U+017F (C5 BF) and U+212A (E2 84 AA), each sought again only
            // once passed.
            const auto find = [&](qsizetype from, int byte) {
                const void* p = std::memchr(b + from, byte, static_cast<size_t>(n - from));
                return p ? static_cast<const unsigned char*>(p) - b : n;
            };
            qsizetype c5 = find(0, 0xC5), e2 = find(0, 0xE2);
            while (c5 < n || e2 < n) {
                if (c5 < e2) {
                    if (c5 + 1 == n || b[c5 + 1] == 0xBF) return c5;
                    c5 = find(c5 + 1, 0xC5);
                } else {
                    if (e2 + 1 == n || (b[e2 + 1] == 0x84 && (e2 + 2 == n || b[e2 + 2] == 0xAA)))
                        return e2;
                    e2 = find(e2 + 1, 0xE2);
                }
            }
            return -1;
        }
    }
    return -1;
}

Trigger TriggerFor(const CountSettings& settings) {
    if (!settings.countOnly || !IsAscii(settings.separators)) return Trigger::AnyNonAscii;
    bool foldsFromBeyond = false;
    for (const QString& entry : settings.abbreviations) {
        if (!IsAscii(entry)) return Trigger::AnyNonAscii;
        foldsFromBeyond = foldsFromBeyond || entry.contains(u's', Qt::CaseInsensitive) ||
                          entry.contains(u'k', Qt::CaseInsensitive);
    }
    return foldsFromBeyond ? Trigger::LongSOrKelvin : Trigger::None;
}

void TextFeeder::Feed(QByteArrayView block) {
    const std::int64_t blockOffset = offset_;
    offset_ += block.size();
    if (checking_ && !validator_.Feed(block) && committed_)
        throw ReadError{QStringLiteral("%1: not UTF-8 at byte %2 (a pipe is taken for UTF-8 "
                                       "after its first %3 bytes beyond ASCII; read it "
                                       "from a file to have it read as Windows-1252)")
                            .arg(source_.name())
                            .arg(validator_.validBytes() + base_)
                            .arg(tuning_.holdBytes)};
    switch (state_) {
        case State::Undecided: {
            const qsizetype at = TriggerAt(block, trigger_);
            if (at < 0 || CutOffFalsely(block, at, blockOffset)) return Pass(block);
            Pass(block.first(at));
            if (!validator_.valid()) return Decide(Encoding::Windows1252, block.sliced(at));
            if (source_.CanReadAhead()) {
                // Before the first byte beyond ASCII all is ASCII; before the first
                // letter that folds into it, not so.
                Utf8Validator rest;
                std::int64_t from = trigger_ == Trigger::AnyNonAscii ? blockOffset : base_;
                QByteArray buffer(tuning_.blockBytes, Qt::Uninitialized);
                for (;;) {
                    const qsizetype got = source_.ReadAt(from, buffer.data(), buffer.size());
                    if (got == 0 || !rest.Feed(QByteArrayView(buffer.constData(), got))) break;
                    from += got;
                }
                // Decided for the whole input: nothing needs checking any more.
                checking_ = false;
                return Decide(rest.Finish() ? Encoding::Utf8 : Encoding::Windows1252,
                              block.sliced(at));
            }
            state_ = State::Holding;
            held_ = block.sliced(at).toByteArray();
            return;
        }
        case State::Holding:
            held_ += block;
            if (!validator_.valid()) return Decide(Encoding::Windows1252, {});
            if (held_.size() >= tuning_.holdBytes) {
                committed_ = true;
                return Decide(Encoding::Utf8, {});
            }
            return;
        case State::Decided:
            return Pass(block);
    }
}

void TextFeeder::FeedWhole(QByteArray&& block) {
    if (checking_ || state_ == State::Holding ||
        (state_ == State::Undecided && TriggerAt(block, trigger_) >= 0))
        return Feed(block);
    offset_ += block.size();
    if (!block.isEmpty()) target_.TakeWhole(std::move(block), decoder_ ? &*decoder_ : nullptr);
}

void TextFeeder::Finish() {
    if (state_ == State::Holding)
        Decide(validator_.Finish() ? Encoding::Utf8 : Encoding::Windows1252, {});
    if (committed_ && !validator_.Finish())
        throw ReadError{QStringLiteral("%1: not UTF-8 at its end").arg(source_.name())};
    target_.End(decoder_ ? &*decoder_ : nullptr);
}

bool TextFeeder::CutOffFalsely(QByteArrayView block, qsizetype at, std::int64_t blockOffset) {
    const qsizetype have = block.size() - at;
    const qsizetype need = static_cast<unsigned char>(block[at]) == 0xC5 ? 2 : 3;
    if (trigger_ != Trigger::LongSOrKelvin || have >= need || !source_.CanReadAhead()) return false;
    QByteArray whole = block.sliced(at).toByteArray() + QByteArray(need - have, '\0');
    const qsizetype got =
        source_.ReadAt(blockOffset + block.size(), whole.data() + have, need - have);
    whole.truncate(have + got);
    return got == need - have && TriggerAt(whole, trigger_) < 0;
}

void TextFeeder::Pass(QByteArrayView bytes) {
    if (!bytes.isEmpty()) target_.Take(bytes, decoder_ ? &*decoder_ : nullptr);
}

void TextFeeder::Decide(Encoding encoding, QByteArrayView rest) {
    state_ = State::Decided;
    decoder_.emplace(encoding);
    target_.Decided(encoding);
    if (encoding == Encoding::Windows1252) checking_ = false;
    if (!held_.isEmpty()) {
        const QByteArray held = std::exchange(held_, QByteArray());
        Pass(held);
    }
    Pass(rest);
}

}  // namespace brintale::cli
