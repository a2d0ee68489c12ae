// The splitter against the plain reference of the rules, on texts, separators and lists
// spelled from the fuzzer's bytes in an alphabet that provokes markers and line breaks.

#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "core/failure.h"
#include "core/splitter/splitter.h"
#include "core/splitter/splitter_detail.h"
#include "core/splitter/splitter_reference.h"

namespace {

const char16_t kAlphabet[] = u"Abbreviation_0123456789.!?etcgNOo \n\t\r xÉéßſK\u212a";
constexpr std::size_t kLetters = sizeof(kAlphabet) / sizeof(char16_t) - 1;

const char16_t* const kSeparators[] = {u".!?", u".!?\n", u".!?\n\t", u"",    u" ", u".A",  u"._",
                                       u".1",  u".0",    u".b",      u"\r.", u"x", u".e\n"};

struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    std::uint8_t Next() {
        if (!size) return 0;
        --size;
        return *data++;
    }
    QString Spell(std::size_t length) {
        QString s;
        for (std::size_t k = 0; k < length && size; ++k) s += QChar(kAlphabet[Next() % kLetters]);
        return s;
    }
};

void Require(bool ok) {
    if (!ok) std::abort();
}

template <typename Call>
bool Refused(Call&& call) {
    try {
        call();
    } catch (const brintale::Failure&) {
        return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader in{data, size};
    const QString separators = QString::fromUtf16(kSeparators[in.Next() % std::size(kSeparators)]);
    QStringList entries;
    const int count = in.Next() % 16;
    for (int k = 0; k < count; ++k) entries += in.Spell(in.Next() % 7);
    const QString text = in.Spell(in.size);

    std::optional<QStringList> reference;
    try {
        reference = brintale::testing::ReferenceSplit(text, separators, entries);
    } catch (const brintale::testing::ReferenceRefused&) {
    }
    // A list the reference refuses must be refused by every way of masking, and only then.
    if (!reference) {
        Require(Refused([&] { brintale::SplitSentences(text, separators, entries); }));
        Require(Refused([&] { brintale::CountSentences(text, separators, entries); }));
        Require(Refused([&] { brintale::detail::MaskByPasses(text, entries); }));
        return 0;
    }
    const QStringList& expected = *reference;
    Require(brintale::SplitSentences(text, separators, entries) == expected);
    Require(brintale::CountSentences(text, separators, entries) == std::size_t(expected.size()));
    QStringList byPasses;
    brintale::ScanSentences(brintale::detail::MaskByPasses(text, entries), separators,
                            [&](QString&& s) { byPasses.push_back(s); });
    Require(byPasses == expected);
    return 0;
}
