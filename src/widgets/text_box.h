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

  signals:
    void filesDropped(const QStringList& paths);

  protected:
    // Ctrl+Tab and Ctrl+Shift+Tab leave the box, where Tab types a tab.
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

}  // namespace brintale
