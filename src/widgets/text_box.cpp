#include "widgets/text_box.h"

#include <QAbstractUndoItem>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>
#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "widgets/box_content.h"

namespace brintale {

namespace {

QStringList LocalFiles(const QMimeData* mime) {
    QStringList paths;
    if (mime == nullptr || !mime->hasUrls()) return paths;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) paths << url.toLocalFile();
    }
    return paths;
}

}  // namespace

namespace {

// The user state of a block that continues the line of the block before it.
constexpr int kContinuesLine = 0x2f1c;

bool BreaksBlock(char16_t c) {
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == 0xfdd0 || c == 0xfdd1;
}

// Where to cut a piece of the line that starts at `from`: after the last space before
// kLongLine characters, or, with no space in the second half, at the length itself.
qsizetype CutAt(const QString& text, qsizetype from) {
    const qsizetype limit = from + TextBox::kLongLine;
    for (qsizetype i = limit - 1; i > from + TextBox::kLongLine / 2; --i) {
        if (text[i].isSpace()) return i + 1;
    }
    // Never between the halves of a surrogate pair.
    return text[limit].isLowSurrogate() ? limit - 1 : limit;
}

}  // namespace

TextBox::TextBox(QWidget* parent) : QPlainTextEdit(parent) {}

void TextBox::SetTextInPieces(const QString& text) {
    QString shown;
    std::vector<int> continued;  // numbers of the blocks that go on a line
    int block = 0;
    qsizetype lineStart = 0, copied = 0;
    for (qsizetype i = 0, n = text.size(); i < n; ++i) {
        if (BreaksBlock(text[i].unicode())) {
            // CR LF makes a single block.
            if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n') ++i;
            ++block;
            lineStart = i + 1;
        } else if (i - lineStart >= kLongLine) {
            const qsizetype cut = CutAt(text, lineStart);
            if (shown.isEmpty()) shown.reserve(n + n / kLongLine + 16);
            shown.append(QStringView(text).sliced(copied, cut - copied));
            shown.append(u'\n');
            copied = cut;
            continued.push_back(++block);
            lineStart = cut;
            i = cut - 1;
        }
    }
    mayHaveCuts_ = !continued.empty();
    if (!mayHaveCuts_) {
        setPlainText(text);
        return;
    }
    shown.append(QStringView(text).sliced(copied));
    setPlainText(shown);
    QTextDocument* doc = document();
    for (const int number : continued) doc->findBlockByNumber(number).setUserState(kContinuesLine);
}

std::vector<int> TextBox::CutBlocks() const {
    std::vector<int> blocks;
    if (!mayHaveCuts_) return blocks;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next())
        if (b.userState() == kContinuesLine) blocks.push_back(b.blockNumber());
    return blocks;
}

void TextBox::MarkCutBlocks(const std::vector<int>& blocks) {
    QTextDocument* doc = document();
    for (const int number : blocks) doc->findBlockByNumber(number).setUserState(kContinuesLine);
    mayHaveCuts_ = !blocks.empty();
}

// Ctrl+Z after a load and back again. It holds one text at a time, the one that is not on
// show: the text before the load until it is undone, then the loaded one, with the blocks
// that are cuts of a long line.
class LoadStep : public QAbstractUndoItem {
  public:
    LoadStep(TextBox* box, QString before, std::vector<int> cuts)
        : box_(box), other_(std::move(before)), otherCuts_(std::move(cuts)) {}
    void undo() override { Swap(); }
    void redo() override { Swap(); }

  private:
    // The document records nothing while it undoes or redoes.
    void Swap() {
        QString shown = box_->document()->toRawText();
        std::vector<int> shownCuts = box_->CutBlocks();
        QTextCursor cursor(box_->document());
        cursor.select(QTextCursor::Document);
        cursor.insertText(std::exchange(other_, std::move(shown)));
        box_->MarkCutBlocks(std::exchange(otherCuts_, std::move(shownCuts)));
    }

