#include "documents/markdown_reader.h"

#include <md4c.h>

#include <vector>

#include "core/failure.h"
#include "documents/html_reader.h"

namespace brintale::documents {

namespace {

// The runs handed to the parser; a document without blank lines is cut at a line's end.
constexpr qsizetype kRunBytes = 512 * 1024;
constexpr qsizetype kLongestRun = 2 * 1024 * 1024;

// A block's end is written with the next text, so that a run cut inside a paragraph (a
// document without blank lines) goes on in the next run as if never cut.
struct Renderer {
    TextOut& out;
    QString decoded;
    bool blockEnded = false;
    bool continuing = false;  // the blocks opened before the first text go on from the last run
};

int EnterBlock(MD_BLOCKTYPE type, void*, void* data) {
    auto& r = *static_cast<Renderer*>(data);
    if (type != MD_BLOCK_DOC && !r.continuing) r.blockEnded = true;
    return 0;
}

int LeaveBlock(MD_BLOCKTYPE type, void*, void* data) {
    if (type != MD_BLOCK_DOC) static_cast<Renderer*>(data)->blockEnded = true;
    return 0;
}

int Span(MD_SPANTYPE, void*, void*) { return 0; }

int Text(MD_TEXTTYPE type, const MD_CHAR* text, MD_SIZE size, void* data) {
    auto& r = *static_cast<Renderer*>(data);
    if (type == MD_TEXT_HTML) return 0;
    r.continuing = false;
    if (r.blockEnded) r.out.EndBlock();
    r.blockEnded = false;
    switch (type) {
        case MD_TEXT_HTML:
            break;
        case MD_TEXT_BR:
            r.out.LineBreak();
            break;
        case MD_TEXT_SOFTBR:
            r.out.Text(u" ");
            break;
        case MD_TEXT_NULLCHAR:
            r.out.Text(u"\uFFFD");
            break;
        case MD_TEXT_ENTITY:
            r.decoded.clear();
            AppendDecodedEntities(QString::fromUtf8(text, size), r.decoded);
            r.out.Text(r.decoded);
            break;
        default:
            r.out.Text(QString::fromUtf8(text, size));
            break;
    }
    return 0;
}

bool IsBlank(QByteArrayView line) {
    for (char c : line)
        if (c != ' ' && c != '\t' && c != '\r') return false;
    return true;
}

bool IsFence(QByteArrayView line) {
    qsizetype i = 0;
    while (i < line.size() && i < 4 && line[i] == ' ') ++i;
    if (i > 3) return false;
    const QByteArrayView rest = line.sliced(i);
    return rest.startsWith("```") || rest.startsWith("~~~");
}

// The length of a metadata block that opens the document ("---" to "---" or "..."), else 0.
qsizetype FrontMatter(QByteArrayView text) {
    if (!text.startsWith("---\n") && !text.startsWith("---\r\n")) return 0;
    qsizetype at = text.indexOf('\n') + 1;
    while (at < text.size()) {
        qsizetype end = text.indexOf('\n', at);
        if (end < 0) return 0;
        QByteArrayView line = text.sliced(at, end - at);
        if (line.endsWith('\r')) line.chop(1);
        if (line == "---" || line == "...") return end + 1;
        at = end + 1;
    }
    return 0;
}

// A line held whole; a longer one goes on in pieces.
constexpr qsizetype kLongestLine = 64 * 1024;

// "[^label]:" at a line's start (up to three spaces in): the note's text after it.
bool NoteStart(QByteArrayView line, QByteArrayView& rest) {
    qsizetype i = 0;
    while (i < line.size() && i < 3 && line[i] == ' ') ++i;
    if (!line.sliced(i).startsWith("[^")) return false;
    qsizetype j = i + 2;
    while (j < line.size() && line[j] != ']' && line[j] != '[' && line[j] != ' ' && line[j] != '\t')
        ++j;
    if (j == i + 2 || j + 1 >= line.size() || line[j] != ']' || line[j + 1] != ':') return false;
    j += 2;
    while (j < line.size() && (line[j] == ' ' || line[j] == '\t')) ++j;
    rest = line.sliced(j);
    return true;
}

// The line without its references to notes ("[^label]"), outside code spans.
void DropReferences(QByteArrayView line, QByteArray& out) {
    if (!line.contains("[^")) {
        out += line;
        return;
    }
    bool code = false;
    qsizetype i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == '`') code = !code;
        if (!code && c == '[' && i + 1 < line.size() && line[i + 1] == '^') {
            qsizetype j = i + 2;
            while (j < line.size() && line[j] != ']' && line[j] != '[' && line[j] != ' ' &&
                   line[j] != '\t')
                ++j;
            if (j > i + 2 && j < line.size() && line[j] == ']') {
                i = j + 1;
                continue;
            }
        }
        out += c;
        ++i;
    }
}

