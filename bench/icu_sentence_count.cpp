// The peer of brintale-count --count: reads a file, decodes its UTF-8 and counts the
// sentences that ICU's sentence BreakIterator finds (root locale), as a program would that
// used ICU for the job. Usage: icu-sentence-count FILE
#include <fcntl.h>
#include <sys/stat.h>
#include <unicode/brkiter.h>
#include <unicode/ustring.h>
#include <unicode/utext.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: icu-sentence-count FILE\n");
        return 2;
    }
    const int fd = ::open(argv[1], O_RDONLY);
    struct stat status {};
    if (fd < 0 || ::fstat(fd, &status) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    std::vector<char> bytes(static_cast<std::size_t>(status.st_size));
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    ::close(fd);
    // ICU's strings hold at most 2^31 - 1 units: a larger text is counted in parts, cut
    // after a line feed.
    UErrorCode status16 = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> sentences(
        icu::BreakIterator::createSentenceInstance(icu::Locale::getRoot(), status16));
    if (U_FAILURE(status16)) return 1;
    long long count = 0;
    constexpr std::size_t kPart = std::size_t(1) << 30;
    std::vector<UChar> units;
    for (std::size_t from = 0; from < bytes.size();) {
        std::size_t to = std::min(bytes.size(), from + kPart);
        while (to < bytes.size() && bytes[to - 1] != '\n') --to;
        if (to == from) to = std::min(bytes.size(), from + kPart);
        units.resize(to - from + 1);
        int32_t length = 0;
        UErrorCode status = U_ZERO_ERROR;
        u_strFromUTF8WithSub(units.data(), int32_t(units.size()), &length, bytes.data() + from,
                             int32_t(to - from), 0xFFFD, nullptr, &status);
        UText* text = utext_openUChars(nullptr, units.data(), length, &status);
        sentences->setText(text, status);
        if (U_FAILURE(status)) return 1;
        for (int32_t p = sentences->first(); (p = sentences->next()) != icu::BreakIterator::DONE;)
            ++count;
        utext_close(text);
        from = to;
    }
    std::printf("%lld\n", count);
    return 0;
}
