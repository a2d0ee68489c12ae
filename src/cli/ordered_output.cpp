#include "cli/ordered_output.h"

namespace brintale::cli {

OrderedOutput::OrderedOutput(std::FILE* out, std::FILE* errors, int files, qsizetype keepLimit)
    : out_(out), errors_(errors), keepLimit_(keepLimit), slots_(static_cast<std::size_t>(files)) {}

void OrderedOutput::Emit(bool error, QByteArrayView bytes) {
    const auto size = static_cast<size_t>(bytes.size());
    if (error) {
        // A message goes after the output written before it.
        std::fflush(out_);
        std::fwrite(bytes.data(), 1, size, errors_);
        return;
    }
    if (!failed_ && std::fwrite(bytes.data(), 1, size, out_) != size) failed_ = true;
}

void OrderedOutput::Write(int file, QByteArrayView bytes) {
    if (bytes.isEmpty()) return;
    std::unique_lock lock(mutex_);
    Slot& slot = slots_[static_cast<std::size_t>(file)];
    if (file == turn_) {
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

}  // namespace brintale::cli
