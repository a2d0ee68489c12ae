#pragma once

#include <QByteArray>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

#include "documents/document_format.h"

namespace brintale::documents {

// A document's text as UTF-8, pulled a block at a time while a thread of its own reads the
// document a few pieces ahead, so that memory stays small whatever the document inflates to.
class DocumentTextStream {
  public:
    DocumentTextStream(QByteArray nativePath, Format format);
    // Stops the reading where it is.
    ~DocumentTextStream();
    DocumentTextStream(const DocumentTextStream&) = delete;
    DocumentTextStream& operator=(const DocumentTextStream&) = delete;

    // Up to size bytes; 0 only at the end. Throws the reader's Failure once the text before
    // the fault is out.
    qsizetype Read(char* buffer, qsizetype size);

  private:
    void Produce(const QByteArray& nativePath, Format format);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<QByteArray> pieces_;
    qsizetype taken_ = 0;   // of the first piece
    qsizetype queued_ = 0;  // bytes of the pieces
    bool done_ = false;
    bool stopping_ = false;
    std::exception_ptr fault_;
    std::thread thread_;
};

}  // namespace brintale::documents
