#pragma once

#include "documents/text_out.h"
#include "documents/zip_archive.h"

namespace brintale::documents {

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
