#pragma once

#include <QPlainTextEdit>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <optional>
#include <vector>

#include "widgets/box_content.h"

namespace brintale {

class LongSentenceHighlight;

// The text to count. Plain text only; local files dropped on it are handed on as paths.
// What the document holds is the text encoded by box_content.h; every way out of the box
// (text(), copy, cut, drag, undo, the screen reader's text) gives the text itself.
class TextBox : public QPlainTextEdit {
    Q_OBJECT

  public:
    explicit TextBox(QWidget* parent = nullptr);
    ~TextBox() override;

    // The text as loaded, typed or pasted: a loaded file's lone carriage returns, U+2028 and
    // U+2029 as themselves, line breaks typed as line feeds. Unlike toPlainText(), it keeps
    // no-break spaces, which the splitter must not trim.
    QString text() const;

    // What the document holds: its raw text and the positions of its cuts.
    BoxContent Content() const;

    // The selected text as text() has it (copy gives the same).
    QString SelectedText() const;

    // Puts a text into the box as one undo step that holds the text before it: undoing brings
    // that back exactly, and no step is recorded per paragraph, however large the text.
    // Earlier steps go. A large text goes in a slice at a time between the window's events,
    // the box read-only meanwhile; whatever reads the text, or edits it, first puts in the
    // rest. A load that replaces one still going in takes its place: undo goes back to the
    // text before both.
    void Load(QString text);
    // Whether a load is still going in, and putting in the rest of it at once.
    bool Loading() const { return pending_ != nullptr; }
    void FinishLoad();
    // How large a text must be to go in slices, how large a slice is at least (in UTF-16
    // units), and how long each slice may take before the window's events have their turn.
    void SetLoadSlices(qsizetype above, qsizetype slice, int budgetMs = 25);

    // Replaces the selection of `cursor` with a text, encoded as a load is, as one undo step.
    void InsertText(QTextCursor& cursor, const QString& text);

    // Selects the stretch [start, end) of text() and scrolls it into view, leaving the focus
    // where it is. Offsets past the end stop at the end.
    void SelectStretch(qsizetype start, qsizetype end);

    // The document read back with the mapping of offsets; kept until the document changes.
    const BoxReading& Reading() const;

    // Colours the long sentences in place; off until turned on.
    LongSentenceHighlight& longSentences() const { return *longSentences_; }

  signals:
    void filesDropped(const QStringList& paths);
    // The last slice of a load is in.
    void loadFinished();

  protected:
    // Ctrl+Tab and Ctrl+Shift+Tab leave the box, where Tab types a tab. Keys at a cut act on
    // the characters either side of it.
    void keyPressEvent(QKeyEvent* event) override;
    // Copy, cut and drag hold the selected text as text() gives it.
    QMimeData* createMimeDataFromSelection() const override;
    // Paste and drop go in encoded.
    void insertFromMimeData(const QMimeData* source) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    friend class LoadStep;
    struct PendingLoad;
    // Puts in the text of the pending load up to `end`, with its cuts; the first replaces
    // what the box held.
    void FirstSlice();
    void PutSlice(qsizetype end);
    void NextSlices();
    // How large the next slice may be, when the last one of `units` took `tookNs`.
    qsizetype NextSliceSize(qsizetype units, qint64 tookNs) const;
    void CompleteLoad();
    // Stops the load where it stands, for an edit that did not wait for it.
    void AbandonLoad();
    // Readers see the whole text.
    void Settle() const;
    // Marks the blocks after the cuts, and clears the mark on the other blocks that begin in
    // [from, to], which inherit it when a break goes into a marked block.
    void MarkCuts(qsizetype from, qsizetype to, const std::vector<qsizetype>& cuts);
    std::vector<qsizetype> Cuts(qsizetype from = 0, qsizetype to = -1) const;
    // Brings the reading up to an edit of the document; false where it must be read again.
    bool PatchReading(int position, int removed, int added);

    mutable std::optional<BoxReading> reading_;
    // The content as the last load put it in, while the document still holds just that: it
    // shares the loaded text, so that the next load keeps it for undo without a copy.
    std::optional<BoxContent> loaded_;
    LongSentenceHighlight* longSentences_ = nullptr;
    std::unique_ptr<PendingLoad> pending_;
    QTimer slicer_;
    bool slicing_ = false;                     // the document changes for a slice, not for an edit
    qsizetype slicedAbove_ = 2 * 1024 * 1024;  // 4 MB
    qsizetype slice_ = 1024 * 1024;
    int sliceBudgetMs_ = 25;
};

}  // namespace brintale
