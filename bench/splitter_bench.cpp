// Speed and memory of the splitter on about 20 MB of UTF-16 prose, beside ICU's sentence
// iterator over the same buffer and a loop that only counts separator characters.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unicode/brkiter.h>
#include <unicode/utext.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <map>
#include <memory>
#include <string>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "core/splitter/byte_counter.h"
#include "core/splitter/sentence_stream.h"
#include "core/splitter/splitter.h"
#include "splitter_text.h"

// ---------------------------------------------------------------------------------------
// Every allocation of the process (Qt's strings included) goes through here, so that the
// peak beyond a starting point can be read.

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);
}

namespace {
// Counted only while a measurement runs, so that timings pay for no bookkeeping.
std::atomic<bool> tracking{false};
std::atomic<long long> live{0};
std::atomic<long long> peak{0};

void Added(void* p) {
    if (!p || !tracking.load(std::memory_order_relaxed)) return;
    const auto size = (long long)malloc_usable_size(p);
    const long long now = live.fetch_add(size) + size;
    long long seen = peak.load(std::memory_order_relaxed);
    while (now > seen && !peak.compare_exchange_weak(seen, now)) {
    }
}
void Removed(void* p) {
    if (p && tracking.load(std::memory_order_relaxed))
        live.fetch_sub((long long)malloc_usable_size(p));
}
}  // namespace

extern "C" {
void* malloc(size_t n) {
    void* p = __libc_malloc(n);
    Added(p);
    return p;
}
void* calloc(size_t n, size_t size) {
    void* p = __libc_calloc(n, size);
    Added(p);
    return p;
}
void* realloc(void* old, size_t n) {
    const long long before = old && tracking.load() ? (long long)malloc_usable_size(old) : 0;
    void* p = __libc_realloc(old, n);
    if (p || n == 0) {
        live.fetch_sub(before);
        Added(p);
    }
    return p;
}
void free(void* p) {
    Removed(p);
    __libc_free(p);
}
void* memalign(size_t alignment, size_t n) {
    void* p = __libc_memalign(alignment, n);
    Added(p);
    return p;
}
void* aligned_alloc(size_t alignment, size_t n) { return memalign(alignment, n); }
int posix_memalign(void** out, size_t alignment, size_t n) {
    void* p = memalign(alignment, n);
    if (!p) return 12;  // ENOMEM
    *out = p;
    return 0;
}
}

