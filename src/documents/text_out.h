#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QTemporaryFile>
#include <functional>

namespace brintale::documents {

// Receives a document's text a piece at a time, in reading order.
using TextSink = std::function<void(QStringView)>;

// Where a reader's bytes come from: a file, a ZIP entry, memory. Read gives 0 only at the end
// and throws Failure on a fault.
class ByteStream {
  public:
    virtual ~ByteStream() = default;
    virtual qsizetype Read(char* buffer, qsizetype size) = 0;
};

// Holds a copy, so that a temporary may be given.
class MemoryStream : public ByteStream {
  public:
    explicit MemoryStream(QByteArrayView bytes) : bytes_(bytes.toByteArray()) {}
    qsizetype Read(char* buffer, qsizetype size) override;

  private:
    QByteArray bytes_;
    qsizetype next_ = 0;
};

// The text as a reader sees it, gathered into pieces for the sink. Blocks (headings,
// paragraphs, list items, cells) end with one line break, never an empty line between them.
class TextOut {
  public:
    explicit TextOut(TextSink sink) : sink_(std::move(sink)) {}
    ~TextOut() = default;
    TextOut(const TextOut&) = delete;
    TextOut& operator=(const TextOut&) = delete;

    // Text as it stands (line breaks and tabs included).
    void Text(QStringView text);
    // Text whose runs of white space are one space, none at a line's start (HTML's rule).
    void FlowingText(QStringView text);
    // A line break unless the last one ended a line already.
    void EndBlock();
    void LineBreak() { Text(u"\n"); }
    // Hands the rest to the sink.
    void Flush();
    bool atLineStart() const { return atLineStart_; }

  private:
    TextSink sink_;
    QString buffer_;
    bool atLineStart_ = true;
    bool pendingSpace_ = false;
};

// Text that waits for the end of the body (notes): in memory up to a few megabytes, beyond
// that in a temporary file, so that memory stays small whatever the notes hold.
class HeldText {
  public:
    // Throws Failure when the temporary file has no room.
    void Add(QStringView piece);
    // Hands all of it to out, in order.
    void WriteTo(TextOut& out);

  private:
    QString text_;
    QTemporaryFile spill_;
};

}  // namespace brintale::documents
