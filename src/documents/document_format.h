#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <optional>

namespace brintale::documents {

// What a file holds. Text is everything that is no document: read as the window always read it.
enum class Format { Text, Docx, Odt, Html, Markdown, Epub, Pdf };

// "text", "docx", "odt", "html", "md", "epub", "pdf".
QString FormatName(Format format);
std::optional<Format> FormatFromName(QStringView name);

// The format by the file's content: a ZIP's content types or mimetype entry, "%PDF-", an
// HTML document; Markdown by the name's ending. A file that cannot be read is Text, whose
// reading then names the fault. It opens a ZIP (with the readers' libraries).
Format DetectFormat(const QByteArray& nativePath);

// The same where the first bytes tell it, without those libraries: nullopt for a ZIP whose
// kind only the archive's entries tell.
std::optional<Format> DetectFormatByHead(const QByteArray& nativePath);

// The same on the first bytes of a file and its name (ZIP formats need the whole file).
Format DetectFormatOfBytes(const QByteArray& bytes, QStringView fileName);

// Whether bytes start as a ZIP does.
bool LooksLikeZip(QByteArrayView head);
// Whether bytes start as a compound file does: what word processors make of an OOXML
// document that a password protects.
bool LooksLikeCompoundFile(QByteArrayView head);

}  // namespace brintale::documents