namespace {

using namespace brintale;

const QString kSeparators = QStringLiteral(".!?\n\t");
constexpr qsizetype kUnits = 10 * 1000 * 1000;  // 20 MB of UTF-16

const QString& Text() {
    static const QString text = bench::EnglishLikeText(kUnits);
    return text;
}
const QString& DoubledText() {
    static const QString text = Text() + Text();
    return text;
}
// The same prose with every separator character turned into a comma.
const QString& TextWithoutSeparators() {
    static const QString text = [] {
        QString t = Text();
        for (QChar& c : t)
            if (kSeparators.contains(c)) c = QLatin1Char(',');
        return t;
    }();
    return text;
}

const QStringList& List(int entries) {
    static const QStringList none;
    static const QStringList five = bench::FiveAbbreviations();
    static const QStringList hundred = bench::HundredAbbreviations();
    return entries == 0 ? none : entries == 5 ? five : hundred;
}

// Extra bytes at the peak of one call, per byte of UTF-16 input.
template <typename F>
double PeakExtraPerByte(const QString& text, F&& call) {
    live.store(0);
    peak.store(0);
    tracking.store(true);
    call();
    tracking.store(false);
    return double(peak.load()) / double(text.size() * 2);
}

void SetCommon(benchmark::State& state, const QString& text) {
    state.SetBytesProcessed(int64_t(state.iterations()) * text.size() * 2);
}

// warm: memory freed by the previous call is still the process's, as in a program that has
// counted before; cold: every call starts with it handed back to the system, and pays the
// page faults of a first count.
void Produce(benchmark::State& state, const QString& text, int entries, bool cold = false) {
    const QStringList& list = List(entries);
    qsizetype sentences = 0;
    for (auto _ : state) {
        QStringList result = SplitSentences(text, kSeparators, list);
        sentences = result.size();
        benchmark::DoNotOptimize(result.constData());
        // Freeing the list is the caller's business, timed on its own below.
        state.PauseTiming();
        result = QStringList();
        if (cold) malloc_trim(0);
        state.ResumeTiming();
    }
    SetCommon(state, text);
    state.counters["sentences"] = double(sentences);
    state.counters["extra_B_per_B"] = PeakExtraPerByte(
        text, [&] { benchmark::DoNotOptimize(SplitSentences(text, kSeparators, list)); });
}

void BM_Produce(benchmark::State& state) { Produce(state, Text(), int(state.range(0))); }
BENCHMARK(BM_Produce)->Arg(0)->Arg(5)->Arg(100)->Unit(benchmark::kMillisecond);

// The same list with every sentence's stretch of the text; the ratio to BM_Produce is
// printed at the end.
void BM_ProduceLocated(benchmark::State& state) {
    const QString& text = Text();
    const QStringList& list = List(int(state.range(0)));
    qsizetype sentences = 0;
    for (auto _ : state) {
        std::vector<LocatedSentence> result = SplitLocatedSentences(text, kSeparators, list);
        sentences = qsizetype(result.size());
        benchmark::DoNotOptimize(result.data());
        state.PauseTiming();
        result = {};
        state.ResumeTiming();
    }
    SetCommon(state, text);
    state.counters["sentences"] = double(sentences);
    state.counters["extra_B_per_B"] = PeakExtraPerByte(text, [&] {
        benchmark::DoNotOptimize(SplitLocatedSentences(text, kSeparators, list).data());
    });
}
BENCHMARK(BM_ProduceLocated)->Arg(0)->Arg(5)->Arg(100)->Unit(benchmark::kMillisecond);

// The stream over the same text in pieces of 64 Ki units, every sentence handed out with
// its stretch, in memory that does not grow with the text.
void BM_Stream(benchmark::State& state) {
    const QString& text = Text();
    const QStringList& list = List(int(state.range(0)));
    struct Sink : SentenceStream::Sink {
        void Sentence(QStringView text, std::int64_t, std::int64_t) override {
            benchmark::DoNotOptimize(text.constData());
        }
    } sink;
    std::int64_t sentences = 0;
    for (auto _ : state) {
        SentenceStream stream(kSeparators, list, {});
        for (qsizetype from = 0; from < text.size(); from += 1 << 16)
            stream.Feed(
                QStringView(text).sliced(from, std::min<qsizetype>(1 << 16, text.size() - from)),
                sink);
        stream.Finish(sink);
        sentences = stream.count();
    }
    SetCommon(state, text);
    state.counters["sentences"] = double(sentences);
}
BENCHMARK(BM_Stream)->Arg(0)->Arg(5)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_ProduceDoubled(benchmark::State& state) {
    Produce(state, DoubledText(), int(state.range(0)));
}
BENCHMARK(BM_ProduceDoubled)->Arg(0)->Arg(5)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_ProduceCold(benchmark::State& state) { Produce(state, Text(), int(state.range(0)), true); }
BENCHMARK(BM_ProduceCold)->Arg(0)->Arg(5)->Arg(100)->Unit(benchmark::kMillisecond);
void BM_ProduceColdDoubled(benchmark::State& state) {
    Produce(state, DoubledText(), int(state.range(0)), true);
}
BENCHMARK(BM_ProduceColdDoubled)->Arg(5)->Unit(benchmark::kMillisecond);

// The same with the list freed inside the timing.
void BM_ProduceAndFree(benchmark::State& state) {
    const QStringList& list = List(int(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(SplitSentences(Text(), kSeparators, list).size());
    SetCommon(state, Text());
}
BENCHMARK(BM_ProduceAndFree)->Arg(0)->Arg(5)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_ProduceNoSeparator(benchmark::State& state) {
    Produce(state, TextWithoutSeparators(), int(state.range(0)));
}
BENCHMARK(BM_ProduceNoSeparator)->Arg(5)->Unit(benchmark::kMillisecond);

void Count(benchmark::State& state, const QString& text) {
    const QStringList& list = List(int(state.range(0)));
    std::size_t sentences = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(sentences = CountSentences(text, kSeparators, list));
    SetCommon(state, text);
    state.counters["sentences"] = double(sentences);
    state.counters["extra_B_per_B"] = PeakExtraPerByte(
        text, [&] { benchmark::DoNotOptimize(CountSentences(text, kSeparators, list)); });
}
void BM_Count(benchmark::State& state) { Count(state, Text()); }
BENCHMARK(BM_Count)->Arg(0)->Arg(5)->Arg(100)->Unit(benchmark::kMillisecond);
void BM_CountDoubled(benchmark::State& state) { Count(state, DoubledText()); }
BENCHMARK(BM_CountDoubled)->Arg(5)->Unit(benchmark::kMillisecond);

// The count straight from the UTF-8 bytes, in pieces of half a block as the command line
// reads them, on this thread alone: the kernel that `--count` spends its time in.
void BM_CountBytes(benchmark::State& state) {
    static const QByteArray bytes = Text().toUtf8();
    const QStringList& list = List(int(state.range(0)));
    std::int64_t sentences = 0;
    constexpr qsizetype kPiece = qsizetype(1) << 19;
    for (auto _ : state) {
        const auto counter = ByteCounter::For(kSeparators, list);
        counter->ReadAsUtf8();
        for (qsizetype from = 0; from < bytes.size(); from += kPiece)
            counter->Feed(QByteArrayView(bytes).sliced(
                from, std::min<qsizetype>(kPiece, bytes.size() - from)));
        benchmark::DoNotOptimize(sentences = counter->Finish());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes.size());
    state.counters["sentences"] = double(sentences);
}
BENCHMARK(BM_CountBytes)->Arg(0)->Arg(5)->Arg(100)->Unit(benchmark::kMillisecond);

// Long lists: `entries` distinct ones, or (negative) the five built-in ones repeated to that
// many, made ready inside the timing as a program does for every text. The count straight
// from the UTF-8 bytes, and every sentence through the stream.
const QStringList& LongList(int entries) {
    static std::map<int, QStringList> lists;
    QStringList& list = lists[entries];
    if (list.isEmpty()) {
        if (entries > 0) {
            list = bench::DistinctAbbreviations(entries);
        } else {
            for (int k = 0; k < -entries; ++k) list += bench::FiveAbbreviations()[k % 5];
        }
    }
    return list;
}

double PeakMiB() { return double(peak.load()) / (1 << 20); }

void BM_LongListCount(benchmark::State& state) {
    static const QByteArray bytes = Text().toUtf8();
    const QStringList& list = LongList(int(state.range(0)));
    std::int64_t sentences = 0;
    const auto count = [&] {
        const auto counter = ByteCounter::For(kSeparators, list);
        if (!counter) return std::int64_t(-1);
        counter->ReadAsUtf8();
        for (qsizetype from = 0; from < bytes.size(); from += 1 << 20)
            counter->Feed(QByteArrayView(bytes).sliced(
                from, std::min<qsizetype>(1 << 20, bytes.size() - from)));
        return counter->Finish();
    };
    for (auto _ : state) benchmark::DoNotOptimize(sentences = count());
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes.size());
    state.counters["sentences"] = double(sentences);
    live.store(0), peak.store(0), tracking.store(true);
    count();
    tracking.store(false);
    state.counters["peak_MiB"] = PeakMiB();
}
BENCHMARK(BM_LongListCount)
    ->Arg(5000)
    ->Arg(100000)
    ->Arg(-100000)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

void BM_LongListStream(benchmark::State& state) {
    const QString& text = Text();
    const QStringList& list = LongList(int(state.range(0)));
    struct Sink : SentenceStream::Sink {
        void Sentence(QStringView text, std::int64_t, std::int64_t) override {
            benchmark::DoNotOptimize(text.constData());
        }
    } sink;
    std::int64_t sentences = 0;
    const auto run = [&] {
        SentenceStream stream(kSeparators, list, {});
        for (qsizetype from = 0; from < text.size(); from += 1 << 16)
            stream.Feed(
                QStringView(text).sliced(from, std::min<qsizetype>(1 << 16, text.size() - from)),
                sink);
        stream.Finish(sink);
        return stream.count();
    };
    for (auto _ : state) sentences = run();
    SetCommon(state, text);
    state.counters["sentences"] = double(sentences);
    live.store(0), peak.store(0), tracking.store(true);
    run();
    tracking.store(false);
    state.counters["peak_MiB"] = PeakMiB();
}
BENCHMARK(BM_LongListStream)->Arg(5000)->Arg(100000)->Arg(-100000)->Unit(benchmark::kMillisecond);

// The peer: ICU's sentence iterator counting boundaries over the same buffer, no copy.
void BM_IcuSentences(benchmark::State& state) {
    const QString& text = Text();
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> it(
        icu::BreakIterator::createSentenceInstance(icu::Locale::getUS(), status));
    UText* ut = utext_openUChars(nullptr, reinterpret_cast<const UChar*>(text.utf16()), text.size(),
                                 &status);
    if (U_FAILURE(status)) return state.SkipWithError("ICU could not start");
    it->setText(ut, status);
    long long boundaries = 0;
    for (auto _ : state) {
        boundaries = 0;
        for (int32_t p = it->first(); p != icu::BreakIterator::DONE; p = it->next()) ++boundaries;
        benchmark::DoNotOptimize(boundaries);
    }
    utext_close(ut);
    SetCommon(state, text);
    state.counters["sentences"] = double(boundaries - 1);
}
BENCHMARK(BM_IcuSentences)->Unit(benchmark::kMillisecond);

// The limit: a vectorised loop that only counts separator characters.
#if defined(__x86_64__)
__attribute__((target("avx2"))) long long CountSeparatorUnits(const char16_t* d, long long n) {
    const __m256i s0 = _mm256_set1_epi16('.'), s1 = _mm256_set1_epi16('!'),
                  s2 = _mm256_set1_epi16('?'), s3 = _mm256_set1_epi16('\n'),
                  s4 = _mm256_set1_epi16('\t');
    long long count = 0, i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
        __m256i m = _mm256_or_si256(_mm256_cmpeq_epi16(v, s0), _mm256_cmpeq_epi16(v, s1));
        m = _mm256_or_si256(m, _mm256_cmpeq_epi16(v, s2));
        m = _mm256_or_si256(m,
                            _mm256_or_si256(_mm256_cmpeq_epi16(v, s3), _mm256_cmpeq_epi16(v, s4)));
        count += __builtin_popcount(unsigned(_mm256_movemask_epi8(m)));
    }
    count /= 2;
    for (; i < n; ++i)
        count += d[i] == '.' || d[i] == '!' || d[i] == '?' || d[i] == '\n' || d[i] == '\t';
    return count;
}
#else
long long CountSeparatorUnits(const char16_t* d, long long n) {
    long long count = 0;
    for (long long i = 0; i < n; ++i)
        count += d[i] == '.' || d[i] == '!' || d[i] == '?' || d[i] == '\n' || d[i] == '\t';
    return count;
}
#endif

void BM_SeparatorCountLimit(benchmark::State& state) {
    const QString& text = Text();
    long long count = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(count = CountSeparatorUnits(
                                     reinterpret_cast<const char16_t*>(text.utf16()), text.size()));
    SetCommon(state, text);
    state.counters["separators"] = double(count);
}
BENCHMARK(BM_SeparatorCountLimit)->Unit(benchmark::kMillisecond);

// Prints the figures again as ratios to ICU once every benchmark has run.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (!run.error_occurred && run.counters.count("bytes_per_second")) {
                const double speed = run.counters.at("bytes_per_second");
                speed_[run.benchmark_name()] = speed;
                if (run.run_type == Run::RT_Iteration) {
                    double& best = fastest_[run.benchmark_name()];
                    best = std::max(best, speed);
                }
            }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        // The cost of the stretches: the list with them against the list without, this run.
        // Repeated runs compare their fastest repetitions: on a shared machine the slow ones
        // measure the neighbours, and the medians of two equal programs differ by 20 %.
        const auto speed = [&](const std::string& name) {
            const auto it = fastest_.find(name);
            return it == fastest_.end() ? 0.0 : it->second;
        };
        for (const char* arg : {"0", "5", "100"}) {
            const double with = speed(std::string("BM_ProduceLocated/") + arg);
            const double without = speed(std::string("BM_Produce/") + arg);
            if (with > 0 && without > 0)
                std::printf("positions with %3s abbreviations: %.3f x the time without\n", arg,
                            without / with);
        }
        const auto icu = speed_.find("BM_IcuSentences");
        if (icu == speed_.end()) return;
        std::printf("\n%-32s %12s %10s\n", "benchmark", "MB/s", "x ICU");
        for (const auto& [name, speed] : speed_)
            std::printf("%-32s %12.0f %10.2f\n", name.c_str(), speed / 1e6, speed / icu->second);
    }

  private:
    std::map<std::string, double> speed_;
    std::map<std::string, double> fastest_;
};

}  // namespace

int main(int argc, char** argv) {
    // Keep freed memory in the process whatever the size of the block, so that glibc's moving
    // thresholds do not make one text size warm and the other cold.
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    std::printf("text: %lld UTF-16 units, %lld entries in the long list\n",
                (long long)Text().size(), (long long)List(100).size());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
