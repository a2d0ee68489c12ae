#include "cli/ordered_output.h"

#include <cerrno>

namespace brintale::cli {

OrderedOutput::OrderedOutput(std::FILE* out, std::FILE* errors, int files, qsizetype keepLimit,
                             std::function<void(int)> onFailure)
    : out_(out),
      errors_(errors),
      keepLimit_(keepLimit),
      slots_(static_cast<std::size_t>(files)),
      onFailure_(std::move(onFailure)) {}

void OrderedOutput::Failed(int error) {
    if (failed_) return;
    failed_ = true;
    error_ = error != 0 ? error : EIO;
    if (onFailure_) onFailure_(error_);
}

void OrderedOutput::Emit(bool error, QByteArrayView bytes) {
    const auto size = static_cast<size_t>(bytes.size());
    if (error) {
        // A message goes after the output written before it.
        errno = 0;
        if (!failed_ && std::fflush(out_) != 0) Failed(errno);
        std::fwrite(bytes.data(), 1, size, errors_);
        return;
    }
    // Read errno at once: the next call may change it.
    errno = 0;
    if (!failed_ && std::fwrite(bytes.data(), 1, size, out_) != size) Failed(errno);
}

void OrderedOutput::Write(int file, QByteArrayView bytes) {
    if (bytes.isEmpty()) return;
    std::unique_lock lock(mutex_);
    Slot& slot = slots_[static_cast<std::size_t>(file)];
    if (file == turn_ || failed_) {
        Emit(false, bytes);
        return;
    }
    slot.kept.push_back(Piece{false, bytes.toByteArray()});
    slot.keptBytes += bytes.size();
    turnChanged_.wait(lock, [&] { return slot.keptBytes <= keepLimit_ || file == turn_; });
}

void OrderedOutput::Error(int file, QByteArrayView line) {
    std::unique_lock lock(mutex_);
    if (file == turn_)
        Emit(true, line);
    else
        slots_[static_cast<std::size_t>(file)].kept.push_back(Piece{true, line.toByteArray()});
}

void OrderedOutput::Finish(int file) {
    std::unique_lock lock(mutex_);
    slots_[static_cast<std::size_t>(file)].done = true;
    if (file == turn_) Advance();
}

void OrderedOutput::Advance() {
    while (turn_ < int(slots_.size()) && slots_[static_cast<std::size_t>(turn_)].done) {
        ++turn_;
        if (turn_ == int(slots_.size())) break;
        Slot& next = slots_[static_cast<std::size_t>(turn_)];
        for (const Piece& piece : next.kept) Emit(piece.error, piece.bytes);
        next.kept.clear();
        next.keptBytes = 0;
    }
    turnChanged_.notify_all();
}

bool OrderedOutput::ok() const {
    std::unique_lock lock(mutex_);
    return !failed_;
}

int OrderedOutput::error() const {
    std::unique_lock lock(mutex_);
    return error_;
}

}  // namespace brintale::cli
