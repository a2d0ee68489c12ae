#pragma once

#include <QPlainTextEdit>
#include <QStringList>

namespace brintale {

// The text to count. Plain text only; local files dropped on it are handed on as paths.
class TextBox : public QPlainTextEdit {
    Q_OBJECT

  public:
    explicit TextBox(QWidget* parent = nullptr);

    // The text as typed, line breaks as line feeds. Unlike toPlainText(), it keeps no-break
    // spaces, which the splitter must not trim.
    QString text() const;

    // Selects the stretch [start, end) of text() and scrolls it into view, leaving the focus
    // where it is. Offsets past the end stop at the end.
    void SelectStretch(qsizetype start, qsizetype end);

  signals:
    void filesDropped(const QStringList& paths);

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

}  // namespace brintale
