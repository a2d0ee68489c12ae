#pragma once

#include <QByteArray>

#include "documents/document_format.h"
#include "documents/intake.h"
#include "documents/text_out.h"

namespace brintale::documents {

// The text a reader sees of the document at nativePath (the file system's bytes of its
// name), handed to sink a piece at a time. Throws Failure whose description is the cause
// ("it is protected by a password"), without the file's name; never for Format::Text, which
// it does not read.
void ReadDocument(const QByteArray& nativePath, Format format, const TextSink& sink,
                  const ReadOptions& options = {});

// The same on a document in memory.
void ReadDocumentBytes(QByteArrayView bytes, Format format, const TextSink& sink,
                       const ReadOptions& options = {});

}  // namespace brintale::documents
