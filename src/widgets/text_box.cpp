#include "widgets/text_box.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>
#include <algorithm>

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

TextBox::TextBox(QWidget* parent) : QPlainTextEdit(parent) {}

QString TextBox::text() const {
    QString text = document()->toRawText();
    for (QChar& c : text) {
        switch (c.unicode()) {
            case QChar::ParagraphSeparator:
            case QChar::LineSeparator:
            case 0xfdd0:  // frame marks of the document
            case 0xfdd1:
                c = u'\n';
                break;
            default:
                break;
        }
    }
    return text;
}

void TextBox::SelectStretch(qsizetype start, qsizetype end) {
    // The one place that maps offsets of text() to positions of the document: today one to
    // one, as text() holds a character for every position.
    const qsizetype last = std::max(document()->characterCount() - 1, 0);
    const auto position = [last](qsizetype offset) {
        return static_cast<int>(std::clamp<qsizetype>(offset, 0, last));
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
