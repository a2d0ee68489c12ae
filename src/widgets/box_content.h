#pragma once

#include <QString>
#include <QStringView>
#include <vector>

namespace brintale {

// The one codec between a text and what the text box's document holds for it.
//
// The document turns a lone carriage return, U+2028 and U+2029 into breaks of its own, cannot
// hold U+FDD0 and U+FDD1, lays out a paragraph whole at every key (a megabyte without a line
// break freezes it) and spends microseconds on every paragraph (a file of short lines is slow
// to show). So a text goes in changed in three ways, in this order:
// - markers: each of those breaks goes in as a line feed after an invisible marker, which
//   decoding turns back into the character; U+FDD0, U+FDD1 and the markers themselves go in
//   marked as well;
// - joins: inside a paragraph of fewer than kMinParagraph characters, line breaks go in as
//   soft breaks (U+2028 inside a block), which show and read back as line feeds;
// - cuts: a paragraph longer than kLongLine characters goes in as blocks cut after a space
//   near that length. A cut is a block break that stands for no character. The document
//   keeps them as a property of the block after the cut (see TextBox): undo restores block
//   formats with the text, so a cut never comes back as a line feed.
// CR LF goes in as one line feed, as the document reads it anyway.
struct BoxContent {
    QString raw;                  // QTextDocument::toRawText: breaks as U+2029 or line feeds
    std::vector<qsizetype> cuts;  // ascending positions in raw of the breaks that are cuts
};

inline constexpr qsizetype kLongLine = 4096;
inline constexpr qsizetype kMinParagraph = 2048;

// A text as the box is to hold it: markers, joins and cuts; the breaks in raw are line feeds.
BoxContent EncodeForBox(QString text);

// Where a block begins, at `from` or after it and at most at `limit`, when the whole text is
// encoded: just after a line break that is neither joined nor a cut, with at least
// kMinParagraph characters on either side. The text before it and the text from it, encoded
// apart, give what encoding the whole gives. 0 where there is none.
qsizetype BlockStartAfter(QStringView text, qsizetype from, qsizetype limit);

// What the document holds, read back: the text it stands for, and where each character of
// that text stands in the document. Built in one pass; each mapping is a binary search.
class BoxReading {
  public:
    explicit BoxReading(BoxContent content);

    const QString& text() const { return text_; }
    // The document position of the character at `offset` of text(); past the end, the end.
    qsizetype Position(qsizetype offset) const;
    // How many characters of text() stand before the document position.
    qsizetype Offset(qsizetype position) const;

    // Takes in an edit of the document where reading it again would give the same as this:
    // `removed` characters at document position `position` replaced by `added`, none of them
    // a break, a marker or a cut, and `before`, the character before them, no marker. False,
    // and the reading as it was, for any other edit.
    bool Patch(qsizetype position, qsizetype removed, QStringView added, QChar before);

  private:
    // Where the document and the text stop going one for one: from markedEnd in the document
    // without its cuts, and textEnd in the text, they go on one for one again.
    struct Jump {
        qsizetype markedEnd, textEnd;
    };
    std::vector<qsizetype> cuts_;
    std::vector<Jump> jumps_;
    qsizetype markedSize_ = 0;
    QString text_;
};

// The markers alone: the text with its breaks marked, and back. TextFromBox reads every break
// of the box (line feed, U+2028, U+2029) as a line feed.
QString TextForBox(QString text);
QString TextFromBox(QString raw);

// The document's raw text without its cuts.
QString RemoveCuts(QString raw, const std::vector<qsizetype>& cuts);

// The invisible characters that mark what follows them.
bool IsBoxMarker(QChar c);

// A position between a marker and what it marks moves before the marker, so that a selection
// never holds half of one.
qsizetype UnitStart(QStringView raw, qsizetype position);

}  // namespace brintale