// A note's line without the indent that makes it part of the note.
QByteArrayView Unindent(QByteArrayView line) {
    if (line.startsWith('\t')) return line.sliced(1);
    qsizetype i = 0;
    while (i < line.size() && i < 4 && line[i] == ' ') ++i;
    return line.sliced(i);
}

void Parse(QByteArrayView run, Renderer& renderer) {
    MD_PARSER parser{};
    parser.flags =
        MD_FLAG_TABLES | MD_FLAG_STRIKETHROUGH | MD_FLAG_TASKLISTS | MD_FLAG_PERMISSIVEATXHEADERS;
    parser.enter_block = EnterBlock;
    parser.leave_block = LeaveBlock;
    parser.enter_span = Span;
    parser.leave_span = Span;
    parser.text = Text;
    if (md_parse(run.data(), static_cast<MD_SIZE>(run.size()), &parser, &renderer) != 0)
        throw Failure(QStringLiteral("its Markdown cannot be read"));
}

}  // namespace

void FootnoteFilter::Feed(QByteArrayView bytes, QByteArray& body) {
    qsizetype at = 0;
    while (at < bytes.size()) {
        const qsizetype end = bytes.indexOf('\n', at);
        if (end < 0) {
            line_ += bytes.sliced(at);
            if (line_.size() > kLongestLine) {
                Line(line_, false, body);
                longLine_ = true;
                line_.truncate(0);
            }
            return;
        }
        if (line_.isEmpty()) {
            Line(bytes.sliced(at, end - at), true, body);
        } else {
            line_ += bytes.sliced(at, end - at);
            Line(line_, true, body);
            line_.truncate(0);
        }
        longLine_ = false;
        at = end + 1;
    }
}

void FootnoteFilter::Finish(QByteArray& body) {
    if (!line_.isEmpty()) Line(line_, false, body);
    line_.truncate(0);
    EndNote();
}

void FootnoteFilter::Line(QByteArrayView line, bool ended, QByteArray& body) {
    const QByteArrayView end = ended ? "\n" : "";
    if (longLine_) {
        // The rest of a line that began before.
        if (inNote_) {
            DropReferences(line, note_);
            note_ += end;
        } else {
            fence_ ? void(body += line) : DropReferences(line, body);
            body += end;
        }
        return;
    }
    if (!fence_) {
        QByteArrayView rest;
        if (NoteStart(line, rest)) {
            EndNote();
            inNote_ = true;
            blankInNote_ = false;
            body += '\n';  // the note ends the paragraph before it
            DropReferences(rest, note_);
            note_ += end;
            return;
        }
        if (inNote_) {
            if (IsBlank(line)) {
                blankInNote_ = true;
                note_ += '\n';
                if (note_.size() >= kRunBytes) PassNote(Cut::AtBlankLine);
                return;
            }
            // A line goes on the note's paragraph, or after a blank line, indented, the note.
            if (!blankInNote_ || line.startsWith("    ") || line.startsWith('\t')) {
                blankInNote_ = false;
                DropReferences(Unindent(line), note_);
                note_ += end;
                if (note_.size() >= kLongestRun) PassNote(Cut::InParagraph);
                return;
            }
            EndNote();
            body += '\n';
        }
    }
    if (IsFence(line)) {
        fence_ = !fence_;
        body += line;
    } else if (fence_) {
        body += line;
    } else {
        DropReferences(line, body);
    }
    body += end;
}

