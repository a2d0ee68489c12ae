#include "documents/pdf_reader.h"

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>

#include <QFile>
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "core/failure.h"

namespace brintale::documents {

namespace {

void Quiet(const std::string&, void*) {}

// Poppler reports every oddity of a damaged file on the standard error; the reader names
// the fault itself.
void SilencePoppler() {
    static std::once_flag once;
    std::call_once(once, [] { poppler::set_debug_error_function(Quiet, nullptr); });
}

// The page's words gathered into lines in poppler's reading order.
std::vector<PdfLine> Lines(const poppler::page& page) {
    std::vector<PdfLine> lines;
    auto words = page.text_list();
    bool space = false;
    double right = 0;
    for (const auto& word : words) {
        const auto box = word.bbox();
        const double top = box.y();
        const double bottom = box.y() + box.height();
        const double middle = (top + bottom) / 2;
        bool same = !lines.empty();
        if (same) {
            const PdfLine& line = lines.back();
            same = middle > line.top && middle < line.bottom && box.x() >= right - 1;
        }
        if (!same) {
            lines.push_back({QString(), box.x(), top, bottom, box.height()});
        } else {
            PdfLine& line = lines.back();
            // Words set apart without a space character (columns, cells) still read apart.
            if (space || box.x() - right > 0.2 * box.height()) line.text += u' ';
            line.top = std::min(line.top, top);
            line.bottom = std::max(line.bottom, bottom);
        }
        const poppler::ustring text = word.text();
        lines.back().text.append(reinterpret_cast<const QChar*>(text.data()),
                                 static_cast<qsizetype>(text.size()));
        space = word.has_space_after();
        right = box.x() + box.width();
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

std::vector<PdfLine> PageLines(const poppler::document& document, int index) {
    std::unique_ptr<poppler::page> page(document.create_page(index));
    return page ? Lines(*page) : std::vector<PdfLine>();
}

using Opener = std::function<poppler::document*()>;

void Read(const Opener& open, TextOut& out) {
    std::unique_ptr<poppler::document> document(open());
    if (!document) throw Failure(QStringLiteral("it is not a PDF, or it is damaged or cut short"));
    if (document->is_locked()) throw Failure(QStringLiteral("it is protected by a password"));
    PdfParagraphs paragraphs(out);
    const int pages = document->pages();
    // The layout of a page takes most of the time: a second reading of the document lays out
    // every other page on a core of its own, a few pages ahead at most.
    std::unique_ptr<poppler::document> second;
    if (pages >= 4 && std::thread::hardware_concurrency() > 1) second.reset(open());
    if (!second || second->is_locked()) {
        for (int i = 0; i < pages; ++i) paragraphs.Page(PageLines(*document, i));
        paragraphs.Finish();
        out.Flush();
        return;
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::map<int, std::vector<PdfLine>> ready;
    bool stopping = false;
    std::thread helper([&] {
        for (int i = 1; i < pages; i += 2) {
            auto lines = PageLines(*second, i);
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return stopping || ready.size() < 4; });
            if (stopping) return;
            ready.emplace(i, std::move(lines));
            changed.notify_all();
        }
    });
    struct Join {
        std::thread& thread;
        std::mutex& mutex;
        std::condition_variable& changed;
        bool& stopping;
        ~Join() {
            {
                std::lock_guard lock(mutex);
                stopping = true;
            }
            changed.notify_all();
            thread.join();
        }
    } join{helper, mutex, changed, stopping};
    for (int i = 0; i < pages; ++i) {
        std::vector<PdfLine> lines;
        if (i % 2 == 0) {
            lines = PageLines(*document, i);
        } else {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return ready.contains(i); });
            lines = std::move(ready.at(i));
            ready.erase(i);
            changed.notify_all();
        }
        paragraphs.Page(lines);
    }
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

void ReadPdfFile(const QByteArray& nativePath, TextOut& out) {
    SilencePoppler();
    QFile file(QFile::decodeName(nativePath));
    if (file.open(QIODevice::ReadOnly)) {
        file.seek(std::max<qint64>(0, file.size() - kTailBytes));
        ThrowIfCut(file.read(kTailBytes));
    }
    const std::string path = nativePath.toStdString();
    Read([&] { return poppler::document::load_from_file(path); }, out);
}

void ReadPdfBytes(QByteArrayView bytes, TextOut& out) {
    SilencePoppler();
    ThrowIfCut(bytes.last(std::min<qsizetype>(bytes.size(), kTailBytes)));
    Read(
        [&] {
            return poppler::document::load_from_raw_data(bytes.data(),
                                                         static_cast<int>(bytes.size()));
        },
        out);
}

}  // namespace brintale::documents
