#include "core/splitter/kernels.h"

#include <gtest/gtest.h>

#include <random>

#include "core/settings_store.h"
#include "core/splitter/byte_counter.h"
#include "core/splitter/sentence_stream.h"
#include "core/splitter/splitter.h"
#include "core/splitter/splitter_reference.h"

namespace brintale {
namespace {

// Puts the processor's best kernel back whatever a test chose.
struct KernelRestored {
    ~KernelRestored() { UseKernel(AvailableKernels().back()); }
};

// What each way of counting gives for one text under the kernel in use.
struct Results {
    std::vector<LocatedSentence> located;
    std::size_t count = 0;
    std::int64_t streamed = -1, streamedPoints = -1, bytes = -1;
    std::vector<std::int64_t> pointEnds;
    bool operator==(const Results&) const = default;
    friend void PrintTo(const Results& r, std::ostream* out) {
        *out << r.located.size() << " located, counted " << r.count << ", streamed " << r.streamed
             << " and " << r.streamedPoints << " (" << ::testing::PrintToString(r.pointEnds)
             << "), bytes " << r.bytes;
    }
};

Results CountEveryWay(const QString& text, const QString& separators, const QStringList& entries) {
    Results r;
    r.located = SplitLocatedSentences(text, separators, entries);
    r.count = CountSentences(text, separators, entries);
    struct Ends : SentenceStream::Sink {
        void Sentence(QStringView, std::int64_t, std::int64_t end) override { ends.push_back(end); }
        std::vector<std::int64_t> ends;
    };
    for (const bool codePoints : {false, true}) {
        SentenceStream::Options options;
        options.codePoints = codePoints;
        options.stretchUnits = 97;  // many stretches, none a multiple of a vector
        SentenceStream stream(separators, entries, options);
        Ends ends;
        stream.Feed(text, ends);
        stream.Finish(ends);
        (codePoints ? r.streamedPoints : r.streamed) = stream.count();
        if (codePoints) r.pointEnds = ends.ends;
    }
    if (const auto counter = ByteCounter::For(separators, entries)) {
        counter->ReadAsUtf8();
        counter->Feed(text.toUtf8());
        r.bytes = counter->Finish();
    }
    return r;
}

const QStringList kBits = {"etc.",       "E.G.",
                           "e.g.",       "vs.",
                           "No.",        "a",
                           "word",       "Word ",
                           ".",          "!",
                           "?",          " ",
                           "  ",         "\n",
                           "\r",         "\r\n",
                           "\t",         "3.5",
                           "é",          "\u2014",
                           "\U0001F600", "Abbreviation_0"};

// Texts long enough for whole vectors and blocks and their ends, and the sets of separators
// from one member to more than a vector compares at once.
TEST(Kernels, EveryKernelGivesTheSameSentences) {
    ASSERT_EQ(AvailableKernels().front(), Kernel::Scalar);
    KernelRestored restored;
    const QString separatorSets[] = {
        ".", ".!?\n\t", ". ", "\n", ".!?;:,\u2014\u2026abcdefghijk", QStringLiteral(".\U0001F600")};
    const QStringList lists[] = {{}, kBuiltInAbbreviations, {"e.g.", "g.", "etc."}};
    std::mt19937 random(5);
    const auto below = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    for (int round = 0; round < 120 && !HasFailure(); ++round) {
        QString text;
        for (int k = below(300); k > 0; --k) text += kBits[below(int(kBits.size()))];
        const QString& separators = separatorSets[round % std::size(separatorSets)];
        const QStringList& entries = lists[below(int(std::size(lists)))];
        SCOPED_TRACE(::testing::Message() << "round " << round);
        UseKernel(Kernel::Scalar);
        const Results plain = CountEveryWay(text, separators, entries);
        std::vector<LocatedSentence> expected;
        for (const auto& s : testing::ReferenceSplitLocated(text, separators, entries))
            expected.push_back({s.text, s.start, s.end});
        ASSERT_EQ(plain.located, expected);
        ASSERT_EQ(plain.count, expected.size());
        for (const Kernel kernel : AvailableKernels()) {
            UseKernel(kernel);
            ASSERT_EQ(CountEveryWay(text, separators, entries), plain) << KernelName(kernel);
        }
    }
}

TEST(Kernels, AKernelTheProcessorLacksFallsToTheBestBelow) {
    KernelRestored restored;
    for (const Kernel kernel : {Kernel::Scalar, Kernel::Sse2, Kernel::Avx2}) {
        UseKernel(kernel);
        const std::vector<Kernel> available = AvailableKernels();
        const Kernel expected = std::min(kernel, available.back());
        EXPECT_EQ(detail::ActiveKernel(), expected) << KernelName(kernel);
    }
}

}  // namespace
}  // namespace brintale
