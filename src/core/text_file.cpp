#include "core/text_file.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <future>
#include <limits>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "core/failure.h"
#include "core/file_exists.h"
#include "core/memory_limits.h"

namespace brintale {

namespace {

// Windows-1252 is Latin-1 except for the block 0x80..0x9F.
constexpr std::array<char16_t, 32> kBlock80 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

constexpr std::array<char16_t, 256> MakeWindows1252Table() {
    std::array<char16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) table[i] = static_cast<char16_t>(i);
    for (unsigned i = 0; i < 32; ++i) table[0x80 + i] = kBlock80[i];
    return table;
}

constexpr std::array<char16_t, 256> kWindows1252 = MakeWindows1252Table();

constexpr char16_t kReplacement = 0xFFFD;

QString DecodeUtf16(QByteArrayView bytes, bool bigEndian) {
    const qsizetype units = bytes.size() / 2;
    const bool odd = bytes.size() % 2 != 0;
    QString out(units + (odd ? 1 : 0), Qt::Uninitialized);
    // Every two bytes are one code unit, copied as they stand, unpaired surrogates included.
    if (bigEndian)
        qFromBigEndian<char16_t>(bytes.data(), units, out.data());
    else
        qFromLittleEndian<char16_t>(bytes.data(), units, out.data());
    if (odd) out[units] = QChar(kReplacement);
    return out;
}

QString DecodeWindows1252(QByteArrayView bytes) {
    QString out(bytes.size(), Qt::Uninitialized);
    auto* dst = reinterpret_cast<char16_t*>(out.data());
    const auto* src = reinterpret_cast<const unsigned char*>(bytes.data());
    for (qsizetype i = 0, n = bytes.size(); i < n; ++i) dst[i] = kWindows1252[src[i]];
    return out;
}

// Refuse what cannot fit rather than let the system kill the program halfway.
bool TooLargeToRead(quint64 bytes) { return bytes > LargestLoadableFile(CurrentMemoryLimits()); }

QString Shown(const QString& name) { return QDir::toNativeSeparators(name); }

[[noreturn]] void ThrowTooLarge(const QString& name, quint64 bytes) {
    throw Failure(QStringLiteral("The file \"%1\" is too large to read: its %2 bytes do not fit "
                                 "in this computer's memory.")
                      .arg(Shown(name))
                      .arg(bytes));
}

[[noreturn]] void ThrowOutOfMemory(const QString& name) {
    throw Failure(
        QStringLiteral("There is not enough memory to read the file \"%1\".").arg(Shown(name)));
}

// How many bytes at the end of a block begin a UTF-8 sequence that the next block completes.
qsizetype IncompleteTail(QByteArrayView bytes) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    for (qsizetype back = 1; back <= std::min<qsizetype>(3, n); ++back) {
        const unsigned char c = b[n - back];
        if ((c & 0xC0) == 0x80) continue;
        const qsizetype length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

// Faults the pages of [from, to) in at once: that costs a third less than a fault per page
// as they are written.
void Prefault(QChar* from, QChar* to) {
#ifdef MADV_POPULATE_WRITE
    const auto page = static_cast<quintptr>(4096);
    const auto first = (reinterpret_cast<quintptr>(from) + page - 1) & ~(page - 1);
    const auto last = reinterpret_cast<quintptr>(to) & ~(page - 1);
    if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
#else
    Q_UNUSED(from);
    Q_UNUSED(to);
#endif
}

// Makes room for `units` more units after `used`.
void MakeRoom(QString& text, qsizetype used, qsizetype units, const QString& name,
              bool prefault = true) {
    if (text.size() - used >= units) return;
    const auto wanted =
        std::max({static_cast<quint64>(text.size()) * 2, static_cast<quint64>(used + units)});
    if (TooLargeToRead(wanted)) ThrowTooLarge(name, wanted);
    text.resize(static_cast<qsizetype>(wanted));
    if (prefault) Prefault(text.data() + used, text.data() + text.size());
}

constexpr qsizetype kBlock = qsizetype(1) << 20;
// From this size on, the second half of a file is decoded on a core of its own.
constexpr quint64 kTwoHalvesFrom = quint64(8) << 20;

// Decodes the bytes from `from` to `to` of a file, which begin and end with whole sequences,
// into `out`, read a block at a time. The units written; nothing where a sequence is
// ill-formed or the file does not give those bytes: then it is read again whole.
std::optional<qsizetype> DecodeRange(int fd, qint64 from, qint64 to, QChar* out) {
    Prefault(out, out + (to - from));
    std::vector<char> buffer(static_cast<std::size_t>(kBlock + 4));
    QChar* const start = out;
    qsizetype carried = 0;
    while (from < to) {
        const ssize_t got = ::pread(fd, buffer.data() + carried,
                                    static_cast<std::size_t>(std::min<qint64>(kBlock, to - from)),
                                    static_cast<off_t>(from));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return std::nullopt;
        from += got;
        QByteArrayView bytes(buffer.data(), carried + got);
        const qsizetype keep = from < to ? IncompleteTail(bytes) : 0;
        bytes.chop(keep);
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                        QStringConverter::Flag::ConvertInitialBom);
        out = utf8.appendToBuffer(out, bytes);
        if (utf8.hasError()) return std::nullopt;
        std::memmove(buffer.data(), bytes.data() + bytes.size(), static_cast<std::size_t>(keep));
        carried = keep;
    }
    return out - start;
}

// Where a sequence begins at or just after `at`.
qint64 SequenceStart(int fd, qint64 at) {
    unsigned char bytes[4] = {};
    const ssize_t got = ::pread(fd, bytes, sizeof bytes, static_cast<off_t>(at));
    for (ssize_t i = 0; i < got; ++i) {
        if ((bytes[i] & 0xC0) != 0x80) return at + i;
    }
    return at;
}

// A file that reads as UTF-8, decoded a block at a time straight into its text, so that its
// bytes are never held whole; a large one in two halves at once. Nothing for a file behind a
// UTF-16 mark or with an ill-formed sequence anywhere: that one is read again whole.
std::optional<QString> ReadUtf8InBlocks(QFile& file, const QString& name, quint64 expected) {
    QByteArray buffer(kBlock + 4, Qt::Uninitialized);
    QString text;
    qsizetype used = 0, carried = 0;
    bool first = true;
    // The second half, from `half` to `expected`, when another core decodes it.
    qint64 half = -1;
    std::future<std::optional<qsizetype>> second;
    const auto joinSecond = [&]() -> bool {
        const std::optional<qsizetype> units = second.get();
        if (!units) return false;
        std::memmove(text.data() + used, text.constData() + half,
                     static_cast<std::size_t>(*units) * sizeof(QChar));
        used += *units;
        return file.seek(static_cast<qint64>(expected));
    };
    for (;;) {
        const qint64 wanted = half >= 0 ? std::min<qint64>(kBlock, half - file.pos()) : kBlock;
        const qint64 got = wanted > 0 ? file.read(buffer.data() + carried, wanted) : 0;
        if (got < 0) {
            if (second.valid()) second.wait();
            throw Failure(
                QStringLiteral("\"%1\" cannot be read: %2.").arg(Shown(name), file.errorString()));
        }
        const bool atHalf = half >= 0 && file.pos() == half;
        const bool end = got == 0 && !atHalf;
        QByteArrayView bytes(buffer.constData(), carried + got);
        if (first) {
            if (got == 0) return QStringLiteral("empty file");
            first = false;
            const ByteOrderMark mark = ReadByteOrderMark(bytes);
            if (mark.encoding) return std::nullopt;
            bytes = bytes.sliced(mark.length);
            // The size the system reports at once: text never takes more units than bytes.
            const bool halves =
                expected >= kTwoHalvesFrom && std::thread::hardware_concurrency() > 1;
            MakeRoom(text, 0, static_cast<qsizetype>(std::max<quint64>(expected, bytes.size())),
                     name, !halves);
            if (halves) {
                half = SequenceStart(file.handle(), static_cast<qint64>(expected / 2));
                try {
                    second = std::async(std::launch::async, DecodeRange, file.handle(), half,
                                        static_cast<qint64>(expected), text.data() + half);
                    Prefault(text.data(), text.data() + half);
                } catch (const std::system_error&) {  // no thread to be had: one core does all
                    half = -1;
                    Prefault(text.data(), text.data() + text.size());
                }
            }
        }
        // The first half ends where a sequence begins.
        const qsizetype keep = end || atHalf ? 0 : IncompleteTail(bytes);
        bytes.chop(keep);
        MakeRoom(text, used, bytes.size(), name);
        // Stateless, so that a sequence cut off at the end of the file is ill-formed; a block
        // never ends inside a sequence.
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                        QStringConverter::Flag::ConvertInitialBom);
        const QChar* out = utf8.appendToBuffer(text.data() + used, bytes);
        if (utf8.hasError()) {
            if (second.valid()) second.wait();
            return std::nullopt;
        }
        used = out - text.constData();
        if (atHalf) {
            if (!joinSecond()) return std::nullopt;
            half = -1;
            carried = 0;
            continue;
        }
        if (end && second.valid()) {  // the file shrank while it was read
            second.wait();
            return std::nullopt;
        }
        if (end) break;
        std::memmove(buffer.data(), bytes.data() + bytes.size(), static_cast<std::size_t>(keep));
        carried = keep;
    }
    text.truncate(used);
    // Text beyond ASCII takes fewer units than bytes.
    if (used < text.capacity() / 8 * 7) text.squeeze();
    return text;
}

}  // namespace

