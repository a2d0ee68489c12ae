#include "widgets/text_box.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTextDocument>
#include <QUrl>

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

TextBox::TextBox(QWidget* parent) : QPlainTextEdit(parent) {}

QString TextBox::text() const { return TextFromBox(document()->toRawText()); }

QMimeData* TextBox::createMimeDataFromSelection() const {
    auto* mime = new QMimeData;
    mime->setText(TextFromBox(textCursor().selectedText()));
    return mime;
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
