// The counter's parts on their own: decoding a block at a time, the reading decided for a
// whole input, the output formats and the order of several files' output.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QProcess>
#include <QStringDecoder>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <random>
#include <string_view>
#include <thread>

#include "cli/byte_source.h"
#include "cli/count_job.h"
#include "cli/ordered_output.h"
#include "cli/output_formats.h"
#include "cli/text_decoder.h"
#include "cli/utf8_output.h"
#include "core/settings_store.h"
#include "core/splitter/byte_splitter.h"
#include "core/splitter/kernels.h"
#include "core/splitter/splitter.h"
#include "core/text_file.h"

namespace brintale::cli {
namespace {

using namespace std::literals;

QByteArray B(std::string_view bytes) { return QByteArray(bytes.data(), qsizetype(bytes.size())); }

// The text as the window's reading gives it; an empty file is no text here, although the
// window shows it as words.
QString WindowText(const QByteArray& bytes) {
    return bytes.isEmpty() ? QString() : DecodeText(bytes);
}

TEST(Utf8Validator, AgreesWithQtOnEveryCutOfRandomBytes) {
    std::mt19937 random(99);
    const char pieces[][5] = {
        "a",        "\xC3\xA9",         "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xED\xA0\x80",
        "\xC0\xAF", "\xF4\x90\x80\x80", "\x80",         "\xE0\x9F\xBF",     "\xEF\xBF\xBE",
        "\xC3",     "\xF0\x9F"};
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes;
        for (int k = int(random() % 6); k > 0; --k) bytes += pieces[random() % std::size(pieces)];
        QStringDecoder qt(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        const QString decoded = qt.decode(bytes);
        for (qsizetype cut = 0; cut <= bytes.size(); ++cut) {
            Utf8Validator v;
            v.Feed(bytes.first(cut));
            v.Feed(bytes.sliced(cut));
            ASSERT_EQ(v.Finish(), !qt.hasError()) << bytes.toHex().toStdString() << " cut " << cut;
        }
    }
}

// Long enough for the vector check, with a fault or a sequence cut anywhere in it: every
// kernel finds the same first fault as the byte-wise check.
TEST(Utf8Validator, EveryKernelFindsTheFirstFaultOfLongTexts) {
    struct KernelRestored {
        ~KernelRestored() { UseKernel(AvailableKernels().back()); }
    } restored;
    std::mt19937 random(7);
    const char* const good[] = {"a",
                                "Hello. ",
                                "\xC3\xA9",
                                "\xE2\x82\xAC",
                                "\xF0\x9F\x98\x80",
                                "\xED\x9F\xBF",
                                "\xF4\x8F\xBF\xBF",
                                "\xEF\xBF\xBD"};
    const char* const bad[] = {"\xC0\xAF",
                               "\xF4\x90\x80\x80",
                               "\x80",
                               "\xE0\x9F\xBF",
                               "\xED\xA0\x80",
                               "\xC3",
                               "\xF0\x9F",
                               "\xFF",
                               "\xC3\xC3\xA9",
                               "\xE2\x82"
                               "a"};
    for (int round = 0; round < 600; ++round) {
        QByteArray bytes;
        if (round < 200) {
            // A fault near the end of 64 bytes, then ASCII: a sequence that ends too soon
            // where the next 64 need no look of their own.
            bytes = QByteArray(200, 'a');
            bytes.insert(56 + round % 16, bad[(round / 16) % std::size(bad)]);
        } else {
            const int length = 60 + int(random() % 300);
            while (bytes.size() < length) bytes += good[random() % std::size(good)];
            if (round % 4 != 0)
                bytes.insert(qsizetype(random() % bytes.size()), bad[random() % std::size(bad)]);
        }
        const qsizetype cut = round < 200 ? bytes.size() : qsizetype(random() % (bytes.size() + 1));
        QStringDecoder qt(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        const QString decoded = qt.decode(bytes);  // decoded only when taken
        std::vector<std::pair<bool, std::int64_t>> seen;
        for (const Kernel kernel : AvailableKernels()) {
            UseKernel(kernel);
            Utf8Validator v;
            v.Feed(bytes.first(cut));
            v.Feed(bytes.sliced(cut));
            ASSERT_EQ(v.Finish(), !qt.hasError())
                << KernelName(kernel) << " " << bytes.toHex().toStdString();
            seen.emplace_back(v.Finish(), v.validBytes());
            ASSERT_EQ(seen.back(), seen.front())
                << KernelName(kernel) << " " << bytes.toHex().toStdString() << " cut " << cut;
        }
    }
}

TEST(StreamDecoder, EveryCutGivesTheWholeDecoding) {
    const std::pair<TextEncoding, QByteArray> cases[] = {
        {TextEncoding::Utf8, B("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z\xEF\xBB\xBF")},
        {TextEncoding::Windows1252, B("caf\xE9 \x80\x81\x9F\0x"sv)},
        {TextEncoding::Utf16LittleEndian,
         B("H\0i\0\x3D\xD8\x00\xDE!"sv)},  // odd: U+FFFD at the end
        {TextEncoding::Utf16BigEndian, B("\0H\xD8\x3D\xDE\x00\xD8\x00"sv)},
    };
    for (const auto& [encoding, bytes] : cases) {
        StreamDecoder whole(encoding);
        QString expected;
        whole.Decode(bytes, expected);
        whole.Finish(expected);
        if (encoding == TextEncoding::Utf8) {
            EXPECT_EQ(expected, QString::fromUtf8(bytes));
        } else if (encoding == TextEncoding::Windows1252) {
            EXPECT_EQ(expected, DecodeText(bytes));
        }
        for (qsizetype a = 0; a <= bytes.size(); ++a)
            for (qsizetype b = a; b <= bytes.size(); ++b) {
                StreamDecoder cut(encoding);
                QString text;
                cut.Decode(bytes.first(a), text);
                cut.Decode(bytes.sliced(a, b - a), text);
                cut.Decode(bytes.sliced(b), text);
                cut.Finish(text);
                ASSERT_EQ(text, expected) << int(encoding) << " cuts " << a << " " << b;
            }
    }
}

TEST(Utf8Output, EncodesAndEscapesEveryUnit) {
    const std::tuple<std::u16string_view, QByteArray, QByteArray> cases[] = {
        {u"plain ASCII text of some length", "plain ASCII text of some length",
         "plain ASCII text of some length"},
        {u"caf\u00e9 \u20ac \U0001F600", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80",
         "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
        {u"a\xD800"
         "b\xDC00",
         "a\xEF\xBF\xBD"
         "b\xEF\xBF\xBD",
         "a\xEF\xBF\xBD"
         "b\xEF\xBF\xBD"},
        {u"\xDE00\xD83D", "\xEF\xBF\xBD\xEF\xBF\xBD", "\xEF\xBF\xBD\xEF\xBF\xBD"},  // reversed
        {u"q\"b\\s/\x01\n\t\r\x1f\x7f\x85", "q\"b\\s/\x01\n\t\r\x1f\x7f\xC2\x85",
         "q\\\"b\\\\s/\\u0001\\n\\t\\r\\u001f\\u007f\\u0085"},
        {std::u16string_view(u"\0x", 2), B("\0x"sv), "\\u0000x"},
        // Line ends to JavaScript and to Python's splitlines(), though JSON allows them raw.
        {u"a\u2028b\u2029c\u2027",
         "a\xE2\x80\xA8"
         "b\xE2\x80\xA9"
         "c\xE2\x80\xA7",
         "a\\u2028b\\u2029c\xE2\x80\xA7"},
    };
    for (const auto& [text, utf8, json] : cases) {
        QByteArray a = "[", b = "[";
        AppendUtf8(QStringView(text), a);
        AppendJsonString(QStringView(text), b);
        EXPECT_EQ(a, "[" + utf8);
        EXPECT_EQ(b, "[" + json);
    }
    QByteArray name;
    AppendJsonName("caf\xE9\".txt", name);
    EXPECT_EQ(name, "caf\xEF\xBF\xBD\\\".txt");
    EXPECT_EQ(CodePoints(u"a\U0001F600\xD800"), 3);
}

// One record stays one line whatever the name; no name reads as the total's "total".
TEST(Utf8Output, FieldNamesHoldNoSeparatorAndNoTotal) {
    const std::pair<QByteArray, QByteArray> cases[] = {
        {"plain.txt", "plain.txt"},
        {"tab\there", "tab\\there"},
        {"two\nlines\r\n", "two\\nlines\\r\\n"},
        {"back\\t", "back\\\\t"},                  // a backslash and a t, not a tab
        {"caf\xE9 \xC3\xA9", "caf\xE9 \xC3\xA9"},  // bytes as they are
        {"total", "./total"},
        {"totals", "totals"},
        {"./total", "./total"},  // the same file
        {"sub/total", "sub/total"},
    };
    for (const auto& [name, field] : cases) {
        QByteArray out = "[";
        AppendFieldName(name, out);
        EXPECT_EQ(out, "[" + field) << name.toStdString();
    }
}

// Where output kept for later goes once memory is full: the temporary folder, none, a
// device that is always full, or a folder that fills up part way.
struct SpillPlace {
    const char* name;
    std::function<int()> open;
    rlim_t fileLimit;  // RLIM_INFINITY, or the size that fills the folder
    enum { All, None, Part } spills;
    std::int64_t spillLimit = std::int64_t(1) << 40;  // what the file may hold at once
};

// Where the ordered output goes: a stream in memory, a file, a file opened for appending, a
// pipe read only once all is written.
enum class Stream { Memory, File, Appended, Pipe };

QByteArray LineOf(int file, int line) {
    return QByteArray::number(file) + ':' + QByteArray::number(line) + ' ' +
           QByteArray(40 + (file * 7 + line) % 50, char('a' + file % 26)) + '\n';
}

// Several writers at once: the first file's writer comes last, or all take files in turn
// with whatever timing; the stream holds every file's output in the order of the files, and
// each message after the output written before it, wherever the rest was kept.
TEST(OrderedOutput, KeepsTheOrderOfTheFilesWhereverTheRestIsKept) {
    constexpr int kFiles = 12, kLines = 200;
    QByteArray expected;
    qsizetype afterFirst = 0;
    for (int f = 0; f < kFiles; ++f) {
        for (int line = 0; line < kLines; ++line) expected += LineOf(f, line);
        if (f % 5 == 0) expected += "error " + QByteArray::number(f) + '\n';
        if (f == 0) afterFirst = expected.size();
    }
    const qsizetype keepLimit = 4096;
    const SpillPlace places[] = {
        {"temporary folder", OpenSpillFile, RLIM_INFINITY, SpillPlace::All},
        {"no folder", [] { return errno = ENOENT, -1; }, RLIM_INFINITY, SpillPlace::None},
        {"always full", [] { return ::open("/dev/full", O_RDWR | O_CLOEXEC); }, RLIM_INFINITY,
         SpillPlace::None},
        {"fills up", OpenSpillFile, 30000, SpillPlace::Part},
        {"holds little", OpenSpillFile, RLIM_INFINITY, SpillPlace::Part, 30000},
    };
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    for (const SpillPlace& place : places)
        for (const Stream stream : {Stream::Memory, Stream::File, Stream::Appended, Stream::Pipe})
            for (const bool firstLast : {true, false}) {
                // A limit on file sizes would also stop the output file.
                if (place.fileLimit != RLIM_INFINITY && stream != Stream::Memory) continue;
                SCOPED_TRACE(testing::Message() << place.name << ", stream " << int(stream)
                                                << (firstLast ? ", first file last" : ""));
                char* text = nullptr;
                size_t size = 0;
                std::FILE* to = nullptr;
                int pipeEnds[2] = {-1, -1};
                if (stream == Stream::Memory) {
                    to = open_memstream(&text, &size);
                } else if (stream == Stream::File) {
                    to = std::tmpfile();
                } else if (stream == Stream::Appended) {
                    char name[] = "/tmp/ordered-XXXXXX";
                    ::close(::mkstemp(name));
                    to = std::fopen(name, "a+");
                    ::unlink(name);
                } else {
                    // Room in the pipe for all, so that nothing reads it before the end.
                    ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
                    ASSERT_GE(::fcntl(pipeEnds[1], F_SETPIPE_SZ, 1 << 20), 1 << 20);
                    to = ::fdopen(pipeEnds[1], "w");
                }
                ASSERT_NE(to, nullptr);
                std::setvbuf(to, nullptr, _IOFBF, 1000);
                rlimit old{};
                ::getrlimit(RLIMIT_FSIZE, &old);
                rlimit limited = old;
                limited.rlim_cur = place.fileLimit;
                ::setrlimit(RLIMIT_FSIZE, &limited);
                std::int64_t spilled = 0;
                {
                    OrderedOutput out(to, to, kFiles, keepLimit, {}, place.open, place.spillLimit);
                    const auto write = [&](int f) {
                        for (int line = 0; line < kLines; ++line) {
                            // Pieces as the writers hand them: a line, or two at once.
                            QByteArray piece = LineOf(f, line);
                            if (line % 3 != 0 && f % 2 == 0 && line + 1 < kLines)
                                piece += LineOf(f, ++line);
                            out.Write(f, piece);
                        }
                        if (f % 5 == 0) out.Error(f, "error " + QByteArray::number(f) + '\n');
                        out.Finish(f);
                    };
                    std::vector<std::thread> threads;
                    std::atomic<bool> othersDone{false};
                    std::atomic<int> next{0};
                    if (firstLast) {
                        // The others first; where they must wait, the first file comes when
                        // they have had their time. With room in the folder none waits.
                        threads.emplace_back([&] {
                            for (int f = 1; f < kFiles; ++f) write(f);
                            othersDone = true;
                        });
                        const int waits = place.spills == SpillPlace::All ? 5000 : 100;
                        for (int wait = 0; wait < waits && !othersDone; ++wait)
                            std::this_thread::sleep_for(2ms);
                        if (place.spills == SpillPlace::All) {
                            EXPECT_TRUE(othersDone);
                        }
                        write(0);
                    } else {
                        for (int t = 0; t < 4; ++t)
                            threads.emplace_back([&] {
                                for (int f; (f = next++) < kFiles;) write(f);
                            });
                    }
                    for (std::thread& t : threads) t.join();
                    EXPECT_TRUE(out.ok());
                    spilled = out.spilledBytes();
                }
                ::setrlimit(RLIMIT_FSIZE, &old);
                QByteArray written;
                if (stream == Stream::Memory) {
                    std::fclose(to);
                    written = QByteArray(text, qsizetype(size));
                    std::free(text);
                } else if (stream == Stream::Pipe) {
                    std::fclose(to);
                    char block[4096];
                    for (ssize_t got; (got = ::read(pipeEnds[0], block, sizeof block)) > 0;)
                        written.append(block, qsizetype(got));
                    ::close(pipeEnds[0]);
                } else {
                    std::fflush(to);
                    std::rewind(to);
                    char block[4096];
                    for (size_t got; (got = std::fread(block, 1, sizeof block, to)) > 0;)
                        written.append(block, qsizetype(got));
                    std::fclose(to);
                }
                const auto differ =
                    std::mismatch(written.begin(), written.end(), expected.begin(), expected.end());
                EXPECT_EQ(written.size(), expected.size());
                EXPECT_TRUE(written == expected)
                    << "first difference at " << (differ.first - written.begin());
                const qsizetype others = expected.size() - afterFirst;
                if (place.spills == SpillPlace::None) {
                    EXPECT_EQ(spilled, 0);
                } else if (place.spills == SpillPlace::Part) {
                    // A full folder keeps what it took; a bounded one takes again once
                    // earlier output has been sent on, which the first file last never lets.
                    if (place.fileLimit != RLIM_INFINITY) {
                        EXPECT_LE(spilled, std::int64_t(place.fileLimit));
                    }
                    if (firstLast) {
                        EXPECT_GT(spilled, 0);
                        EXPECT_LE(spilled, place.spillLimit);
                    }
                } else if (firstLast) {
                    // All but what memory holds (and the messages) went to the folder.
                    EXPECT_GE(spilled, others - keepLimit - 64);
                }
            }
    std::signal(SIGXFSZ, previous);
}

// Blocks as large as a writer hands over while its turn is far go to the temporary file as
// they are; where the folder takes none, or holds less than a block, they are kept and the
// writer waits. The order holds wherever they went.
TEST(OrderedOutput, KeepsLargeBlocksInOrderWhereverTheyGo) {
    const qsizetype block = OrderedOutput::kHeldBlock;
    const SpillPlace places[] = {
        {"temporary folder", OpenSpillFile, RLIM_INFINITY, SpillPlace::All},
        {"always full", [] { return ::open("/dev/full", O_RDWR | O_CLOEXEC); }, RLIM_INFINITY,
         SpillPlace::None},
        {"holds less than a block", OpenSpillFile, RLIM_INFINITY, SpillPlace::None, block / 2},
    };
    // Three blocks a file, a little over the size each, of the file's own lines.
    QByteArray blocks[2][3], expected;
    for (int f = 0; f < 2; ++f)
        for (int k = 0, line = 0; k < 3; ++k) {
            while (blocks[f][k].size() < block + 1000 * k) blocks[f][k] += LineOf(f, line++);
            expected += blocks[f][k];
        }
    std::int64_t secondBytes = 0;
    for (const QByteArray& b : blocks[1]) secondBytes += b.size();
    for (const SpillPlace& place : places) {
        SCOPED_TRACE(place.name);
        std::FILE* to = std::tmpfile();
        ASSERT_NE(to, nullptr);
        std::int64_t spilled = 0;
        {
            OrderedOutput out(to, to, 2, 1000, {}, place.open, place.spillLimit);
            // The second file's writer first; where it must wait, the first file comes when
            // it has had its time.
            std::atomic<bool> secondDone{false};
            std::thread second([&] {
                for (const QByteArray& b : blocks[1]) out.Write(1, b);
                out.Finish(1);
                secondDone = true;
            });
            for (int wait = 0; wait < 500 && !secondDone; ++wait) std::this_thread::sleep_for(1ms);
            EXPECT_EQ(secondDone.load(), place.spills == SpillPlace::All);
            for (const QByteArray& b : blocks[0]) out.Write(0, b);
            out.Finish(0);
            second.join();
            EXPECT_TRUE(out.ok());
            spilled = out.spilledBytes();
        }
        EXPECT_EQ(spilled, place.spills == SpillPlace::All ? secondBytes : 0);
        std::fflush(to);
        std::rewind(to);
        QByteArray written;
        char buffer[1 << 16];
        for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, to)) > 0;)
            written.append(buffer, qsizetype(got));
        std::fclose(to);
        EXPECT_TRUE(written == expected) << written.size() << " bytes of " << expected.size();
    }
}

// A reader that has gone: the failure is heard at once with the system's reason, whatever
// errno held before, and nothing more is kept for the files still working.
TEST(OrderedOutput, AWriteThatFailsIsHeardAtOnceWithItsReason) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    std::FILE* stream = ::fdopen(ends[1], "w");
    std::setvbuf(stream, nullptr, _IONBF, 0);
    std::vector<int> heard;
    {
        OrderedOutput out(stream, stderr, 2, 64, [&](int error) { heard.push_back(error); });
        errno = ENOENT;
        out.Write(1, "kept for later\n");
        EXPECT_TRUE(heard.empty());
        out.Write(0, "first\n");
        EXPECT_EQ(heard, std::vector<int>{EPIPE});
        EXPECT_FALSE(out.ok());
        EXPECT_EQ(out.error(), EPIPE);
        out.Write(1, QByteArray(100, 'x'));  // beyond the limit, yet nothing waits
        out.Finish(0);
        out.Finish(1);
    }
    EXPECT_EQ(heard, std::vector<int>{EPIPE});  // once
    std::fclose(stream);
    std::signal(SIGPIPE, previous);
}

