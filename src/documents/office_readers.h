#pragma once

#include "documents/text_out.h"
#include "documents/zip_archive.h"

namespace brintale::documents {

// Breaks character data longer than a limit with an empty comment, which is no text, so that
// no text token of the XML reader grows without bound (it holds a token whole). Never within
// a tag, a reference or a UTF-8 sequence.
class XmlTextSplitter {
  public:
    explicit XmlTextSplitter(qsizetype limit) : limit_(limit) {}
    void Filter(QByteArrayView in, QByteArray& out);

  private:
    qsizetype limit_;
    qsizetype run_ = 0;  // bytes of character data since the last markup
    bool inMarkup_ = false;
    bool inReference_ = false;
};

// The body of an Office Open XML text document, then its footnotes and endnotes.
void ReadDocx(const ZipArchive& archive, TextOut& out);
// The body of an OpenDocument text, then its notes.
void ReadOdt(const ZipArchive& archive, TextOut& out);
// The documents of an e-book's spine, in order.
void ReadEpub(const ZipArchive& archive, TextOut& out);

// Word's XML of a body or of its notes (what ReadDocx reads from each part).
void ReadWordXml(ByteStream& stream, const QString& part, TextOut& out);
// OpenDocument's content XML; notes go to their own output, to follow the body.
void ReadOdfXml(ByteStream& stream, const QString& part, TextOut& out, TextOut& notes);

}  // namespace brintale::documents