char16_t Windows1252ToUnicode(unsigned char b) { return kWindows1252[b]; }

ByteOrderMark ReadByteOrderMark(QByteArrayView start) {
    const auto* b = reinterpret_cast<const unsigned char*>(start.data());
    if (start.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE)
        return {TextEncoding::Utf16LittleEndian, 2};
    if (start.size() >= 2 && b[0] == 0xFE && b[1] == 0xFF) return {TextEncoding::Utf16BigEndian, 2};
    if (start.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) return {{}, 3};
    return {};
}

QString DecodeText(QByteArrayView bytes) {
    const ByteOrderMark mark = ReadByteOrderMark(bytes);
    bytes = bytes.sliced(mark.length);
    if (mark.encoding) return DecodeUtf16(bytes, *mark.encoding == TextEncoding::Utf16BigEndian);
    {
        // Stateless, so that a sequence cut off at the end counts as invalid; the decoding
        // tells the validity on the way.
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                        QStringConverter::Flag::ConvertInitialBom);
        QString text = utf8.decode(bytes);
        if (ReadingWithoutMark(!utf8.hasError()) == TextEncoding::Utf8) return text;
    }
    return DecodeWindows1252(bytes);
}

QString ReadTextFile(const QString& path) {
    if (!FileExists(path)) {
        // A file in a folder the user may not enter is there all the same.
        struct stat status {};
        if (!path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &status) != 0 &&
            errno == EACCES)
            throw Failure(QStringLiteral("The file \"%1\" cannot be opened: %2.")
                              .arg(Shown(path), QString::fromLocal8Bit(std::strerror(EACCES))));
        return QString();
    }
    const QFileInfo info(path);
    if (info.isDir())
        throw Failure(
            QStringLiteral("\"%1\" is a folder, not a file, and cannot be read.").arg(Shown(path)));
    const auto expected = static_cast<quint64>(std::max<qint64>(info.size(), 0));
    if (TooLargeToRead(expected)) ThrowTooLarge(path, expected);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("The file \"%1\" cannot be opened: %2.")
                          .arg(Shown(path), file.errorString()));
    // To the end of the file, whatever size the system reported: files of the system's own
    // report none, and a file may grow or shrink while it is read.
    if (!file.isSequential()) {
        try {
            if (auto text = ReadUtf8InBlocks(file, path, expected)) return std::move(*text);
        } catch (const std::bad_alloc&) {
            ThrowOutOfMemory(path);
        }
        if (!file.seek(0))
            throw Failure(
                QStringLiteral("\"%1\" cannot be read: %2.").arg(Shown(path), file.errorString()));
    }
    const QByteArray bytes = ReadAllBytes(file, path, expected);
    file.close();
    if (bytes.isEmpty()) return QStringLiteral("empty file");
    try {
        return DecodeText(bytes);
    } catch (const std::bad_alloc&) {
        ThrowOutOfMemory(path);
    }
}

QByteArray ReadAllBytes(QIODevice& device, const QString& name, quint64 expected) {
    constexpr qsizetype kChunk = qsizetype(1) << 20;
    try {
        QByteArray bytes;
        qsizetype used = 0;
        for (;;) {
            if (bytes.size() - used < kChunk) {
                // The expected size at once, then doubling: one more byte than expected
                // tells the end without a copy.
                const auto wanted = std::max<quint64>({static_cast<quint64>(bytes.size()) * 2,
                                                       static_cast<quint64>(used + kChunk),
                                                       used == 0 ? expected + 1 : 0});
                if (TooLargeToRead(wanted)) ThrowTooLarge(name, wanted);
                bytes.resize(static_cast<qsizetype>(wanted));
            }
            const qint64 got = device.read(bytes.data() + used, bytes.size() - used);
            if (got < 0)
                throw Failure(QStringLiteral("\"%1\" cannot be read: %2.")
                                  .arg(Shown(name), device.errorString()));
            if (got == 0) break;
            used += got;
        }
        bytes.truncate(used);
        bytes.squeeze();
        return bytes;
    } catch (const std::bad_alloc&) {
        ThrowOutOfMemory(name);
    }
}

}  // namespace brintale
