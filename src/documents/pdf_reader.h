#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

#include "documents/text_out.h"

namespace brintale::documents {

// The text of a PDF, page after page: the lines of a paragraph joined with a space, a word
// hyphenated at a line's end joined again. Throws Failure when it is no PDF, is damaged or is
// protected by a password. Progress, if any, is told the pages done of all.
using PageProgress = std::function<void(quint64 done, quint64 total)>;
void ReadPdfFile(const QByteArray& nativePath, TextOut& out, const PageProgress& progress = {});
void ReadPdfBytes(QByteArrayView bytes, TextOut& out, const PageProgress& progress = {});

// A line of a page as laid out: its text and where it stands.
struct PdfLine {
    QString text;
    double left = 0;
    double top = 0;
    double bottom = 0;
    double fontSize = 0;
};

// Joins the lines of pages into paragraphs, one page after the other; what decides where a
// paragraph ends is the gap before a line, a change of font size and a first line's indent.
class PdfParagraphs {
  public:
    explicit PdfParagraphs(TextOut& out) : out_(out) {}
    void Page(const std::vector<PdfLine>& lines);
    void Finish();

  private:
    void Join(const QString& text);
    TextOut& out_;
    QString last_;  // the line written last; its end decides how the next joins
    bool open_ = false;
};

}  // namespace brintale::documents
