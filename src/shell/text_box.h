#pragma once

#include <QPlainTextEdit>
#include <QStringList>

namespace brintale {

// The text to count. Plain text only; local files dropped on it are handed on as paths.
class TextBox : public QPlainTextEdit {
    Q_OBJECT

  public:
    explicit TextBox(QWidget* parent = nullptr);

  signals:
    void filesDropped(const QStringList& paths);

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

}  // namespace brintale
