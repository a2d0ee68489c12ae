// The floors that brintale-count is measured against: what the plain bytes cost.
//
//   byte-floor FILE          prints the sentences of a UTF-8 FILE, one a line, as
//                            `brintale-count --no-abbreviations FILE` does with the default
//                            separators (".!?", line feed, tab): carriage returns dropped,
//                            leading spaces trimmed, a buffer of spaces before a line feed or
//                            tab no sentence, the line feed or tab itself not printed, the
//                            text after the last separator dropped
//   byte-floor --count FILE  prints how many separator bytes FILE holds
//
// Both read in blocks of 1 MiB and find the bytes that matter 32 (AVX2) or 16 (SSE2) at a
// time. Nothing else is done: no check of the encoding, no abbreviations, no positions.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define FLOOR_X86 1
#endif

namespace {

constexpr std::size_t kBlock = std::size_t(1) << 20;

// The bytes that end a buffer, and the carriage return that the splitter drops.
inline bool Special(unsigned char c) {
    return c == '.' || c == '!' || c == '?' || c == '\n' || c == '\t' || c == '\r';
}
inline bool Separator(unsigned char c) { return Special(c) && c != '\r'; }

[[noreturn]] void Fail(const char* what, const char* name) {
    std::fprintf(stderr, "byte-floor: %s %s: %s\n", what, name, std::strerror(errno));
    std::exit(1);
}

std::size_t ReadBlock(int fd, char* to, const char* name) {
    std::size_t got = 0;
    while (got < kBlock) {
        const ssize_t n = ::read(fd, to + got, kBlock - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) Fail("cannot read", name);
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return got;
}

// One bit per byte of the next 64 that is special (or, for the count, a separator).
using MaskFn = std::uint64_t (*)(const unsigned char*);

std::uint64_t MaskScalar(const unsigned char* p) {
    std::uint64_t m = 0;
    for (int i = 0; i < 64; ++i) m |= std::uint64_t(Special(p[i])) << i;
    return m;
}

#ifdef FLOOR_X86
std::uint64_t MaskSse2(const unsigned char* p) {
    std::uint64_t m = 0;
    for (int k = 0; k < 4; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
        const __m128i hit =
            _mm_or_si128(_mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('.')),
                                                   _mm_cmpeq_epi8(v, _mm_set1_epi8('!'))),
                                      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('?')),
                                                   _mm_cmpeq_epi8(v, _mm_set1_epi8('\n')))),
                         _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\t')),
                                      _mm_cmpeq_epi8(v, _mm_set1_epi8('\r'))));
        m |= std::uint64_t(static_cast<std::uint32_t>(_mm_movemask_epi8(hit)) & 0xFFFF) << (16 * k);
    }
    return m;
}

__attribute__((target("avx2"))) inline __m256i SpecialAvx2(__m256i v, bool withReturn) {
    __m256i hit = _mm256_or_si256(
        _mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('.')),
                        _mm256_cmpeq_epi8(v, _mm256_set1_epi8('!'))),
        _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('?')),
                                        _mm256_cmpeq_epi8(v, _mm256_set1_epi8('\n'))),
                        _mm256_cmpeq_epi8(v, _mm256_set1_epi8('\t'))));
    if (withReturn) hit = _mm256_or_si256(hit, _mm256_cmpeq_epi8(v, _mm256_set1_epi8('\r')));
    return hit;
}

__attribute__((target("avx2"))) std::uint64_t MaskAvx2(const unsigned char* p) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    const auto lo = static_cast<std::uint32_t>(_mm256_movemask_epi8(SpecialAvx2(a, true)));
    const auto hi = static_cast<std::uint32_t>(_mm256_movemask_epi8(SpecialAvx2(b, true)));
    return std::uint64_t(lo) | (std::uint64_t(hi) << 32);
}

// Separator bytes of a block: compares summed per byte lane, folded every 255 rounds.
__attribute__((target("avx2"))) std::uint64_t CountAvx2(const unsigned char* p, std::size_t n) {
    std::uint64_t total = 0;
    std::size_t i = 0;
    while (i + 32 <= n) {
        __m256i lanes = _mm256_setzero_si256();
        for (int round = 0; round < 255 && i + 32 <= n; ++round, i += 32) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
            lanes = _mm256_sub_epi8(lanes, SpecialAvx2(v, false));
        }
        const __m256i sums = _mm256_sad_epu8(lanes, _mm256_setzero_si256());
        total += static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 0)) +
                 static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 1)) +
                 static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 2)) +
                 static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 3));
    }
    for (; i < n; ++i) total += Separator(p[i]);
    return total;
}
#endif

std::uint64_t CountScalar(const unsigned char* p, std::size_t n) {
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < n; ++i) total += Separator(p[i]);
    return total;
}

