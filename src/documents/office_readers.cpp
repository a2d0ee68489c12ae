#include "documents/office_readers.h"

#include <QDir>
#include <QRegularExpression>
#include <QUrl>
#include <QXmlStreamReader>
#include <cstring>
#include <map>
#include <vector>

#include "core/failure.h"
#include "documents/html_reader.h"

namespace brintale::documents {

namespace {

// Expanded entities past this many characters stop the reading: a document's own entities
// are few and short, so only a bomb reaches it.
constexpr int kEntityExpansionLimit = 64 * 1024;

// Text tokens are at most about this long.
constexpr qsizetype kLongestText = 256 * 1024;

// QXmlStreamReader fed a block at a time, so that an entry that inflates to gigabytes is
// read in fixed memory. It resolves no external entity: no file outside the document is read.
class XmlPull {
  public:
    XmlPull(ByteStream& stream, QString part)
        : stream_(stream), part_(std::move(part)), block_(64 * 1024), splitter_(kLongestText) {
        xml_.setNamespaceProcessing(true);
        xml_.setEntityExpansionLimit(kEntityExpansionLimit);
    }

    // The next token; EndDocument at the end. Throws Failure on broken XML.
    QXmlStreamReader::TokenType Next() {
        for (;;) {
            const auto token = xml_.readNext();
            if (token == QXmlStreamReader::EndDocument) return token;
            if (token != QXmlStreamReader::Invalid) return token;
            if (xml_.error() != QXmlStreamReader::PrematureEndOfDocumentError || ended_)
                throw Failure(QStringLiteral("its part %1 is not well-formed XML (line %2: %3)")
                                  .arg(part_)
                                  .arg(xml_.lineNumber())
                                  .arg(xml_.errorString()));
            const qsizetype got =
                stream_.Read(block_.data(), static_cast<qsizetype>(block_.size()));
            if (got == 0) {
                ended_ = true;
                xml_.addData(QByteArray());
            } else {
                filtered_.clear();
                splitter_.Filter(QByteArrayView(block_.data(), got), filtered_);
                xml_.addData(filtered_);
            }
        }
    }
    QXmlStreamReader& xml() { return xml_; }

