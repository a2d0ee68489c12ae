#include "documents/document_stream.h"

#include <algorithm>
#include <cstring>

#include "core/failure.h"
#include "documents/document_reader.h"

namespace brintale::documents {

namespace {

// A few pieces ahead keep both threads busy; a paragraph may come as one large piece, so
// what waits is bounded in bytes.
constexpr qsizetype kBytesAhead = 2 * 1024 * 1024;

struct Stopped {};

}  // namespace

DocumentTextStream::DocumentTextStream(QByteArray nativePath, Format format)
    : thread_([this, path = std::move(nativePath), format] { Produce(path, format); }) {}

DocumentTextStream::~DocumentTextStream() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void DocumentTextStream::Produce(const QByteArray& nativePath, Format format) {
    try {
        ReadDocument(nativePath, format, [this](QStringView piece) {
            QByteArray bytes = piece.toUtf8();
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || queued_ < kBytesAhead; });
            if (stopping_) throw Stopped();
            queued_ += bytes.size();
            pieces_.push_back(std::move(bytes));
            lock.unlock();
            changed_.notify_all();
        });
    } catch (const Stopped&) {
    } catch (...) {
        std::lock_guard lock(mutex_);
        fault_ = std::current_exception();
    }
    {
        std::lock_guard lock(mutex_);
        done_ = true;
    }
    changed_.notify_all();
}

qsizetype DocumentTextStream::Read(char* buffer, qsizetype size) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return done_ || !pieces_.empty(); });
    if (pieces_.empty()) {
        if (fault_) {
            const auto fault = fault_;
            fault_ = nullptr;
            std::rethrow_exception(fault);
        }
        return 0;
    }
    const QByteArray& first = pieces_.front();
    const qsizetype n = std::min(size, first.size() - taken_);
    std::memcpy(buffer, first.constData() + taken_, static_cast<size_t>(n));
    taken_ += n;
    if (taken_ == first.size()) {
        queued_ -= first.size();
        pieces_.pop_front();
        taken_ = 0;
        lock.unlock();
        changed_.notify_all();
    }
    return n;
}

}  // namespace brintale::documents
