#pragma once

#include <QtGlobal>
#include <functional>
#include <optional>

namespace brintale::documents {

// What a caller that holds all of a document's text asks of its reading.
struct ReadOptions {
    // The most bytes the reading may take in: the file's, or the inflated bytes of the ZIP
    // entries it reads. A file or entry whose size says it would pass it is refused before a
    // byte of it is read; one that inflates past what it said, as soon as it does.
    std::optional<quint64> inputLimit;
    // How far the reading has come: done of total, in a unit of the format's own (bytes,
    // pages); called on the caller's thread now and then. What it throws stops the reading.
    std::function<void(quint64 done, quint64 total)> progress;
};

// Keeps the count of what a reading takes in against its options.
class Intake {
  public:
    explicit Intake(const ReadOptions& options) : options_(options) {}

    // More bytes the reading is to take in, for the progress's total.
    void Expect(quint64 bytes) { expected_ += bytes; }
    // Bytes about to be read, as the file or entry says: throws Failure when they would
    // pass the limit.
    void Declare(quint64 bytes) const;
    // Bytes read: throws Failure once past the limit.
    void Take(quint64 bytes);

  private:
    const ReadOptions& options_;
    quint64 expected_ = 0;
    quint64 taken_ = 0;
};

}  // namespace brintale::documents