  private:
    ByteStream& stream_;
    QString part_;
    std::vector<char> block_;
    XmlTextSplitter splitter_;
    QByteArray filtered_;
    QXmlStreamReader xml_;
    bool ended_ = false;
};

const QString kWordNs =
    QStringLiteral("http://schemas.openxmlformats.org/wordprocessingml/2006/main");

// The separators that Word keeps among the notes are no note.
bool IsSeparatorNote(const QXmlStreamReader& xml) {
    const auto type = xml.attributes().value(kWordNs, QStringLiteral("type"));
    return !type.isEmpty() && type != u"normal";
}

bool IsOff(QStringView value) { return value == u"0" || value == u"false" || value == u"off"; }

// Directory of a part inside the archive, "" for the root.
QString Folder(const QString& part) {
    const qsizetype slash = part.lastIndexOf(u'/');
    return slash < 0 ? QString() : part.left(slash + 1);
}

// A relative reference from a part, as a name in the archive.
QString Resolve(const QString& base, const QString& href) {
    QString target = QUrl::fromPercentEncoding(href.section(u'#', 0, 0).toUtf8());
    if (target.startsWith(u'/')) return target.mid(1);
    return QDir::cleanPath(Folder(base) + target);
}

}  // namespace

void XmlTextSplitter::Filter(QByteArrayView in, QByteArray& out) {
    out.reserve(out.size() + in.size() + 16);
    qsizetype from = 0;
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (inMarkup_) {
            if (c == '>') {
                inMarkup_ = false;
                run_ = 0;
            }
            continue;
        }
        if (c == '<') {
            inMarkup_ = true;
            inReference_ = false;
            continue;
        }
        if (c == '&')
            inReference_ = true;
        else if (c == ';')
            inReference_ = false;
        const bool sequenceStart = (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        if (++run_ > limit_ && sequenceStart && !inReference_ && c != ';') {
            out.append(in.sliced(from, i - from));
            out.append("<!---->");
            from = i;
            run_ = 1;
        }
    }
    out.append(in.sliced(from));
}

void ReadWordXml(ByteStream& stream, const QString& part, TextOut& out) {
    XmlPull pull(stream, part);
    auto& xml = pull.xml();
    int skip = 0;  // depth inside what no reader sees
    bool inText = false;
    bool inRunProperties = false;
    bool hiddenRun = false;
    for (auto token = pull.Next(); token != QXmlStreamReader::EndDocument; token = pull.Next()) {
        if (token == QXmlStreamReader::StartElement) {
            const QStringView name = xml.name();
            if (skip > 0) {
                ++skip;
                continue;
            }
            if (name == u"del" || name == u"moveFrom" || name == u"instrText" ||
                name == u"delText" || name == u"pPr" || name == u"sectPr" || name == u"Fallback" ||
                name == u"tblPr" || name == u"trPr" || name == u"tcPr" || name == u"rPrChange" ||
                name == u"pPrChange" || name == u"sym" ||
                ((name == u"footnote" || name == u"endnote") && IsSeparatorNote(xml))) {
                skip = 1;
                continue;
            }
            if (name == u"r") {
                hiddenRun = false;
            } else if (name == u"rPr") {
                inRunProperties = true;
            } else if (inRunProperties && (name == u"vanish" || name == u"webHidden")) {
                const auto value = xml.attributes().value(kWordNs, QStringLiteral("val"));
                hiddenRun = !IsOff(value);
            } else if (hiddenRun) {
                // Everything of a hidden run is hidden.
            } else if (name == u"t") {
                inText = true;
            } else if (name == u"tab" && !inRunProperties) {
                out.Text(u"\t");
            } else if (name == u"br") {
                const auto type = xml.attributes().value(kWordNs, QStringLiteral("type"));
                if (type.isEmpty() || type == u"textWrapping") out.LineBreak();
            } else if (name == u"cr") {
                out.LineBreak();
            } else if (name == u"noBreakHyphen") {
                out.Text(u"-");
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (skip > 0) {
                --skip;
                continue;
            }
            const QStringView name = xml.name();
            if (name == u"t") {
                inText = false;
            } else if (name == u"rPr") {
                inRunProperties = false;
            } else if (name == u"r") {
                hiddenRun = false;
            } else if (name == u"p") {
                out.EndBlock();
            }
        } else if (token == QXmlStreamReader::Characters) {
            if (skip == 0 && inText && !hiddenRun) out.Text(xml.text());
        }
    }
}

void ReadDocx(const ZipArchive& archive, TextOut& out) {
    // The main part is named by the content types; Word always calls it word/document.xml.
    QString main = QStringLiteral("word/document.xml");
    QString footnotes = QStringLiteral("word/footnotes.xml");
    QString endnotes = QStringLiteral("word/endnotes.xml");
    if (archive.Contains(QStringLiteral("[Content_Types].xml"))) {
        const QString types =
            QString::fromUtf8(archive.ReadSmall(QStringLiteral("[Content_Types].xml")));
        static const QRegularExpression part(QStringLiteral(
            R"re(PartName="/([^"]+)"\s+ContentType="[^"]*wordprocessingml\.(document\.main|template\.main|footnotes|endnotes)\+xml")re"));
        for (auto it = part.globalMatch(types); it.hasNext();) {
            const auto match = it.next();
            const QString kind = match.captured(2);
            if (kind.endsWith(u"main"))
                main = match.captured(1);
            else if (kind == u"footnotes")
                footnotes = match.captured(1);
            else
                endnotes = match.captured(1);
        }
    }
    if (!archive.Contains(main))
        throw Failure(QStringLiteral("it holds no text document (no %1)").arg(main));
    for (const QString& name : {main, footnotes, endnotes}) {
        if (name != main && !archive.Contains(name)) continue;
        auto stream = archive.Open(name);
        ReadWordXml(*stream, name, out);
        out.EndBlock();
    }
    out.Flush();
}

void ReadOdfXml(ByteStream& stream, const QString& part, TextOut& out, TextOut& notes) {
    XmlPull pull(stream, part);
    auto& xml = pull.xml();
    const QString textNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:text:1.0");
    int skip = 0;
    int paragraphs = 0;   // depth of text:p and text:h
    int noteBodies = 0;   // inside a note's body, whose text goes after the body
    bool inBody = false;  // office:text
    const auto target = [&]() -> TextOut& { return noteBodies > 0 ? notes : out; };
    for (auto token = pull.Next(); token != QXmlStreamReader::EndDocument; token = pull.Next()) {
        if (token == QXmlStreamReader::StartElement) {
            const QStringView name = xml.name();
            const QStringView ns = xml.namespaceUri();
            if (skip > 0) {
                ++skip;
                continue;
            }
            if (!inBody) {
                if (name == u"text" && ns.endsWith(u"office:1.0")) inBody = true;
                continue;
            }
            const auto attributes = xml.attributes();
            if (name == u"tracked-changes" || name == u"annotation" || name == u"hidden-text" ||
                name == u"note-citation" || name == u"sequence-decls" ||
                name == u"variable-decls" || name == u"user-field-decls" || name == u"forms" ||
                name == u"desc" || name == u"title" ||
                (name == u"hidden-paragraph" &&
                 !IsOff(attributes.value(textNs, QStringLiteral("is-hidden")))) ||
                attributes.value(textNs, QStringLiteral("display")) == u"none") {
                skip = 1;
                continue;
            }
            if (name == u"p" || name == u"h") {
                ++paragraphs;
            } else if (name == u"note-body") {
                ++noteBodies;
            } else if (name == u"tab") {
                target().Text(u"\t");
            } else if (name == u"line-break") {
                target().LineBreak();
            } else if (name == u"s") {
                bool ok = false;
                const int count = attributes.value(textNs, QStringLiteral("c")).toInt(&ok);
                target().Text(QString(ok && count > 0 ? std::min(count, 1024) : 1, u' '));
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (skip > 0) {
                --skip;
                continue;
            }
            const QStringView name = xml.name();
            if (name == u"text" && xml.namespaceUri().endsWith(u"office:1.0")) {
                inBody = false;
            } else if (inBody && (name == u"p" || name == u"h")) {
                --paragraphs;
                target().EndBlock();
            } else if (inBody && name == u"note-body") {
                --noteBodies;
            }
        } else if (token == QXmlStreamReader::Characters) {
            if (skip == 0 && inBody && paragraphs > 0) target().FlowingText(xml.text());
        }
    }
}

void ReadOdt(const ZipArchive& archive, TextOut& out) {
    const QString manifest = QStringLiteral("META-INF/manifest.xml");
    if (archive.Contains(manifest) && archive.ReadSmall(manifest).contains("encryption-data"))
        throw Failure(QStringLiteral("it is protected by a password"));
    // The notes wait for the end of the body.
    HeldText held;
    TextOut notes([&](QStringView piece) { held.Add(piece); });
    auto stream = archive.Open(QStringLiteral("content.xml"));
    ReadOdfXml(*stream, QStringLiteral("content.xml"), out, notes);
    out.EndBlock();
    notes.Flush();
    held.WriteTo(out);
    out.EndBlock();
    out.Flush();
}

void ReadEpub(const ZipArchive& archive, TextOut& out) {
    const QByteArray container = archive.ReadSmall(QStringLiteral("META-INF/container.xml"));
    static const QRegularExpression rootfile(QStringLiteral(R"re(full-path\s*=\s*"([^"]+)")re"));
    const auto root = rootfile.match(QString::fromUtf8(container));
    if (!root.hasMatch()) throw Failure(QStringLiteral("its container names no package"));
    const QString package = root.captured(1);

    // The manifest names the documents, the spine orders them.
    std::map<QString, QString> items;
    std::vector<QString> spine;
    {
        auto stream = archive.Open(package);
        XmlPull pull(*stream, package);
        auto& xml = pull.xml();
        for (auto token = pull.Next(); token != QXmlStreamReader::EndDocument;
             token = pull.Next()) {
            if (token != QXmlStreamReader::StartElement) continue;
            const auto attributes = xml.attributes();
            if (xml.name() == u"item")
                items[attributes.value(QStringLiteral("id")).toString()] =
                    attributes.value(QStringLiteral("href")).toString();
            else if (xml.name() == u"itemref")
                spine.push_back(attributes.value(QStringLiteral("idref")).toString());
        }
    }
    const QString encryption = QStringLiteral("META-INF/encryption.xml");
    QByteArray encrypted;
    if (archive.Contains(encryption)) encrypted = archive.ReadSmall(encryption);
    for (const QString& id : spine) {
        const auto item = items.find(id);
        if (item == items.end()) continue;
        const QString name = Resolve(package, item->second);
        if (encrypted.contains(("URI=\"" + item->second).toUtf8()) ||
            encrypted.contains(("URI=\"" + name).toUtf8()))
            throw Failure(QStringLiteral("it is protected by encryption (its part %1)").arg(name));
        auto stream = archive.Open(name);
        ReadHtml(*stream, out);
    }
    out.EndBlock();
    out.Flush();
}

}  // namespace brintale::documents
