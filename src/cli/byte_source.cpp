#include "cli/byte_source.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <csignal>
#include <cstring>
#include <mutex>

#include "core/work_queue.h"

namespace brintale::cli {

namespace {

QString ErrorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Where a look at mapped bytes on this thread goes on when a page of them is gone: the file
// was cut short after it was mapped, and the page past its new end raises SIGBUS.
thread_local sigjmp_buf* tMappedLook = nullptr;
struct sigaction gFormerBusAction {};

void OnBusError(int signal, siginfo_t* info, void* context) {
    if (sigjmp_buf* const look = tMappedLook) siglongjmp(*look, 1);
    // Not ours: as the program fared before, the default ending it when the fault comes again.
    if ((gFormerBusAction.sa_flags & SA_SIGINFO) && gFormerBusAction.sa_sigaction)
        return gFormerBusAction.sa_sigaction(signal, info, context);
    if (!(gFormerBusAction.sa_flags & SA_SIGINFO) && gFormerBusAction.sa_handler != SIG_DFL &&
        gFormerBusAction.sa_handler != SIG_IGN)
        return gFormerBusAction.sa_handler(signal);
    std::signal(SIGBUS, SIG_DFL);
}

void CatchBusErrors() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &gFormerBusAction);
    });
}

// Runs look over mapped bytes; false where a page of them was gone. Nothing between here and
// the look needs destroying should the jump leave it.
__attribute__((noinline)) bool LookMapped(const std::function<void(const char*)>& look,
                                          const char* bytes) {
    sigjmp_buf jump;
    if (sigsetjmp(jump, 1) != 0) {
        tMappedLook = nullptr;
        return false;
    }
    tMappedLook = &jump;
    look(bytes);
    tMappedLook = nullptr;
    return true;
}

}  // namespace

QString ShownName(const InputName& input) {
    return input.standardInput() ? QStringLiteral("standard input")
                                 : QString::fromLocal8Bit(input.bytes);
}

qsizetype ByteSource::ReadAt(std::int64_t, char*, qsizetype) {
    throw ReadError{QStringLiteral("%1 cannot be read twice").arg(name())};
}

Utf8Validator ByteSource::ValidateFrom(std::int64_t offset, Utf8Validator validator,
                                       qsizetype block) {
    if (!validator.valid()) return validator;
    QByteArray buffer(std::max<qsizetype>(block, 1), Qt::Uninitialized);
    for (;;) {
        const qsizetype got = ReadAt(offset, buffer.data(), buffer.size());
        if (got == 0 || !validator.Feed(QByteArrayView(buffer.constData(), got))) break;
        offset += got;
    }
    return validator;
}

