#pragma once

#include <QPlainTextEdit>
#include <QStringList>

namespace brintale {

// The text to count. Plain text only; local files dropped on it are handed on as paths.
class TextBox : public QPlainTextEdit {
    Q_OBJECT

  public:
    explicit TextBox(QWidget* parent = nullptr);

    // The text as typed, line breaks as line feeds; a loaded file's lone carriage returns,
    // U+2028 and U+2029 as themselves (see box_content.h). Unlike toPlainText(), it keeps
    // no-break spaces, which the splitter must not trim.
    QString text() const;

  signals:
    void filesDropped(const QStringList& paths);

  protected:
    // A copy holds the text that text() would give.
    QMimeData* createMimeDataFromSelection() const override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

}  // namespace brintale
