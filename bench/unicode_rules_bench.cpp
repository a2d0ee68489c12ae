// The two rule sets on the same text in one run: the count by the user's separators, and the
// reader's count by Unicode's sentence rules (ICU), each with the five built-in abbreviations.
#include <benchmark/benchmark.h>

#include "core/splitter/splitter.h"
#include "core/splitter/unicode_sentences.h"
#include "splitter_text.h"

namespace {

using namespace brintale;

constexpr qsizetype kUnits = 10'000'000;  // 20 MB of UTF-16

const QString& Text() {
    static const QString text = bench::EnglishLikeText(kUnits);
    return text;
}

void Rate(benchmark::State& state) { state.SetBytesProcessed(state.iterations() * kUnits * 2); }

void BM_CountBySeparators(benchmark::State& state) {
    const QString separators = ComposeSeparatorSet(QStringLiteral(".!?"), true, true);
    for (auto _ : state)
        benchmark::DoNotOptimize(CountSentences(Text(), separators, bench::FiveAbbreviations()));
    Rate(state);
}
BENCHMARK(BM_CountBySeparators)->Unit(benchmark::kMillisecond);

void BM_CountByUnicodeRules(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(CountUnicodeSentences(Text(), bench::FiveAbbreviations()));
    Rate(state);
}
BENCHMARK(BM_CountByUnicodeRules)->Unit(benchmark::kMillisecond);

void BM_SentencesByUnicodeRules(benchmark::State& state) {
    for (auto _ : state) {
        qsizetype n = 0;
        SplitUnicodeSentences(Text(), bench::FiveAbbreviations(),
                              [&](QString&& s, qsizetype, qsizetype) { n += s.size(); });
        benchmark::DoNotOptimize(n);
    }
    Rate(state);
}
BENCHMARK(BM_SentencesByUnicodeRules)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
