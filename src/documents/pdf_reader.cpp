#include "documents/pdf_reader.h"

#include <ErrorCodes.h>
#include <GlobalParams.h>
#include <PDFDoc.h>
#include <Stream.h>
#include <TextOutputDev.h>
#include <goo/GooString.h>

#include <QFile>
#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "core/failure.h"
#include "core/work_queue.h"

namespace brintale::documents {

namespace {

void Quiet(ErrorCategory, Goffset, const char*) {}

// Poppler's settings are made once for the process. It reports every oddity of a damaged
// file on the standard error; the reader names the fault itself.
void StartPoppler() {
    static std::once_flag once;
    std::call_once(once, [] {
        globalParams = std::make_unique<GlobalParams>();
        setErrorCallback(Quiet);
    });
}

void AppendCodePoint(QString& text, Unicode c) {
    if (c == 0) return;
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c > 0xFFFF) {
        text += QChar(QChar::highSurrogate(c));
        text += QChar(QChar::lowSurrogate(c));
    } else {
        text += QChar(static_cast<char16_t>(c));
    }
}

// The page's words gathered into lines in poppler's reading order. The words are read as
// laid out, without a box per glyph nor a conversion per word: that took as long as the
// layout itself.
std::vector<PdfLine> Lines(TextWordList& words) {
    std::vector<PdfLine> lines;
    bool space = false;
    double right = 0;
    for (int i = 0, n = words.getLength(); i < n; ++i) {
        const TextWord& word = *words.get(i);
        double x0 = 0, top = 0, x1 = 0, bottom = 0;
        word.getBBox(&x0, &top, &x1, &bottom);
        const double height = bottom - top;
        const double middle = (top + bottom) / 2;
        bool same = !lines.empty();
        if (same) {
            const PdfLine& line = lines.back();
            same = middle > line.top && middle < line.bottom && x0 >= right - 1;
        }
        if (!same) {
            lines.push_back({QString(), x0, top, bottom, height});
        } else {
            PdfLine& line = lines.back();
            // Words set apart without a space character (columns, cells) still read apart.
            if (space || x0 - right > 0.2 * height) line.text += u' ';
            line.top = std::min(line.top, top);
            line.bottom = std::max(line.bottom, bottom);
        }
        QString& text = lines.back().text;
        for (int k = 0, length = word.getLength(); k < length; ++k)
            AppendCodePoint(text, *word.getChar(k));
        space = word.hasSpaceAfter();
        right = x1;
    }
    return lines;
}

bool EndsHyphenated(const QString& text) {
    return text.size() >= 2 && (text.back() == u'-' || text.back() == QChar(0x00AD)) &&
           text.at(text.size() - 2).isLetter();
}

// A PDF ends with %%EOF (a little junk after it aside); without it, the file was cut short
// and poppler would read what it could rebuild of it without a word.
constexpr qsizetype kTailBytes = 4096;

void ThrowIfCut(QByteArrayView tail) {
    if (!tail.contains("%%EOF")) throw Failure(QStringLiteral("it is cut short"));
}

using Opener = std::function<std::unique_ptr<PDFDoc>()>;

// One reading of the document and the layout of its pages: a thread lays out pages on a
// reading of its own, since one reading is not to be shared by threads.
struct PageReader {
    std::unique_ptr<PDFDoc> document;
    TextOutputDev layout{nullptr, false, 0, false, false};

    std::vector<PdfLine> Lines(int index) {
        if (!document->getPage(index + 1)) return {};
        document->displayPageSlice(&layout, index + 1, 72, 72, 0, false, false, false, -1, -1, -1,
                                   -1);
        const std::unique_ptr<TextWordList> words = layout.makeWordList();
        return words ? documents::Lines(*words) : std::vector<PdfLine>();
    }
};

// The readings made so far, each lent to one thread at a time.
class PageReaders {
  public:
    explicit PageReaders(Opener open) : open_(std::move(open)) {}

    std::unique_ptr<PageReader> Take() {
        {
            std::lock_guard lock(mutex_);
            if (!idle_.empty()) {
                auto reader = std::move(idle_.back());
                idle_.pop_back();
                return reader;
            }
        }
        auto reader = std::make_unique<PageReader>();
        reader->document = open_();
        if (!reader->document->isOk()) {
            if (reader->document->getErrorCode() == errEncrypted)
                throw Failure(QStringLiteral("it is protected by a password"));
            throw Failure(QStringLiteral("it is not a PDF, or it is damaged or cut short"));
        }
        return reader;
    }

