#include "documents/text_out.h"

#include <algorithm>
#include <cstring>

#include "core/failure.h"

namespace brintale::documents {

namespace {
// Pieces of this size keep the sink's calls few and the memory small.
constexpr qsizetype kPieceUnits = 32 * 1024;

// Held text kept in memory, in UTF-16 units.
constexpr qsizetype kHeldUnits = 4 * 1024 * 1024;

bool IsSpace(QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f'; }
}  // namespace

qsizetype MemoryStream::Read(char* buffer, qsizetype size) {
    const qsizetype n = std::min(size, bytes_.size() - next_);
    if (n > 0) std::memcpy(buffer, bytes_.constData() + next_, static_cast<size_t>(n));
    next_ += n;
    return n;
}

void TextOut::Text(QStringView text) {
    if (text.isEmpty()) return;
    if (pendingSpace_ && !atLineStart_ && text.front() != u'\n') buffer_ += u' ';
    pendingSpace_ = false;
    buffer_ += text;
    atLineStart_ = text.back() == u'\n';
    if (buffer_.size() >= kPieceUnits) Flush();
}

void TextOut::FlowingText(QStringView text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        if (IsSpace(text[i])) {
            pendingSpace_ = true;
            while (i < n && IsSpace(text[i])) ++i;
            continue;
        }
        qsizetype j = i;
        while (j < n && !IsSpace(text[j])) ++j;
        Text(text.sliced(i, j - i));
        i = j;
    }
}

void TextOut::EndBlock() {
    pendingSpace_ = false;
    if (!atLineStart_) Text(u"\n");
}

void TextOut::Flush() {
    if (buffer_.isEmpty()) return;
    sink_(buffer_);
    buffer_.clear();
}

void HeldText::Add(QStringView piece) {
    text_ += piece;
    if (text_.size() < kHeldUnits) return;
    if (!spill_.isOpen() && !spill_.open())
        throw Failure(QStringLiteral("its notes find no room in a temporary file"));
    const auto bytes =
        QByteArrayView(reinterpret_cast<const char*>(text_.constData()), text_.size() * 2);
    if (spill_.write(bytes.data(), bytes.size()) != bytes.size())
        throw Failure(QStringLiteral("its notes find no room in a temporary file"));
    text_.clear();
}

void HeldText::WriteTo(TextOut& out) {
    if (spill_.isOpen()) {
        spill_.seek(0);
        QString piece;
        for (QByteArray bytes; !(bytes = spill_.read(kHeldUnits)).isEmpty();) {
            piece.resize(bytes.size() / 2);
            std::memcpy(piece.data(), bytes.constData(), static_cast<size_t>(bytes.size()));
            out.Text(piece);
        }
    }
    out.Text(text_);
}

}  // namespace brintale::documents