    TextBox* box_;
    QString other_;
    std::vector<int> otherCuts_;
};

void TextBox::ReplaceAll(const QString& text) {
    QTextDocument* doc = document();
    QString before = doc->isEmpty() ? QString() : doc->toRawText();
    std::vector<int> cuts = CutBlocks();
    // Records nothing and drops the steps before: a step per paragraph of a large file would
    // make the load slow and hold memory for nothing.
    SetTextInPieces(text);
    doc->appendUndoItem(new LoadStep(this, std::move(before), std::move(cuts)));
}

void TextBox::RemoveCuts(QString& raw) const {
    if (!mayHaveCuts_) return;
    // Each block but the first follows one separator, at its position less one.
    qsizetype out = 0, in = 0;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
        if (b.userState() != kContinuesLine || b.position() == 0) continue;
        const qsizetype cut = b.position() - 1;
        if (cut >= raw.size()) break;
        std::copy(raw.constBegin() + in, raw.constBegin() + cut, raw.begin() + out);
        out += cut - in;
        in = cut + 1;
    }
    std::copy(raw.constBegin() + in, raw.constEnd(), raw.begin() + out);
    raw.truncate(out + (raw.size() - in));
}

QString TextBox::text() const {
    QString raw = document()->toRawText();
    RemoveCuts(raw);
    const qsizetype shown = raw.size();
    QString text = TextFromBox(std::move(raw));
    // Markers and cuts both make the text shorter than the document; without them the
    // offsets of the text are the document's positions, which SelectStretch relies on.
    identityRevision_ = text.size() == shown && !mayHaveCuts_ ? document()->revision() : -1;
    return text;
}

QMimeData* TextBox::createMimeDataFromSelection() const {
    auto* mime = new QMimeData;
    mime->setText(TextFromBox(textCursor().selectedText()));
    return mime;
}

void TextBox::keyPressEvent(QKeyEvent* event) {
    const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    if (tab && (event->modifiers() & Qt::ControlModifier)) {
        const bool back =
            event->key() == Qt::Key_Backtab || (event->modifiers() & Qt::ShiftModifier);
        QWidget::focusNextPrevChild(!back);  // the box's own keeps the focus for a tab
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TextBox::SelectStretch(qsizetype start, qsizetype end) {
    // The one place that maps offsets of text() to positions of the document: one to one
    // when the last text() found no marker and no cut, else by reading the document again.
    const qsizetype last = std::max(document()->characterCount() - 1, 0);
    std::function<qsizetype(qsizetype)> map = [](qsizetype offset) { return offset; };
    QString raw;
    std::vector<qsizetype> cuts;
    if (identityRevision_ != document()->revision()) {
        raw = document()->toRawText();
        for (const int block : CutBlocks())
            cuts.push_back(document()->findBlockByNumber(block).position() - 1);
        map = [&](qsizetype offset) { return BoxPosition(raw, cuts, offset); };
    }
    const auto position = [&](qsizetype offset) {
        return static_cast<int>(std::clamp<qsizetype>(map(offset), 0, last));
    };
    QTextCursor cursor(document());
    // The cursor at the start, so that a sentence longer than the box shows its beginning.
    cursor.setPosition(position(end));
    cursor.setPosition(position(start), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    ensureCursorVisible();
}

void TextBox::dragEnterEvent(QDragEnterEvent* event) {
    if (!LocalFiles(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
        return;
    }
    QPlainTextEdit::dragEnterEvent(event);
}

void TextBox::dragMoveEvent(QDragMoveEvent* event) {
    if (!LocalFiles(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
        return;
    }
    QPlainTextEdit::dragMoveEvent(event);
}

void TextBox::dropEvent(QDropEvent* event) {
    const QStringList paths = LocalFiles(event->mimeData());
    if (!paths.isEmpty()) {
        event->acceptProposedAction();
        emit filesDropped(paths);
        return;
    }
    QPlainTextEdit::dropEvent(event);
}

}  // namespace brintale