// The widest kernel the machine has, or the one BYTE_FLOOR_KERNEL names (scalar, sse2 or
// avx2), so that each can be checked against the others on one machine.
enum class Kernel { Scalar, Sse2, Avx2 };

Kernel ChooseKernel() {
    const char* named = std::getenv("BYTE_FLOOR_KERNEL");
    if (named && std::strcmp(named, "scalar") == 0) return Kernel::Scalar;
#ifdef FLOOR_X86
    if (named && std::strcmp(named, "sse2") == 0) return Kernel::Sse2;
    return __builtin_cpu_supports("avx2") ? Kernel::Avx2 : Kernel::Sse2;
#else
    return Kernel::Scalar;
#endif
}

// The sentences, written a buffer at a time; the one still open is kept at the buffer's end.
class Splitter {
  public:
    explicit Splitter(MaskFn mask) : mask_(mask), out_(4 * kBlock) {}

    void Block(const unsigned char* p, std::size_t n) {
        Room(2 * n + 1);
        std::size_t from = 0, base = 0;
        for (; base + 64 <= n; base += 64) {
            for (std::uint64_t m = mask_(p + base); m != 0; m &= m - 1) {
                const std::size_t at = base + static_cast<std::size_t>(__builtin_ctzll(m));
                Close(p, from, at);
                from = at + 1;
            }
        }
        for (std::size_t at = base; at < n; ++at) {
            if (!Special(p[at])) continue;
            Close(p, from, at);
            from = at + 1;
        }
        Copy(p + from, n - from);
    }

    // The text after the last separator is no sentence.
    void Finish() {
        used_ = open_;
        Flush(used_);
    }

  private:
    // The bytes [from, at) and the special byte at `at`.
    void Close(const unsigned char* p, std::size_t from, std::size_t at) {
        Copy(p + from, at - from);
        const unsigned char c = p[at];
        if (c == '\r') return;
        if (c == '\n' || c == '\t') {
            if (leading_) return;  // spaces (or nothing) before it: no sentence
        } else {
            out_[used_++] = static_cast<char>(c);
        }
        out_[used_++] = '\n';
        open_ = used_;
        leading_ = true;
    }

    void Copy(const unsigned char* p, std::size_t n) {
        if (leading_) {
            while (n > 0 && *p == ' ') ++p, --n;
            if (n == 0) return;
            leading_ = false;
        }
        std::memcpy(out_.data() + used_, p, n);
        used_ += n;
    }

    // Makes room for n more bytes, writing out the sentences already closed.
    void Room(std::size_t n) {
        if (out_.size() - used_ >= n) return;
        Flush(open_);
        std::memmove(out_.data(), out_.data() + open_, used_ - open_);
        used_ -= open_;
        open_ = 0;
        if (out_.size() - used_ < n) out_.resize(used_ + n);
    }

    void Flush(std::size_t n) {
        for (std::size_t done = 0; done < n;) {
            const ssize_t w = ::write(1, out_.data() + done, n - done);
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) Fail("cannot write", "standard output");
            done += static_cast<std::size_t>(w);
        }
    }

    MaskFn mask_;
    std::vector<char> out_;
    std::size_t used_ = 0;
    std::size_t open_ = 0;  // where the sentence still open begins
    bool leading_ = true;   // nothing but spaces in the open sentence yet
};

}  // namespace

int main(int argc, char** argv) {
    const bool count = argc == 3 && std::strcmp(argv[1], "--count") == 0;
    if (argc != 2 && !count) {
        std::fprintf(stderr, "usage: byte-floor [--count] FILE\n");
        return 2;
    }
    const char* name = argv[argc - 1];
    const int fd = ::open(name, O_RDONLY);
    if (fd < 0) Fail("cannot open", name);
    std::vector<unsigned char> block(kBlock);
    const Kernel kernel = ChooseKernel();
    if (count) {
        std::uint64_t total = 0;
        while (const std::size_t n = ReadBlock(fd, reinterpret_cast<char*>(block.data()), name)) {
#ifdef FLOOR_X86
            if (kernel == Kernel::Avx2) {
                total += CountAvx2(block.data(), n);
                continue;
            }
#endif
            total += CountScalar(block.data(), n);
        }
        std::printf("%llu\n", static_cast<unsigned long long>(total));
    } else {
        MaskFn mask = MaskScalar;
#ifdef FLOOR_X86
        if (kernel == Kernel::Sse2) mask = MaskSse2;
        if (kernel == Kernel::Avx2) mask = MaskAvx2;
#endif
        Splitter splitter(mask);
        while (const std::size_t n = ReadBlock(fd, reinterpret_cast<char*>(block.data()), name))
            splitter.Block(block.data(), n);
        splitter.Finish();
    }
    ::close(fd);
    return 0;
}
