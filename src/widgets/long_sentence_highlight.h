#pragma once

#include <QColor>
#include <QFutureWatcher>
#include <QObject>
#include <QTimer>
#include <functional>
#include <vector>

#include "core/text_sentences.h"

namespace brintale {

class TextBox;

// Colours the long sentences of the text box where they stand: more than longerThan() words
// on yellow, more than twice that on red. The sentences are worked out off the interface
// thread a little after the last change; only what is on screen is coloured, as extra
// selections, which neither the text, its undo history nor a copy ever see.
class LongSentenceHighlight : public QObject {
    Q_OBJECT

  public:
    // A sentence's stretch of the document (positions, not text offsets) and its words.
    using Span = SentenceSpan;

    explicit LongSentenceHighlight(TextBox& box);
    ~LongSentenceHighlight() override;

    // Read each time the sentences are worked out; without it a line feed ends them.
    void setRules(std::function<SentenceRules()> rules);
    // Works the sentences out again, as after a change of the rules.
    void Refresh() { schedule(); }
    void setEnabled(bool on);
    bool enabled() const { return enabled_; }
    void setLongerThan(int words);
    int longerThan() const { return longerThan_; }
    // Whether the sentences are worked out, for sentencesNow(), while the colours are off.
    void setCounting(bool on);

    // The sentences of the text as it now is; -1 until they are known.
    qsizetype sentencesNow() const { return sentencesNow_; }
    // Whether a change still waits to be worked out or applied.
    bool pending() const;
    // The long sentences as last worked out, their positions kept up with the edits since.
    const std::vector<Span>& spans() const { return spans_; }
    // The words of the long sentence at a document position; -1 for none.
    int WordsAt(int position) const;

    static QColor LongColour();
    static QColor VeryLongColour();

    // The most characters an edit may put in or take out for the stretches it touches to
    // keep their colour until they are worked out again.
    static constexpr int kSmallEdit = 64;
    // How long after the last change the work starts.
    static constexpr int kDelayMs = 120;

  signals:
    void enabledChanged(bool on);
    // The sentences of the text as it now is are known and coloured where asked.
    void updated();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Found {
        TextSentences sentences;
        quint64 generation = 0;
    };
    void changed(int position, int removed, int added);
    void schedule();
    void start();
    void finished();
    void paintVisible();
    bool wanted() const { return enabled_ || counting_; }

    TextBox& box_;
    std::function<SentenceRules()> rules_;
    bool enabled_ = false;
    bool counting_ = false;
    int longerThan_ = 25;
    QTimer delay_;
    QTimer repaint_;
    QFutureWatcher<Found> watcher_;
    quint64 generation_ = 0;  // counts the changes, so that a stale result is told apart
    bool working_ = false;    // until the result is taken, after the work's end
    bool again_ = false;      // changed while being worked out
    std::vector<Span> spans_;
    qsizetype sentencesNow_ = -1;
};

}  // namespace brintale
