// The readers on documents small enough to read in a table; whole files of every format are
// built and counted by check_documents.py.
#include <gtest/gtest.h>
#include <zip.h>

#include <QBuffer>
#include <QTemporaryDir>

#include "core/failure.h"
#include "documents/document_format.h"
#include "documents/document_reader.h"
#include "documents/document_stream.h"
#include "documents/html_reader.h"
#include "documents/markdown_reader.h"
#include "documents/office_readers.h"
#include "documents/pdf_reader.h"

// Failures show the text, not its code units.
void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace brintale::documents {
namespace {

using namespace Qt::StringLiterals;

QString Html(const QByteArray& bytes) {
    QString text;
    TextOut out([&](QStringView piece) { text += piece; });
    MemoryStream stream(bytes);
    ReadHtml(stream, out);
    return text;
}

TEST(Html, GivesTheTextABrowserShows) {
    const struct {
        const char* html;
        const char16_t* text;
    } cases[] = {
        {"<p>One</p><p>Two</p>", u"One\nTwo\n"},
        {"<h1>Title</h1>text", u"Title\ntext\n"},
        {"<p>a\n   b\t c</p>", u"a b c\n"},  // white space collapses
        {"<p>line<br>next<br/>end</p>", u"line\nnext\nend\n"},
        {"<ul><li>one</li><li>two</ul>", u"one\ntwo\n"},
        {"<table><tr><td>a</td><td>b</td></tr></table>", u"a\nb\n"},
        {"<pre>\nx\ty\n  z</pre>", u"x\ty\n  z\n"},  // pre keeps it, first break dropped
        {"<head><title>T</title><style>p{}</style></head><p>x</p>", u"x\n"},
        {"<script>if (a < b) document.write('<p>no</p>')</script>yes", u"yes\n"},
        {"a<!-- <p>hidden</p> -->b", u"ab\n"},
        {"<div hidden><p>no</p><div>no</div></div>yes", u"yes\n"},
        {"<p style='display: none'>no</p><p>yes</p>", u"yes\n"},
        {"<b>bold</b> and <i>it</i>alic", u"bold and italic\n"},
        {"&lt;a&gt; &amp; &eacute;&#233;&#xE9; &nbsp;x &unknown; &",
         u"<a> & ééé \u00A0x &unknown; &\n"},
        {"a < b and c<d", u"a < b and c<d\n"},  // no tag: text
        {"<p title=\"a > b\">x</p>", u"x\n"},   // > inside a quoted value
        {"<![CDATA[<raw>]]>", u"<raw>\n"},
        {"", u""},
    };
    for (const auto& c : cases) EXPECT_EQ(Html(c.html), QString::fromUtf16(c.text)) << c.html;
}

// A block boundary falls anywhere: inside a tag, a reference, a comment or a script's end.
TEST(Html, ReadsAcrossBlockBoundaries) {
    const QByteArray unit = "<p>caf&eacute; <!-- x --><script>a</script>ok</p>";
    const QByteArray html = unit.repeated(20000);  // beyond one block of the reader
    const QString text = Html(html);
    EXPECT_EQ(text, u"café ok\n"_s.repeated(20000));
}

TEST(Html, EncodingComesFromTheMarkOrTheMeta) {
    const struct {
        QByteArray head;
        QByteArray encoding;
    } cases[] = {
        {"<meta charset=\"iso-8859-1\">", "windows-1252"},
        {"<meta http-equiv=Content-Type content='text/html; charset=Shift_JIS'>", "Shift_JIS"},
        {"\xEF\xBB\xBF<meta charset=latin1>", "UTF-8"},
        {"\xFF\xFE<\0", "UTF-16LE"},
        {"<meta charset=no-such-thing>", "UTF-8"},
        {"<p>", "UTF-8"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SniffHtmlEncoding(c.head), c.encoding) << c.head.constData();
    EXPECT_EQ(Html("<meta charset=iso-8859-1><p>caf\xE9 \x80</p>"), u"café €\n"_s);
}

QString Markdown(const QByteArray& bytes) {
    QString text;
    TextOut out([&](QStringView piece) { text += piece; });
    MemoryStream stream(bytes);
    ReadMarkdown(stream, out);
    return text;
}

TEST(Markdown, GivesTheTextAsRendered) {
    const struct {
        const char* markdown;
        const char16_t* text;
    } cases[] = {
        {"# Title\n\nOne\ntwo.\n", u"Title\nOne two.\n"},  // a soft break is a space
        {"hard  \nbreak\\\nagain", u"hard\nbreak\nagain\n"},
        {"- a\n- b\n  - c\n\n1. d", u"a\nb\nc\nd\n"},
        {"| x | y |\n|---|---|\n| 1 | 2 |", u"x\ny\n1\n2\n"},
        {"*em* **strong** `code` [link](http://x) ![alt](i.png)", u"em strong code link alt\n"},
        {"<!-- comment -->\n\ntext <span>in</span> html", u"text in html\n"},
        {"---\ntitle: meta\n---\nbody", u"body\n"},  // metadata is no text
        {"```\ncode\n\nblock\n```", u"code\n\nblock\n"},
        {"&copy; &amp; &#65;", u"© & A\n"},
        {"tab\there", u"tab\there\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Markdown(c.markdown), QString::fromUtf16(c.text)) << c.markdown;
}

// Notes come after the body, in the order written; their references are left out.
TEST(Markdown, FootnotesComeAfterTheBody) {
    const struct {
        const char* markdown;
        const char16_t* text;
    } cases[] = {
        {"A claim[^1] and more[^x].\n\n[^1]: First note.\n    Goes on.\n\n[^x]: Second.\n\nAfter.",
         u"A claim and more.\nAfter.\nFirst note. Goes on.\nSecond.\n"},
        {"[^n]: One.\n\n    Two.\n\n- item[^n]", u"item\nOne.\nTwo.\n"},
        // A definition ends the paragraph before it, and the one after it ends the note.
        {"Text[^a].\n[^a]: Note.\n\nMore.", u"Text.\nMore.\nNote.\n"},
        {"```\n[^a]: code\n```\n\n`x[^a]` [^ a]: no", u"[^a]: code\nx[^a] [^ a]: no\n"},
        {"Say[^b].\n\n[^b]: Note with a **mark**[^c] in it.\n\n[^c]: Inner.",
         u"Say.\nNote with a mark in it.\nInner.\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Markdown(c.markdown), QString::fromUtf16(c.text)) << c.markdown;
    // Across the runs of a long document, and more notes than are held in memory.
    const QByteArray note = QByteArray("Note text. ").repeated(9);
    EXPECT_EQ(Markdown(("Body[^n].\n\n[^n]: " + note + "\n\n").repeated(45000)),
              u"Body.\n"_s.repeated(45000) +
                  (QString::fromLatin1(note).chopped(1) + u'\n').repeated(45000));
}

TEST(Markdown, RunsEndAtABlankLineOutsideAFence) {
    const struct {
        const char* text;
        bool fenceBefore;
        qsizetype cut;
        bool fenceAfter;
    } cases[] = {
        {"a\n\nb\n", false, 3, false},
        {"a\n\nb\n\nc", false, 6, false},
        {"```\na\n\nb\n", false, 0, false},  // the blank line is code
        {"a\n\n```\nb\n\nc", false, 3, false},
        {"a\n```\n\nb\n", true, 7, false},  // the run began inside a fence
        {"no blank line", false, 0, false},
    };
    for (const auto& c : cases) {
        bool fence = c.fenceBefore;
        EXPECT_EQ(MarkdownCut(c.text, fence), c.cut) << c.text;
        EXPECT_EQ(fence, c.fenceAfter) << c.text;
    }
    // A long document parsed a run at a time reads as one.
    const QByteArray paragraph = "A sentence\nwrapped.\n\n```\nfenced\n\ncode\n```\n\n";
    EXPECT_EQ(Markdown(paragraph.repeated(60000)),
              u"A sentence wrapped.\nfenced\n\ncode\n"_s.repeated(60000));
}

QString Word(const QByteArray& body) {
    QString text;
    TextOut out([&](QStringView piece) { text += piece; });
    MemoryStream stream(
        "<w:document xmlns:w=\"http://schemas.openxmlformats.org/"
        "wordprocessingml/2006/main\"><w:body>" +
        body + "</w:body></w:document>");
    ReadWordXml(stream, u"word/document.xml"_s, out);
    out.Flush();
    return text;
}

TEST(Word, GivesTheTextAReaderSees) {
    const struct {
        const char* xml;
        const char16_t* text;
    } cases[] = {
        {"<w:p><w:r><w:t>One</w:t></w:r><w:r><w:t xml:space='preserve'> two</w:t></w:r></w:p>",
         u"One two\n"},
        {"<w:p><w:r><w:t>a</w:t><w:br/><w:t>b</w:t><w:tab/><w:t>c</w:t></w:r></w:p>", u"a\nb\tc\n"},
        {"<w:p><w:r><w:t>page</w:t><w:br w:type='page'/><w:t>on</w:t></w:r></w:p>", u"pageon\n"},
        // Tab stops of the paragraph's properties are no tabs.
        {"<w:p><w:pPr><w:tabs><w:tab w:val='left' w:pos='720'/></w:tabs></w:pPr>"
         "<w:r><w:t>x</w:t></w:r></w:p>",
         u"x\n"},
        {"<w:p><w:del><w:r><w:delText>gone</w:delText></w:r></w:del><w:ins><w:r><w:t>new</w:t>"
         "</w:r></w:ins></w:p>",
         u"new\n"},
        {"<w:p><w:r><w:rPr><w:vanish/></w:rPr><w:t>hidden</w:t></w:r><w:r><w:t>shown</w:t>"
         "</w:r></w:p>",
         u"shown\n"},
        {"<w:p><w:r><w:rPr><w:vanish w:val='0'/></w:rPr><w:t>shown</w:t></w:r></w:p>", u"shown\n"},
        {"<w:p><w:r><w:instrText>PAGE</w:instrText></w:r><w:r><w:t>3</w:t></w:r></w:p>", u"3\n"},
        {"<w:tbl><w:tr><w:tc><w:p><w:r><w:t>a</w:t></w:r></w:p></w:tc><w:tc><w:p><w:r><w:t>b"
         "</w:t></w:r></w:p></w:tc></w:tr></w:tbl>",
         u"a\nb\n"},
        {"<w:p><w:r><w:t>x</w:t><w:noBreakHyphen/><w:t>y</w:t></w:r></w:p>", u"x-y\n"},
        {"<w:p/><w:p></w:p>", u""},
    };
    for (const auto& c : cases) EXPECT_EQ(Word(c.xml), QString::fromUtf16(c.text)) << c.xml;
}

TEST(Word, BrokenOrExpandingXmlIsRefused) {
    const struct {
        QByteArray xml;
        const char* cause;
    } cases[] = {
        {"<w:p><w:r><w:t>cut", "is not well-formed XML"},
        {"<w:p></w:r>", "is not well-formed XML"},
    };
    for (const auto& c : cases) {
        try {
            Word(c.xml);
            ADD_FAILURE() << c.xml.constData();
        } catch (const Failure& failure) {
            EXPECT_TRUE(failure.description().contains(QLatin1StringView(c.cause)))
                << failure.description().toStdString();
        }
    }
}

TEST(Word, LongTextIsSplitOutsideTagsReferencesAndSequences) {
    const struct {
        QByteArray in;
        QByteArray out;
    } cases[] = {
        {"<a>abcdef</a>", "<a>abcd<!---->ef</a>"},
        {"<a b='123456789'>x</a>", "<a b='123456789'>x</a>"},  // never in a tag
        {"<a>abc&amp;def</a>", "<a>abc&amp;<!---->def</a>"},   // nor in a reference
        {"<a>ab\xC3\xA9\xC3\xA9"
         "cd</a>",
         "<a>ab\xC3\xA9<!---->\xC3\xA9"
         "cd</a>"},
        {"<a>abcd</a><b>abcd</b>", "<a>abcd</a><b>abcd</b>"},  // every text starts afresh
    };
    for (const auto& c : cases) {
        // Fed a byte at a time, as blocks may end anywhere.
        XmlTextSplitter splitter(4);
        QByteArray out;
        for (char byte : c.in) splitter.Filter(QByteArrayView(&byte, 1), out);
        EXPECT_EQ(out, c.out) << c.in.constData();
    }
    // Split text reads as it did.
    QString text;
    TextOut out([&](QStringView piece) { text += piece; });
    const QByteArray words = QByteArray("caf\xC3\xA9 &amp; words. ").repeated(100000);
    MemoryStream stream(
        "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/"
        "2006/main\"><w:body><w:p><w:r><w:t>" +
        words + "</w:t></w:r></w:p></w:body></w:document>");
    ReadWordXml(stream, u"word/document.xml"_s, out);
    out.Flush();
    EXPECT_EQ(text, u"café & words. "_s.repeated(100000) + u'\n');
}

QString Odf(const QByteArray& body) {
    QString text;
    TextOut out([&](QStringView piece) { text += piece; });
    QString notes;
    TextOut noteOut([&](QStringView piece) { notes += piece; });
    MemoryStream stream(
        "<office:document-content "
        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body><office:text>" +
        body + "</office:text></office:body></office:document-content>");
    ReadOdfXml(stream, u"content.xml"_s, out, noteOut);
    out.Flush();
    noteOut.Flush();
    return text + u'|' + notes;
}

TEST(Odf, GivesTheBodyAndThenItsNotes) {
    const struct {
        const char* xml;
        const char16_t* text;  // body|notes
    } cases[] = {
        {"<text:h>Title</text:h><text:p>One</text:p>", u"Title\nOne\n|"},
        {"<text:p>a<text:line-break/>b<text:tab/>c<text:s text:c='3'/>d</text:p>",
         u"a\nb\tc   d\n|"},
        {"<text:p>  spaces   collapse\n here </text:p>", u"spaces collapse here\n|"},
        {"<text:p>Body<text:note><text:note-citation>1</text:note-citation><text:note-body>"
         "<text:p>Note.</text:p></text:note-body></text:note> goes on.</text:p>",
         u"Body goes on.\n|Note.\n"},
        {"<text:tracked-changes><text:changed-region><text:deletion><text:p>gone</text:p>"
         "</text:deletion></text:changed-region></text:tracked-changes><text:p>kept</text:p>",
         u"kept\n|"},
        {"<text:p>a<office:annotation><text:p>comment</text:p></office:annotation>b</text:p>",
         u"ab\n|"},
        {"<text:p>a<text:hidden-text text:string-value='x'>hidden</text:hidden-text>b</text:p>",
         u"ab\n|"},
        {"<text:section text:display='none'><text:p>hidden</text:p></text:section><text:p>shown"
         "</text:p>",
         u"shown\n|"},
        {"<text:list><text:list-item><text:p>one</text:p></text:list-item><text:list-item>"
         "<text:p>two</text:p></text:list-item></text:list>",
         u"one\ntwo\n|"},
    };
    for (const auto& c : cases) EXPECT_EQ(Odf(c.xml), QString::fromUtf16(c.text)) << c.xml;
}

QString Paragraphs(const std::vector<std::vector<PdfLine>>& pages) {
    QString text;
    TextOut out([&](QStringView piece) { text += piece; });
    PdfParagraphs paragraphs(out);
    for (const auto& page : pages) paragraphs.Page(page);
    paragraphs.Finish();
    out.Flush();
    return text;
}

// Lines 12 points apart in 10-point type; a paragraph's gap is a line or more.
PdfLine At(const char16_t* text, double top, double left = 72, double size = 10) {
    return {QString::fromUtf16(text), left, top, top + 10, size};
}

TEST(Pdf, LinesJoinIntoParagraphs) {
    const struct {
        const char* what;
        std::vector<std::vector<PdfLine>> pages;
        const char16_t* text;
    } cases[] = {
        {"wrapped lines join", {{At(u"one", 0), At(u"two.", 12)}}, u"one two.\n"},
        {"a gap ends the paragraph", {{At(u"one.", 0), At(u"two", 30)}}, u"one.\ntwo\n"},
        {"a heading's size ends it",
         {{At(u"Heading", 0, 72, 16), At(u"body", 12)}},
         u"Heading\nbody\n"},
        {"an indent starts one", {{At(u"end.", 0), At(u"Start", 12, 90)}}, u"end.\nStart\n"},
        {"a hyphen at a line's end joins",
         {{At(u"extra-", 0), At(u"ordinary", 12)}},
         u"extraordinary\n"},
        {"but not before a capital",
         {{At(u"Franco-", 0), At(u"Prussian", 12)}},
         u"Franco- Prussian\n"},
        {"a page goes on mid-sentence",
         {{At(u"it goes", 700)}, {At(u"on here.", 72)}},
         u"it goes on here.\n"},
        {"a finished one does not", {{At(u"done.", 700)}, {At(u"new", 72)}}, u"done.\nnew\n"},
        {"empty lines and pages are nothing", {{At(u"  ", 0)}, {}}, u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Paragraphs(c.pages), QString::fromUtf16(c.text)) << c.what;
}

TEST(Formats, AreToldByContentAndMarkdownByName) {
    const struct {
        QByteArray bytes;
        const char16_t* name;
        Format format;
    } cases[] = {
        {"%PDF-1.4\n", u"x.txt", Format::Pdf},
        {"<!DOCTYPE html><p>", u"x.txt", Format::Html},
        {"\xEF\xBB\xBF  <HTML><body>", u"x", Format::Html},
        {"<?xml version='1.0'?>\n<!-- c --><html xmlns='x'>", u"x", Format::Html},
        {"<p>a fragment</p>", u"x.html", Format::Text},  // no document: as text
        {"# Title", u"notes.md", Format::Markdown},
        {"# Title", u"notes.MARKDOWN", Format::Markdown},
        {"# Title", u"notes.txt", Format::Text},
        {QByteArray("PK\x03\x04", 4) + QByteArray(26, 'x') + "mimetypeapplication/epub+zip", u"b",
         Format::Epub},
        {QByteArray("PK\x03\x04", 4) + QByteArray(26, 'x') +
             "mimetypeapplication/vnd.oasis.opendocument.text",
         u"b", Format::Odt},
        {"plain words", u"a.pdf", Format::Text},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DetectFormatOfBytes(c.bytes, QString::fromUtf16(c.name)), c.format)
            << c.bytes.constData();
    for (const char16_t* name : {u"text", u"docx", u"odt", u"html", u"md", u"epub", u"pdf"})
        EXPECT_EQ(FormatName(*FormatFromName(QString::fromUtf16(name))), QString::fromUtf16(name));
    EXPECT_FALSE(FormatFromName(u"rtf"));
}

// A ZIP written here, with the entries given.
QByteArray Zip(const std::vector<std::pair<const char*, QByteArray>>& entries) {
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(u"z.zip"_s));
    int error = 0;
    zip_t* archive = zip_open(path.constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    for (const auto& [name, data] : entries) {
        zip_source_t* source = zip_source_buffer(archive, data.constData(), data.size(), 0);
        zip_file_add(archive, name, source, ZIP_FL_OVERWRITE);
    }
    zip_close(archive);
    QFile file(QFile::decodeName(path));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

TEST(Containers, ReadTheirPartsOrNameTheFault) {
    const QByteArray types =
        "<Types><Override PartName=\"/doc/main.xml\" ContentType=\"application/"
        "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></Types>";
    const QByteArray body =
        "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
        "<w:body><w:p><w:r><w:t>Text.</w:t></w:r></w:p></w:body></w:document>";
    const QByteArray notes =
        "<w:footnotes xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
        "<w:footnote w:type=\"separator\" w:id=\"-1\"><w:p><w:r><w:t>---</w:t></w:r></w:p>"
        "</w:footnote><w:footnote w:id=\"1\"><w:p><w:r><w:t>Note.</w:t></w:r></w:p></w:footnote>"
        "</w:footnotes>";
    const QByteArray opf =
        "<package><manifest><item id=\"b\" href=\"b%20x.xhtml\"/><item id=\"a\" href=\"a.xhtml\"/>"
        "</manifest><spine><itemref idref=\"a\"/><itemref idref=\"b\"/></spine></package>";
    const QByteArray container =
        "<container><rootfiles><rootfile full-path=\"o/p.opf\"/>"
        "</rootfiles></container>";
    const struct {
        const char* what;
        Format format;
        QByteArray bytes;
        const char16_t* text;  // or the fault
    } cases[] = {
        {"the main part named by the content types, then the footnotes", Format::Docx,
         Zip({{"[Content_Types].xml", types},
              {"doc/main.xml", body},
              {"word/footnotes.xml", notes}}),
         u"Text.\nNote.\n"},
        {"no main part", Format::Docx, Zip({{"[Content_Types].xml", types}}),
         u"it holds no text document (no doc/main.xml)"},
        {"an e-book's spine in order", Format::Epub,
         Zip({{"mimetype", "application/epub+zip"},
              {"META-INF/container.xml", container},
              {"o/p.opf", opf},
              {"o/b x.xhtml", "<html><body><p>Second.</p></body></html>"},
              {"o/a.xhtml", "<html><body><p>First.</p></body></html>"}}),
         u"First.\nSecond.\n"},
        {"an e-book whose chapter is encrypted", Format::Epub,
         Zip({{"mimetype", "application/epub+zip"},
              {"META-INF/container.xml", container},
              {"META-INF/encryption.xml",
               "<encryption><EncryptedData><CipherData><CipherReference URI=\"o/a.xhtml\"/>"
               "</CipherData></EncryptedData></encryption>"},
              {"o/p.opf", opf},
              {"o/a.xhtml", "\x01\x02"}}),
         u"it is protected by encryption (its part o/a.xhtml)"},
        {"an e-book without its package", Format::Epub,
         Zip({{"mimetype", "application/epub+zip"}, {"META-INF/container.xml", container}}),
         u"its part o/p.opf is missing"},
        {"no ZIP at all", Format::Odt, "PK\x03\x04 cut",
         u"it is not a ZIP container, or it is cut short"},
        {"a password's compound file", Format::Docx,
         QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(600, '\0'),
         u"it is protected by a password"},
        {"a PDF cut short", Format::Pdf, "%PDF-1.4 and nothing", u"it is cut short"},
        {"not a PDF", Format::Pdf, "%PDF-1.4 junk %%EOF",
         u"it is not a PDF, or it is damaged or cut short"},
    };
    for (const auto& c : cases) {
        QString text;
        try {
            ReadDocumentBytes(c.bytes, c.format, [&](QStringView piece) { text += piece; });
        } catch (const Failure& failure) {
            text = failure.description();
        }
        EXPECT_EQ(text, QString::fromUtf16(c.text)) << c.what;
    }
}

// A limit on what a reading takes in holds across the parts it reads, from their declared
// sizes; the progress ends where all of a document's text parts are read.
TEST(Containers, TakeInNoMoreThanTheLimit) {
    const QByteArray chapter =
        "<html><body><p>" + QByteArray("Words. ").repeated(100) + "</p></body></html>";
    const QByteArray container =
        "<container><rootfiles><rootfile full-path=\"p.opf\"/></rootfiles></container>";
    const QByteArray opf =
        "<package><manifest><item id=\"a\" href=\"a.xhtml\"/><item id=\"b\" href=\"b.xhtml\"/>"
        "</manifest><spine><itemref idref=\"a\"/><itemref idref=\"b\"/></spine></package>";
    const QByteArray book = Zip({{"mimetype", "application/epub+zip"},
                                 {"META-INF/container.xml", container},
                                 {"p.opf", opf},
                                 {"a.xhtml", chapter},
                                 {"b.xhtml", chapter}});
    // What the reader reads: all but the mimetype; what the progress expects: XML and XHTML.
    const auto parts = static_cast<quint64>(container.size() + opf.size() + 2 * chapter.size());
    const auto textParts = static_cast<quint64>(container.size() + 2 * chapter.size());
    const struct {
        std::optional<quint64> limit;
        const char16_t* fault;  // none: read to the end
    } cases[] = {
        {std::nullopt, nullptr},
        {parts, nullptr},
        // Refused at the second chapter, by the size it declares.
        {parts - 1, u"its content of %1 bytes does not fit in this computer's memory"},
    };
    for (const auto& c : cases) {
        ReadOptions options;
        options.inputLimit = c.limit;
        quint64 done = 0, total = 0;
        options.progress = [&](quint64 d, quint64 t) { done = d, total = t; };
        QString text;
        try {
            ReadDocumentBytes(
                book, Format::Epub, [&](QStringView piece) { text += piece; }, options);
            EXPECT_EQ(c.fault, nullptr);
            EXPECT_EQ(text, (u"Words. "_s.repeated(100).chopped(1) + u'\n').repeated(2));
            EXPECT_EQ(done, total);
            EXPECT_EQ(total, textParts);
        } catch (const Failure& failure) {
            ASSERT_NE(c.fault, nullptr);
            EXPECT_EQ(failure.description(), QString::fromUtf16(c.fault).arg(parts));
        }
    }
}

// The stream hands out the text before a fault, then the fault; and stops a reading cut short.
TEST(Stream, PassesTextThenTheFault) {
    QTemporaryDir dir;
    const QString good = dir.filePath(u"a.html"_s);
    const QString bad = dir.filePath(u"b.docx"_s);
    {
        QFile file(good);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<p>" + QByteArray("Words. ").repeated(200000) + "</p>");
        QFile cut(bad);
        ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
        cut.write("PK\x03\x04 cut");
    }
    const auto readAll = [](const QString& path, Format format, qsizetype stopAfter) {
        DocumentTextStream stream(QFile::encodeName(path), format);
        QByteArray text;
        char block[1000];
        for (qsizetype got;
             text.size() < stopAfter && (got = stream.Read(block, sizeof block)) > 0;)
            text.append(block, got);
        return text;
    };
    EXPECT_EQ(readAll(good, Format::Html, 1 << 30),
              QByteArray("Words. ").repeated(200000).chopped(1) + "\n");
    EXPECT_EQ(readAll(good, Format::Html, 5000).size(), 5000);  // the reader stops with it
    try {
        readAll(bad, Format::Docx, 1 << 30);
        ADD_FAILURE();
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.description(), u"it is not a ZIP container, or it is cut short"_s);
    }
}

}  // namespace
}  // namespace brintale::documents