// A stream that notes which thread wrote what; `during` is called inside each write, before
// the bytes are taken.
class NotedStream {
  public:
    std::function<void()> during;

    NotedStream() {
        cookie_io_functions_t io{};
        io.write = [](void* self, const char* data, size_t size) -> ssize_t {
            auto* stream = static_cast<NotedStream*>(self);
            if (stream->during) stream->during();
            std::lock_guard lock(stream->mutex_);
            stream->writes_.push_back(
                {std::this_thread::get_id(), QByteArray(data, qsizetype(size))});
            return ssize_t(size);
        };
        file_ = fopencookie(this, "w", io);
        std::setvbuf(file_, nullptr, _IONBF, 0);
    }
    ~NotedStream() { std::fclose(file_); }
    std::FILE* file() const { return file_; }
    // Everything written, or what one thread wrote.
    QByteArray Written(std::optional<std::thread::id> by = std::nullopt) {
        std::lock_guard lock(mutex_);
        QByteArray all;
        for (const auto& [thread, bytes] : writes_)
            if (!by || thread == *by) all += bytes;
        return all;
    }

  private:
    std::FILE* file_;
    std::mutex mutex_;
    std::vector<std::pair<std::thread::id, QByteArray>> writes_;
};

// The thread that finishes a file sends on what the next file kept until then, in memory or
// in the temporary file and with its messages, while that file's writer is still at work;
// the writer writes straight through afterwards.
TEST(OrderedOutput, TheThreadThatFinishesAFileSendsWhatTheNextKept) {
    struct Case {
        const char* name;
        qsizetype keepLimit;
        qsizetype keptBytes;  // written by the next file before the first is done
        bool message;
    };
    const Case cases[] = {
        {"in memory", 1 << 20, 1000, false},
        {"in memory, with a message", 1 << 20, 1000, true},
        // Two blocks and a half on their way to the temporary file: the half stays the
        // writer's until it goes on.
        {"in the temporary file", 0, 5 << 19, false},
        {"in the temporary file, with a message", 0, 5 << 19, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray kept;
        for (int line = 0; kept.size() < c.keptBytes; ++line) kept += LineOf(1, line);
        const QByteArray message = c.message ? "error 1\n" : "";
        NotedStream stream;
        OrderedOutput out(stream.file(), stream.file(), 2, c.keepLimit);
        std::promise<void> keptAll, sentOn;
        std::thread writer([&] {
            for (qsizetype at = 0; at < kept.size(); at += 4096) out.Write(1, kept.mid(at, 4096));
            if (c.message) out.Error(1, message);
            keptAll.set_value();
            sentOn.get_future().wait();
            out.Write(1, "last\n");
            out.Finish(1);
        });
        out.Write(0, "first\n");
        keptAll.get_future().wait();
        out.Finish(0);
        const QByteArray byThis = stream.Written(std::this_thread::get_id());
        sentOn.set_value();
        const std::thread::id writerId = writer.get_id();
        writer.join();
        EXPECT_TRUE(out.ok());
        EXPECT_TRUE(stream.Written() == "first\n" + kept + message + "last\n");
        // All that had gone into memory or the temporary file, not what was still on its way
        // there, which the writer sends itself.
        const qsizetype sentHere = c.keepLimit > 0 || c.message ? kept.size() : 2 << 20;
        EXPECT_EQ(byThis.size(), 6 + sentHere + message.size());
        EXPECT_TRUE(byThis == ("first\n" + kept + message).left(byThis.size()));
        EXPECT_TRUE(stream.Written(writerId).endsWith("last\n"));
        EXPECT_EQ(out.spilledBytes(), c.keepLimit > 0 ? 0 : sentHere);
    }
}

// While one thread sends what a file kept, the file's writer goes on keeping more, in
// memory or in the temporary file, and may finish meanwhile; only where there is room
// nowhere does it wait until what it kept has gone out.
TEST(OrderedOutput, AWriterGoesOnWhileAnotherSendsWhatItKept) {
    struct Case {
        const char* name;
        qsizetype keepLimit;
        std::function<int()> open;
        qsizetype keptBefore;  // when the first file is finished
        bool goesOn;
    };
    const Case cases[] = {
        {"memory", 64 << 20, OpenSpillFile, 3000, true},
        {"temporary file", 0, OpenSpillFile, 3 << 19, true},
        {"no room anywhere", 4096, [] { return errno = ENOENT, -1; }, 3000, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        constexpr int kLines = 40000;
        QByteArray expected = "first\n";
        for (int line = 0; line < kLines; ++line) expected += LineOf(1, line);
        NotedStream stream;
        OrderedOutput out(stream.file(), stream.file(), 2, c.keepLimit, {}, c.open);
        std::promise<void> keptSome;
        std::atomic<bool> writerDone{false}, holding{false};
        std::atomic<int> heldWrites{0};
        std::mutex mutex;
        std::condition_variable changed;
        bool finished = false;
        const std::thread::id here = std::this_thread::get_id();
        // The sending thread stops in its first write of the next file's output until its
        // writer is done, or long enough to tell that it waits.
        stream.during = [&] {
            if (std::this_thread::get_id() != here || !holding.exchange(false)) return;
            ++heldWrites;
            std::unique_lock lock(mutex);
            changed.wait_for(lock, c.goesOn ? 20s : 300ms, [&] { return finished; });
        };
        std::thread writer([&] {
            qsizetype written = 0;
            for (int line = 0; line < kLines; ++line) {
                const QByteArray bytes = LineOf(1, line);
                out.Write(1, bytes);
                if (written < c.keptBefore && (written += bytes.size()) >= c.keptBefore)
                    keptSome.set_value();
            }
            out.Finish(1);
            std::lock_guard lock(mutex);
            finished = true;
            changed.notify_all();
        });
        out.Write(0, "first\n");
        keptSome.get_future().wait();
        holding = true;
        out.Finish(0);
        writerDone = finished;
        writer.join();
        EXPECT_EQ(heldWrites, 1);
        EXPECT_EQ(writerDone, c.goesOn);
        EXPECT_TRUE(stream.Written() == expected);
    }
}

class Collect : public SentenceReceiver {
  public:
    void Sentence(QStringView text, std::int64_t start, std::int64_t end) override {
        sentences.push_back({part + text.toString(), qsizetype(start), qsizetype(end)});
        part.clear();
    }
    void SentencePart(QStringView text) override { part += text; }
    void AbandonSentence() override { abandoned = part; }
    std::vector<LocatedSentence> sentences;
    QString part, abandoned;
};

// The same for sentences that come as UTF-8, straight from the bytes where the rules allow.
class CollectBytes : public Collect, public ByteSentenceReceiver {
  public:
    using Collect::Sentence;
    using Collect::SentencePart;
    void Sentence(QByteArrayView text, std::int64_t start, std::int64_t end) override {
        Collect::Sentence(QString::fromUtf8(text), start, end);
    }
    void SentencePart(QByteArrayView text) override { part += QString::fromUtf8(text); }
    void AbandonSentence() override { Collect::AbandonSentence(); }
};

struct Outcome {
    std::vector<LocatedSentence> sentences;
    std::int64_t count = -1;
    QString failure;
    bool operator==(const Outcome&) const = default;
    friend void PrintTo(const Outcome& o, std::ostream* out) {
        *out << o.count << " " << ::testing::PrintToString(o.sentences) << " "
             << o.failure.toStdString();
    }
};

// The window's sentences, placed in code points.
std::vector<LocatedSentence> InCodePoints(const QString& text, std::vector<LocatedSentence> s) {
    for (LocatedSentence& sentence : s) {
        sentence.start = CodePoints(QStringView(text).first(sentence.start));
        sentence.end = CodePoints(QStringView(text).first(sentence.end));
    }
    return s;
}

Outcome Split(const QByteArray& bytes, CountSettings settings, qsizetype block, bool readAhead,
              qsizetype hold, qsizetype partUnits = 1 << 20, bool asBytes = false) {
    Tuning tuning;
    tuning.blockBytes = block;
    tuning.holdBytes = hold;
    tuning.segmentUnits = 5;
    tuning.sentencePartUnits = partUnits;
    Outcome outcome;
    try {
        MemorySource source(bytes, block, readAhead);
        // Lines place no sentence; the bytes are split there without counting code points.
        if (asBytes) settings.format = Format::Tsv;
        CollectBytes bytesCollect;
        Collect plainCollect;
        Collect& collect = asBytes ? bytesCollect : plainCollect;
        outcome.count = SplitSource(source, settings, tuning, collect);
        outcome.sentences = collect.sentences;
    } catch (const ReadError& e) {
        outcome.failure = e.message;
    }
    return outcome;
}

// Every text read in small blocks, from a file or a pipe, gives the sentences and the count
// of the whole text read at once, the reading of the whole text decided as the window
// decides it.
TEST(SplitSource, BlocksOfAnySizeGiveTheWindowsSentences) {
    const QByteArray texts[] = {
        "",
        "Hi. Are\r\nyou?\tFine! Bye",
        "\xEF\xBB\xBFOne. Two\xC3\xA9. Three.",
        "\xEF\xBB\xBFOne. caf\xE9. Three.",                       // a mark on Windows-1252
        "Fine text. Then caf\xC3\xA9. And a late caf\xE9. End.",  // UTF-8 until its end
        "\xFF\xFEO\0n\0e\0.\0 \0\x3D\xD8\x00\xDE.\0!"sv.data(),
        B("\xFE\xFF\0O\0.\0 \0x\0."sv),
        "etc. vs. Vs. v\xC5\xBF. V\xC5\xBF. V\xC5\xBF, x\xE2\x84\xAA. done.",
        "v\xC5\xBF. x. caf\xE9.",  // the same letters in Windows-1252
    };
    CountSettings settings;
    settings.separators = QStringLiteral(".!?\n\t");
    settings.abbreviations = {QStringLiteral("etc."), QStringLiteral("vs."), QStringLiteral("xk.")};
    for (const QByteArray& bytes : texts)
        for (bool countOnly : {false, true})
            for (qsizetype block : {1, 2, 3, 7, 4096})
                for (int way = 0; way < 4; ++way) {
                    const bool readAhead = way & 1, asBytes = way & 2;
                    SCOPED_TRACE(bytes.toHex().toStdString() + " block " + std::to_string(block) +
                                 (readAhead ? " file" : " pipe") + (countOnly ? " count" : "") +
                                 (asBytes ? " bytes" : ""));
                    settings.countOnly = countOnly;
                    // A file counted on two threads is read by them, a piece each.
                    settings.secondCore = countOnly && block % 2 == 1;
                    const QString text = WindowText(bytes);
                    Outcome expected;
                    expected.count = std::int64_t(
                        CountSentences(text, settings.separators, settings.abbreviations));
                    if (!countOnly)
                        expected.sentences =
                            InCodePoints(text, SplitLocatedSentences(text, settings.separators,
                                                                     settings.abbreviations));
                    EXPECT_EQ(Split(bytes, settings, block, readAhead, 1 << 20, 1 << 20, asBytes),
                              expected);
                }
}

// Standard input handed over part read counts from where it stands, whether one thread
// reads it or those that count it, each its own pieces; so does a named file, from its start.
TEST(SplitSource, CountsStandardInputFromWhereItStands) {
    QByteArray text;
    for (int k = 0; k < 3000; ++k) text += "One etc. two. V\xC5\xBF. three!\n";
    CountSettings settings;
    settings.countOnly = true;
    settings.separators = QStringLiteral(".!?\n\t");
    settings.abbreviations = kBuiltInAbbreviations;
    Tuning tuning;
    tuning.blockBytes = 4096;
    std::FILE* file = std::tmpfile();
    ASSERT_TRUE(file);
    ASSERT_EQ(std::fwrite(text.constData(), 1, std::size_t(text.size()), file),
              std::size_t(text.size()));
    std::fflush(file);
    const int kept = ::dup(STDIN_FILENO);
    ASSERT_GE(kept, 0);
    ASSERT_GE(::dup2(::fileno(file), STDIN_FILENO), 0);
    const qsizetype skipped = 10001;  // inside a sentence
    for (const bool secondCore : {false, true}) {
        settings.secondCore = secondCore;
        ASSERT_EQ(::lseek(STDIN_FILENO, skipped, SEEK_SET), skipped);
        FileSource input(InputName{"-"});
        Collect none;
        const QString rest = QString::fromUtf8(text.sliced(skipped));
        EXPECT_EQ(SplitSource(input, settings, tuning, none),
                  std::int64_t(CountSentences(rest, settings.separators, settings.abbreviations)))
            << secondCore;
    }
    ::dup2(kept, STDIN_FILENO);
    ::close(kept);
    std::fclose(file);
}

// A pipe is taken for UTF-8 once it has given so many undecided bytes; a byte that is not
// UTF-8 after that fails the count instead of giving other sentences than the window.
TEST(SplitSource, APipeThatTurnsOutNotUtf8LateFails) {
    CountSettings settings;
    settings.separators = QStringLiteral(".");
    const QByteArray bytes = "caf\xC3\xA9. " + QByteArray(40, 'x') + ". caf\xE9.";
    const QString text = WindowText(bytes);
    const auto window = InCodePoints(text, SplitLocatedSentences(text, settings.separators, {}));
    for (const bool asBytes : {false, true}) {
        EXPECT_EQ(Split(bytes, settings, 4, false, 1000, 1 << 20, asBytes).sentences,
                  window);  // decided in time
        EXPECT_EQ(Split(bytes, settings, 4, true, 8, 1 << 20, asBytes).sentences,
                  window);  // a file: read ahead
        const Outcome late = Split(bytes, settings, 4, false, 8, 1 << 20, asBytes);
        EXPECT_TRUE(late.failure.contains(u"not UTF-8 at byte 52")) << late.failure.toStdString();
    }
    settings.countOnly = true;  // whatever the reading, the count is the same
    EXPECT_EQ(Split(bytes, settings, 4, false, 8).count, 3);
}

// A sentence too long to hold goes out in parts as it is read; a text that ends inside it
// fails, the line begun ended.
TEST(SplitSource, ALongSentenceGoesOutInParts) {
    CountSettings settings;
    settings.separators = QStringLiteral(".");
    const QByteArray bytes = "Short. A sentence of many words and more. And an unfinished one";
    Tuning tuning;
    tuning.blockBytes = 3;
    tuning.segmentUnits = 4;
    tuning.sentencePartUnits = 8;
    for (const bool asBytes : {false, true}) {
        MemorySource source(bytes, 3, true);
        CollectBytes bytesCollect;
        Collect plainCollect;
        Collect& collect = asBytes ? bytesCollect : plainCollect;
        try {
            SplitSource(source, settings, tuning, collect);
            ADD_FAILURE() << "an unfinished sentence in parts is no sentence";
        } catch (const ReadError& e) {
            EXPECT_TRUE(e.message.contains(u"ends inside a sentence")) << e.message.toStdString();
        }
        QStringList texts;
        for (const LocatedSentence& s : collect.sentences) texts += s.text;
        EXPECT_EQ(texts, QStringList({"Short.", "A sentence of many words and more."}));
        EXPECT_TRUE(QStringLiteral("And an unfinished one").startsWith(collect.abandoned));
        EXPECT_GE(collect.abandoned.size(), 8);
    }
}

// A file whose size is known, as a file on disk tells it.
// Reads of more than 4 KiB that reach byte failAt fail (-1: none).
class SizedSource : public MemorySource {
  public:
    SizedSource(QByteArray bytes, qsizetype block, std::int64_t failAt = -1)
        : MemorySource(bytes, block, true), size_(bytes.size()), failAt_(failAt) {}
    std::int64_t SizeAtOpen() const override { return size_; }
    qsizetype Read(char* buffer, qsizetype size) override {
        if (Fails(at_, size)) throw ReadError{QStringLiteral("a bad block")};
        const qsizetype got = MemorySource::Read(buffer, size);
        at_ += got;
        return got;
    }
    qsizetype ReadAt(std::int64_t offset, char* buffer, qsizetype size) override {
        if (Fails(offset, size)) throw ReadError{QStringLiteral("a bad block")};
        return MemorySource::ReadAt(offset, buffer, size);
    }

  private:
    bool Fails(std::int64_t offset, qsizetype size) const {
        return failAt_ >= 0 && size > 4096 && offset <= failAt_ && failAt_ < offset + size;
    }
    std::int64_t size_;
    std::int64_t failAt_;
    std::int64_t at_ = 0;
};

struct Printed {
    QByteArray bytes;
    std::int64_t count = -1;
    QString failure;
};

Printed Print(const QByteArray& text, const CountSettings& settings, const Tuning& tuning,
              std::int64_t failAt = -1) {
    Printed printed;
    std::FILE* file = std::tmpfile();
    if (!file) return printed;
    {
        OrderedOutput out(file, stderr, 1, 1 << 20);
        FileOutput output(out, 0, 64);
        const QByteArray name = "f";
        SentenceWriter writer(settings, &name, output);
        try {
            SizedSource source(text, tuning.blockBytes, failAt);
            printed.count = SplitSource(source, settings, tuning, writer);
        } catch (const ReadError& e) {
            printed.failure = e.message;
        }
        output.Flush();
        out.Finish(0);
    }
    std::rewind(file);
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        printed.bytes.append(buffer, qsizetype(got));
    std::fclose(file);
    return printed;
}

// A file printed on two cores, cut into pieces anywhere a piece may start, prints what it
// prints in one go: the same lines, numbers, places and count, in every format, with
// abbreviations across the cuts, sentences over many pieces (in parts or not), a reading
// decided late (UTF-8 or not) and a text that ends inside a sentence.
TEST(SplitSource, PrintsAFileInPiecesAsInOneGo) {
    const char* const words[] = {
        "word",         " ",          "  ", ". ",    ".",   "etc.", "ETC.", "eTc.",
        " vs. ",        "\r\n",       "\r", "\n",    "\t",  "? ",   "!",    "caf\xC3\xA9",
        "\xE2\x80\x94", "v\xC5\xBF.", "x",  "\"q\"", "...", "e.",   "tc"};
    std::mt19937 random(11);
    CountSettings settings;
    settings.separators = QStringLiteral(".!?\n\t");
    settings.abbreviations = {QStringLiteral("etc."), QStringLiteral("vs.")};
    for (int round = 0; round < 62; ++round) {
        QByteArray text;
        // Texts in which no piece can start but every few thousand bytes, or nowhere.
        if (round >= 60) {
            for (int n = 0; n < 2000; ++n) text += "e.tc. ";
            if (round == 60) text.insert(6000, "word. ");
        }
        // Now and then a sentence that runs on over many pieces.
        const bool longOne = round % 4 == 1;
        for (int n = 0; n < 3000; ++n) {
            text += words[random() % std::size(words)];
            if (longOne && n == 1000) text += QByteArray(5000, 'y');
        }
        // A byte that is no UTF-8 late in the text makes all of it Windows-1252.
        if (round % 3 == 2) text.insert(text.size() - 100, '\xE9');
        if (round % 5 == 4) text += "an end without a separator";
        Tuning tuning;
        tuning.blockBytes = 7 + qsizetype(random() % 4096);
        tuning.pieceBytes = 16 + std::int64_t(random() % 900);
        tuning.sentencePartUnits = round % 2 ? 64 : 1 << 20;
        for (const Format format : {Format::Lines, Format::Tsv, Format::Jsonl}) {
            settings.format = format;
            SCOPED_TRACE("round " + std::to_string(round) + " format " +
                         std::to_string(int(format)));
            settings.secondCore = false;
            const Printed one = Print(text, settings, tuning);
            settings.secondCore = true;
            const Printed two = Print(text, settings, tuning);
            EXPECT_GT(one.bytes.size(), text.size() / 2);
            EXPECT_EQ(two.count, one.count);
            EXPECT_EQ(two.failure, one.failure);
            if (two.bytes != one.bytes) {
                qsizetype at = 0;
                while (at < one.bytes.size() && one.bytes[at] == two.bytes[at]) ++at;
                ADD_FAILURE() << "differ from byte " << at << ": "
                              << one.bytes.mid(at - 40, 80).toStdString() << " | "
                              << two.bytes.mid(at - 40, 80).toStdString();
            }
        }
    }
}

// A read that fails in a piece fails the print as it fails in one go, after the output of
// the pieces before it: the start of the whole text's, no more.
TEST(SplitSource, AReadThatFailsInAPieceFailsAsInOneGo) {
    QByteArray text;
    for (int n = 0; n < 12000; ++n) text += n % 7 ? "word " : "etc. end. ";
    CountSettings settings;
    settings.separators = QStringLiteral(".");
    settings.abbreviations = {QStringLiteral("etc.")};
    Tuning tuning;
    tuning.blockBytes = 8192;
    tuning.pieceBytes = 5000;
    for (const Format format : {Format::Lines, Format::Jsonl}) {
        settings.format = format;
        settings.secondCore = false;
        const Printed whole = Print(text, settings, tuning);
        const Printed one = Print(text, settings, tuning, 30000);
        settings.secondCore = true;
        const Printed two = Print(text, settings, tuning, 30000);
        EXPECT_EQ(whole.failure, QString());
        EXPECT_EQ(one.failure, QStringLiteral("a bad block"));
        EXPECT_EQ(two.failure, one.failure);
        for (const Printed* failed : {&one, &two}) {
            EXPECT_GT(failed->bytes.size(), 0);
            EXPECT_LT(failed->bytes.size(), whole.bytes.size());
            EXPECT_TRUE(whole.bytes.startsWith(failed->bytes));
        }
    }
}

// The numbers of the lines, moved on from the last or not, across the places where they
// carry into more digits.
TEST(SentenceWriter, PrintsEveryNumberAsItIs) {
    const std::int64_t starts[] = {0,         5,         9,         10,         9998,
                                   9999,      10000,     10001,     19999,      20000,
                                   3,         99990000,  99999999,  100000000,  100009998,
                                   100009999, 100010000, 100010000, 9999999999, 10000000000};
    CountSettings settings;
    settings.format = Format::Tsv;
    std::FILE* file = std::tmpfile();
    ASSERT_TRUE(file);
    QByteArray expected;
    {
        OrderedOutput out(file, stderr, 1, 1 << 20);
        FileOutput output(out, 0, 64);
        const QByteArray name = "f";
        SentenceWriter writer(settings, &name, output);
        for (const std::int64_t start : starts) {
            writer.Sentence(QByteArrayView("x"), start, start + 1);
            expected += QByteArray::number(start) + '\t' + QByteArray::number(start + 1) + "\tx\n";
        }
        output.Flush();
        out.Finish(0);
    }
    std::rewind(file);
    char buffer[4096];
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, file);
    std::fclose(file);
    EXPECT_EQ(QByteArray(buffer, qsizetype(got)), expected);
}

// A sentence printed from UTF-8 is the line printed from its UTF-16, in every format:
// escapes, controls, quotes and the characters JSON leaves to the reader alike.
TEST(SentenceWriter, PrintsUtf8AsItPrintsUtf16) {
    const QString pieces[] = {"a", "Z ", "\"", "\\", "\n", "\t", "\r", "\x01", "\x1f", "\x7f",
                              "\u0080", "\u0085", "\u009f", "\u00a0", "\u00e2", "\u2028", "\u2029",
                              "\u2027", "\u20ac", "\u00e9", "/", "\u2000", "\U0001F600", "word ",
                              // Runs of plain bytes longer than a vector, for the ends of
                              // the vector copies.
                              "plain words of some length, ", "and yet more of them here "};
    std::mt19937 random(5);
    const QByteArray name = "dir/na\tme\xC3\xA9\".txt";
    for (const Kernel kernel : AvailableKernels())
        for (const Format format : {Format::Lines, Format::Tsv, Format::Jsonl})
            for (const bool several : {false, true}) {
                UseKernel(kernel);
                CountSettings settings;
                settings.format = format;
                settings.severalFiles = several;
                QByteArray printed[2];
                for (int way = 0; way < 2; ++way) {
                    std::mt19937 same = random;
                    std::FILE* file = std::tmpfile();
                    ASSERT_TRUE(file);
                    {
                        OrderedOutput out(file, stderr, 1, 1 << 20);
                        FileOutput output(out, 0, 64);
                        SentenceWriter writer(settings, &name, output);
                        std::int64_t last = 0;
                        for (int k = 0; k < 300; ++k) {
                            QString text;
                            for (int n = int(same() % 40); n > 0; --n)
                                text += pieces[same() % std::size(pieces)];
                            // Numbers that jump anywhere, move on a little (across
                            // 9999 and 10000 now and then) or stand near a billion.
                            const std::int64_t start =
                                k % 3 == 0   ? std::int64_t(same() % 100000)
                                : k % 7 == 0 ? 999990000 + std::int64_t(same() % 20000)
                                             : last + std::int64_t(same() % 3000);
                            last = start + text.size();
                            if (way == 0)
                                writer.Sentence(QStringView(text), start, start + text.size());
                            else
                                writer.Sentence(QByteArrayView(text.toUtf8()), start,
                                                start + text.size());
                        }
                        output.Flush();
                        out.Finish(0);
                    }
                    std::fflush(file);
                    std::rewind(file);
                    char buffer[4096];
                    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
                        printed[way].append(buffer, qsizetype(got));
                    std::fclose(file);
                }
                EXPECT_GT(printed[0].size(), 1000);
                EXPECT_EQ(printed[1], printed[0])
                    << KernelName(kernel) << " " << int(format) << " " << several;
            }
    UseKernel(AvailableKernels().back());
}

}  // namespace
}  // namespace brintale::cli