FileSource::FileSource(const InputName& input)
    : standardInput_(input.standardInput()), name_(ShownName(input)) {
    if (standardInput_) {
        fd_ = STDIN_FILENO;
    } else {
        fd_ = ::open(input.bytes.constData(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) {
            const int error = errno;
            if (error == ENOENT) throw ReadError{QStringLiteral("%1: no such file").arg(name_)};
            throw ReadError{QStringLiteral("%1: %2").arg(name_, ErrorText(error))};
        }
    }
    struct stat status {};
    if (::fstat(fd_, &status) != 0) {
        const int error = errno;
        throw ReadError{QStringLiteral("%1: %2").arg(name_, ErrorText(error))};
    }
    if (S_ISDIR(status.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        throw ReadError{
            QStringLiteral("\"%1\" is a folder, not a file, and cannot be read.").arg(name_)};
    }
    // A file the system reports no size for (those of /proc) is read to its end all the
    // same, but not ahead: its bytes may change between two readings.
    regular_ = S_ISREG(status.st_mode) && status.st_size > 0;
    // Standard input may come part read by a program before this one.
    if (regular_ && standardInput_) {
        const off_t at = ::lseek(fd_, 0, SEEK_CUR);
        regular_ = at >= 0;
        start_ = regular_ ? at : 0;
    }
    if (regular_) ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

FileSource::~FileSource() {
    if (fd_ >= 0 && !standardInput_) ::close(fd_);
}

qsizetype FileSource::Read(char* buffer, qsizetype size) {
    for (;;) {
        const ssize_t got = ::read(fd_, buffer, static_cast<size_t>(size));
        if (got >= 0) return got;
        if (errno == EINTR) continue;
        const int error = errno;
        throw ReadError{QStringLiteral("\"%1\" cannot be read: %2.").arg(name_, ErrorText(error))};
    }
}

qsizetype FileSource::ReadAt(std::int64_t offset, char* buffer, qsizetype size) {
    for (;;) {
        const ssize_t got = ::pread(fd_, buffer, static_cast<size_t>(size), offset);
        if (got >= 0) return got;
        if (errno == EINTR) continue;
        const int error = errno;
        throw ReadError{QStringLiteral("\"%1\" cannot be read: %2.").arg(name_, ErrorText(error))};
    }
}

// The bytes [from, to) fed into validator through read-only mappings, a window at a time;
// where a window cannot be mapped or a page of it is gone, how far it got.
std::int64_t FileSource::ValidateMapped(std::int64_t from, std::int64_t to,
                                        Utf8Validator& validator) {
    static const std::int64_t page = ::sysconf(_SC_PAGESIZE);
    const std::int64_t window = std::max<std::int64_t>((windowBytes_ + page - 1) / page, 1) * page;
    std::int64_t offset = from;
    while (offset < to && validator.valid()) {
        const std::int64_t end = std::min(offset / page * page + window, to);
        const Utf8Validator before = validator;
        if (!LookAt(offset, qsizetype(end - offset), [&](const char* bytes) {
                validator.Feed(QByteArrayView(bytes, qsizetype(end - offset)));
            })) {
            validator = before;
            break;
        }
        offset = end;
    }
    return offset;
}

Utf8Validator FileSource::ValidateFrom(std::int64_t offset, Utf8Validator validator,
                                       qsizetype block) {
    struct stat status {};
    if (!regular_ || ::fstat(fd_, &status) != 0)
        return ByteSource::ValidateFrom(offset, validator, block);
    CatchBusErrors();
    // With a core to spare, the second half is looked at on it: the look is as fast as the
    // memory gives bytes to one core, and nothing is printed before it ends.
    if (twoCores_ && status.st_size - offset >= twoCoresFrom_ && validator.Finish()) {
        std::int64_t middle = offset + (status.st_size - offset) / 2;
        // From a byte that starts a character: a valid text has one within three.
        char head[3] = {};
        const qsizetype got = ReadAt(middle, head, sizeof head);
        for (qsizetype k = 0; k < got && (static_cast<unsigned char>(head[k]) & 0xC0) == 0x80; ++k)
            ++middle;
        struct Half {
            std::int64_t from = 0, to = 0, reached = 0;
            Utf8Validator validator;
        };
        OrderedWorkQueue<Half> other(1, 1, [this](Half& half) {
            half.reached = ValidateMapped(half.from, half.to, half.validator);
        });
        if (other.threads() == 1) {
            Half second{middle, status.st_size, middle, Utf8Validator()};
            other.Push(std::move(second), [](Half&) {});
            Utf8Validator first = validator;
            const std::int64_t reached = ValidateMapped(offset, middle, first);
            other.TakeFinished(true, [&](Half& half) { second = std::move(half); });
            if (!first.valid()) return first;
            if (reached == middle && first.Finish()) {
                first.Then(second.validator);
                return ByteSource::ValidateFrom(second.reached, first, block);
            }
            // A page gone, or a character cut at the middle (no UTF-8 then): on from there.
            offset = reached;
            validator = first;
        }
    }
    offset = ValidateMapped(offset, status.st_size, validator);
    // What the mapping did not reach: the bytes from a page that was gone, or added since.
    return ByteSource::ValidateFrom(offset, validator, block);
}

bool FileSource::LookAt(std::int64_t offset, qsizetype size,
                        const std::function<void(const char*)>& look) {
    static const std::int64_t page = ::sysconf(_SC_PAGESIZE);
    struct stat status {};
    if (!regular_ || size <= 0 || ::fstat(fd_, &status) != 0 || offset + size > status.st_size)
        return false;
    CatchBusErrors();
    const std::int64_t start = offset / page * page;
    const auto length = static_cast<size_t>(offset + size - start);
    void* const map = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd_, start);
    if (map == MAP_FAILED) return false;
    if (onMapped_) onMapped_();
    // Unmapped at once: the pages looked at count as the program's memory while mapped.
    const bool whole = LookMapped(look, static_cast<const char*>(map) + (offset - start));
    ::munmap(map, length);
    return whole;
}

bool MemorySource::LookAt(std::int64_t offset, qsizetype size,
                          const std::function<void(const char*)>& look) {
    if (!readAhead_ || offset < 0 || offset + size > bytes_.size()) return false;
    look(bytes_.constData() + offset);
    return true;
}

qsizetype MemorySource::Read(char* buffer, qsizetype size) {
    const qsizetype n = std::min({size, block_, bytes_.size() - next_});
    std::memcpy(buffer, bytes_.constData() + next_, static_cast<size_t>(n));
    next_ += n;
    return n;
}

qsizetype MemorySource::ReadAt(std::int64_t offset, char* buffer, qsizetype size) {
    if (!readAhead_) return ByteSource::ReadAt(offset, buffer, size);
    const qsizetype from = std::min<qsizetype>(offset, bytes_.size());
    const qsizetype n = std::min(size, bytes_.size() - from);
    std::memcpy(buffer, bytes_.constData() + from, static_cast<size_t>(n));
    return n;
}

}  // namespace brintale::cli
