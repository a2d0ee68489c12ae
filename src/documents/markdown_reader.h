#pragma once

#include <QByteArray>
#include <functional>

#include "documents/text_out.h"

namespace brintale::documents {

// The text of a Markdown document as it reads once rendered: a soft line break is a space,
// a hard one a line break; raw HTML, comments and a leading metadata block are left out.
// Footnotes ("[^label]: text", continued by indented lines) come after the body, in the order
// they are written, and their references ("[^label]") are left out. Long documents are
// parsed a run of whole blocks at a time.
void ReadMarkdown(ByteStream& stream, TextOut& out);

// Takes the footnotes out of Markdown, a line at a time: the rest goes on as the body, each
// note's own Markdown (its label taken off, its indent undone) to the notes, piece by piece.
class FootnoteFilter {
  public:
    // Where a piece of a note ends: with the note, at a blank line in it, or inside a
    // paragraph of a note too long to hold at once.
    enum class Cut { NoteEnds, AtBlankLine, InParagraph };
    using NoteSink = std::function<void(QByteArrayView markdown, Cut cut)>;
    explicit FootnoteFilter(NoteSink notes) : notes_(std::move(notes)) {}
    // Appends the body of bytes to body; a line is held until its end comes.
    void Feed(QByteArrayView bytes, QByteArray& body);
    void Finish(QByteArray& body);

  private:
    void Line(QByteArrayView line, bool ended, QByteArray& body);
    void EndNote();
    void PassNote(Cut cut);
    NoteSink notes_;
    QByteArray line_;        // the start of a line whose end has not come
    bool longLine_ = false;  // a line too long to hold goes on as it is
    bool fence_ = false;     // inside a fenced code block of the body
    bool inNote_ = false;
    bool blankInNote_ = false;
    QByteArray note_;
};

// Where a run of blocks may end in text: after its last blank line outside a fenced code
// block, or 0 when there is none. fenceOpen carries the state of fences from run to run.
qsizetype MarkdownCut(QByteArrayView text, bool& fenceOpen);

}  // namespace brintale::documents