    void Give(std::unique_ptr<PageReader> reader) {
        std::lock_guard lock(mutex_);
        idle_.push_back(std::move(reader));
    }

  private:
    Opener open_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<PageReader>> idle_;
};

struct PageWork {
    int index = 0;
    std::vector<PdfLine> lines;
};

void Read(Opener open, TextOut& out, const PageProgress& progress) {
    PageReaders readers(std::move(open));
    auto first = readers.Take();
    const int pages = first->document->getNumPages();
    readers.Give(std::move(first));
    // The layout of a page takes most of the time: each core lays out pages of its own, a
    // few pages ahead at most, and they are joined in order.
    const int cores = static_cast<int>(std::min(2u, std::thread::hardware_concurrency()));
    const int threads = pages >= 4 && cores > 1 ? cores : 0;
    OrderedWorkQueue<PageWork> queue(threads, 6, [&](PageWork& work) {
        auto reader = readers.Take();
        work.lines = reader->Lines(work.index);
        readers.Give(std::move(reader));
    });
    PdfParagraphs paragraphs(out);
    const auto join = [&](PageWork& work) {
        paragraphs.Page(work.lines);
        if (progress) progress(static_cast<quint64>(work.index) + 1, static_cast<quint64>(pages));
    };
    for (int i = 0; i < pages; ++i) queue.Push(PageWork{i, {}}, join);
    queue.TakeFinished(true, join);
    paragraphs.Finish();
    out.Flush();
}

}  // namespace

void PdfParagraphs::Join(const QString& text) {
    if (open_) {
        if (EndsHyphenated(last_) && !text.isEmpty() && text.front().isLower()) {
            out_.Text(QStringView(last_).chopped(1));
        } else {
            out_.Text(last_);
            out_.Text(u" ");
        }
    } else if (!last_.isEmpty()) {
        out_.Text(last_);
        out_.EndBlock();
    }
    last_ = text;
    open_ = false;
}

void PdfParagraphs::Page(const std::vector<PdfLine>& lines) {
    const PdfLine* previous = nullptr;
    for (const PdfLine& line : lines) {
        if (line.text.trimmed().isEmpty()) continue;
        // A paragraph goes on when the line follows closely in the same size, not indented;
        // on a new page, when the last line ended mid-sentence and this one starts in lower case.
        bool continues = false;
        if (previous) {
            const double height =
                std::min(previous->bottom - previous->top, line.bottom - line.top);
            const double gap = line.top - previous->bottom;
            const bool sameSize =
                std::abs(line.fontSize - previous->fontSize) <= 0.1 * previous->fontSize;
            const bool indented = line.left > previous->left + 0.8 * line.fontSize;
            continues = gap >= -0.5 * height && gap < 0.5 * height && sameSize && !indented;
        } else if (!last_.isEmpty()) {
            const QChar end = last_.back();
            continues = line.text.front().isLower() &&
                        (end.isLetterOrNumber() || end == u',' || end == u'-');
        }
        open_ = continues;
        Join(line.text);
        previous = &line;
    }
}

void PdfParagraphs::Finish() {
    open_ = false;
    Join(QString());
    out_.EndBlock();
}

void ReadPdfFile(const QByteArray& nativePath, TextOut& out, const PageProgress& progress) {
    StartPoppler();
    QFile file(QFile::decodeName(nativePath));
    if (file.open(QIODevice::ReadOnly)) {
        file.seek(std::max<qint64>(0, file.size() - kTailBytes));
        ThrowIfCut(file.read(kTailBytes));
    }
    Read(
        [&] {
            return std::make_unique<PDFDoc>(std::make_unique<GooString>(nativePath.constData()));
        },
        out, progress);
}

void ReadPdfBytes(QByteArrayView bytes, TextOut& out, const PageProgress& progress) {
    StartPoppler();
    ThrowIfCut(bytes.last(std::min<qsizetype>(bytes.size(), kTailBytes)));
    Read(
        [&] {
            return std::make_unique<PDFDoc>(
                new MemStream(bytes.data(), 0, bytes.size(), Object(objNull)));
        },
        out, progress);
}

}  // namespace brintale::documents
