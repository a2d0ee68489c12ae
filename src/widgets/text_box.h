#pragma once

#include <QPlainTextEdit>
#include <QStringList>
#include <vector>

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

    // The box lays out a paragraph whole, at the load and at every key typed in it, so a
    // megabyte without a line break freezes it. Like setPlainText(), but a paragraph longer
    // than kLongLine characters shows as blocks cut after a space near that length; the
    // cuts are no characters: text() gives the line back whole.
    static constexpr qsizetype kLongLine = 4096;
    void SetTextInPieces(const QString& text);

    // Puts a loaded text (already as TextForBox gives it) in pieces into the box as one undo
    // step that holds the text before it: undoing brings that back, cuts and all, and no step
    // is recorded per paragraph, however large the text. Earlier steps go.
    void ReplaceAll(const QString& text);

    // Selects the stretch [start, end) of text() and scrolls it into view, leaving the focus
    // where it is. Offsets past the end stop at the end.
    void SelectStretch(qsizetype start, qsizetype end);

  private:
    friend class LoadStep;
    // The numbers of the blocks that continue the line before them.
    std::vector<int> CutBlocks() const;
    void MarkCutBlocks(const std::vector<int>& blocks);

    // Takes out the block breaks that SetTextInPieces made from the document's raw text.
    void RemoveCuts(QString& raw) const;
    bool mayHaveCuts_ = false;
    // The document revision at which text() held a character for every position.
    mutable int identityRevision_ = -1;

  signals:
    void filesDropped(const QStringList& paths);

  protected:
    // Ctrl+Tab and Ctrl+Shift+Tab leave the box, where Tab types a tab.
    void keyPressEvent(QKeyEvent* event) override;
    // A copy holds the text that text() would give.
    QMimeData* createMimeDataFromSelection() const override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

}  // namespace brintale