void FootnoteFilter::PassNote(Cut cut) {
    notes_(note_, cut);
    note_.truncate(0);
}

void FootnoteFilter::EndNote() {
    if (!inNote_) return;
    PassNote(Cut::NoteEnds);
    inNote_ = false;
}

qsizetype MarkdownCut(QByteArrayView text, bool& fenceOpen) {
    qsizetype cut = 0;
    bool open = fenceOpen;
    bool openAtCut = fenceOpen;
    for (qsizetype at = 0; at < text.size();) {
        const qsizetype end = text.indexOf('\n', at);
        if (end < 0) break;
        const QByteArrayView line = text.sliced(at, end - at);
        if (IsFence(line)) open = !open;
        at = end + 1;
        if (!open && IsBlank(line)) {
            cut = at;
            openAtCut = open;
        }
    }
    fenceOpen = openAtCut;
    return cut;
}

void ReadMarkdown(ByteStream& stream, TextOut& out) {
    Renderer renderer{out, {}};
    // The notes wait for the end of the body.
    HeldText held;
    TextOut notes([&](QStringView piece) { held.Add(piece); });
    Renderer noteRenderer{notes, {}};
    FootnoteFilter filter([&](QByteArrayView markdown, FootnoteFilter::Cut cut) {
        Parse(markdown, noteRenderer);
        if (cut == FootnoteFilter::Cut::InParagraph) {
            noteRenderer.blockEnded = false;
            noteRenderer.continuing = true;
            notes.Text(u" ");
        }
    });
    QByteArray pending;
    std::vector<char> block(256 * 1024);
    bool first = true;
    bool fenceOpen = false;
    for (;;) {
        const qsizetype got = stream.Read(block.data(), static_cast<qsizetype>(block.size()));
        if (got == 0)
            filter.Finish(pending);
        else
            filter.Feed(QByteArrayView(block.data(), got), pending);
        if (first && (got == 0 || pending.size() >= 64 * 1024)) {
            qsizetype skip = pending.startsWith("\xEF\xBB\xBF") ? 3 : 0;
            skip += FrontMatter(QByteArrayView(pending).sliced(skip));
            pending.remove(0, skip);
            first = false;
        }
        if (got == 0) break;
        if (first || pending.size() < kRunBytes) continue;
        qsizetype cut = MarkdownCut(pending, fenceOpen);
        bool inParagraph = false;
        if (cut == 0 && pending.size() >= kLongestRun) {
            // No blank line: cut after a line or a word, never inside a character.
            inParagraph = true;
            cut = pending.lastIndexOf('\n') + 1;
            if (cut == 0) cut = pending.lastIndexOf(' ') + 1;
            if (cut == 0) {
                cut = pending.size();
                while (cut > 0 && (static_cast<unsigned char>(pending[cut - 1]) & 0xC0) == 0x80)
                    --cut;
                if (cut > 0 && static_cast<unsigned char>(pending[cut - 1]) >= 0xC0) --cut;
                if (cut == 0) cut = pending.size();
            }
        }
        if (cut == 0) continue;
        Parse(QByteArrayView(pending).first(cut), renderer);
        // The paragraph goes on: a line's end is a space, a word's none.
        if (inParagraph) {
            renderer.blockEnded = false;
            renderer.continuing = true;
            if (pending[cut - 1] == '\n' || pending[cut - 1] == ' ') out.Text(u" ");
        }
        pending.remove(0, cut);
    }
    Parse(pending, renderer);
    out.EndBlock();
    notes.EndBlock();
    notes.Flush();
    held.WriteTo(out);
    out.EndBlock();
    out.Flush();
}

}  // namespace brintale::documents
