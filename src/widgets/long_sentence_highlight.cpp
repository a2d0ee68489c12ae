#include "widgets/long_sentence_highlight.h"

#include <QEvent>
#include <QHelpEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolTip>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

#include "widgets/text_box.h"

namespace brintale {

namespace {

// The first span that ends after `position`.
std::vector<SentenceSpan>::const_iterator FirstEndingAfter(const std::vector<SentenceSpan>& spans,
                                                           qsizetype position) {
    return std::upper_bound(spans.begin(), spans.end(), position,
                            [](qsizetype p, const SentenceSpan& s) { return p < s.end; });
}

}  // namespace

LongSentenceHighlight::LongSentenceHighlight(TextBox& box) : QObject(&box), box_(box) {
    delay_.setSingleShot(true);
    delay_.setInterval(kDelayMs);
    connect(&delay_, &QTimer::timeout, this, &LongSentenceHighlight::start);
    repaint_.setSingleShot(true);
    repaint_.setInterval(0);
    connect(&repaint_, &QTimer::timeout, this, &LongSentenceHighlight::paintVisible);
    connect(&watcher_, &QFutureWatcher<Found>::finished, this, &LongSentenceHighlight::finished);
    connect(box_.document(), &QTextDocument::contentsChange, this, &LongSentenceHighlight::changed);
    connect(&box_, &TextBox::loadFinished, this, &LongSentenceHighlight::schedule);
    connect(box_.verticalScrollBar(), &QScrollBar::valueChanged, this,
            &LongSentenceHighlight::paintVisible);
    connect(box_.horizontalScrollBar(), &QScrollBar::valueChanged, this,
            &LongSentenceHighlight::paintVisible);
    box_.viewport()->installEventFilter(this);
}

LongSentenceHighlight::~LongSentenceHighlight() { watcher_.waitForFinished(); }

void LongSentenceHighlight::setRules(std::function<SentenceRules()> rules) {
    rules_ = std::move(rules);
    schedule();
}

void LongSentenceHighlight::setEnabled(bool on) {
    if (on == enabled_) return;
    enabled_ = on;
    if (on)
        schedule();
    else
        paintVisible();
    emit enabledChanged(on);
}

void LongSentenceHighlight::setLongerThan(int words) {
    if (words == longerThan_) return;
    longerThan_ = words;
    spans_.clear();
    schedule();
}

void LongSentenceHighlight::setCounting(bool on) {
    counting_ = on;
    if (on && sentencesNow_ < 0) schedule();
}

bool LongSentenceHighlight::pending() const {
    return (wanted() && box_.Loading()) || delay_.isActive() || working_ || again_ ||
           repaint_.isActive();
}

int LongSentenceHighlight::WordsAt(int position) const {
    const auto span = FirstEndingAfter(spans_, position);
    return span != spans_.end() && span->start <= position ? span->words : -1;
}

QColor LongSentenceHighlight::LongColour() { return QColor(0xff, 0xe9, 0x7a); }
QColor LongSentenceHighlight::VeryLongColour() { return QColor(0xff, 0x9e, 0x9e); }

void LongSentenceHighlight::changed(int position, int removed, int added) {
    // The stretches after the change move with it until they are worked out again; one a
    // key changes grows or shrinks with it, but a paste or a load over one says nothing of
    // what it now holds, so its colour goes.
    const qsizetype delta = added - removed;
    const bool small = removed <= kSmallEdit && added <= kSmallEdit;
    std::erase_if(spans_, [&](Span& s) {
        if (s.end <= position) return false;
        if (s.start >= position + removed) {
            s.start += delta;
        } else {
            if (!small) return true;
            s.start = std::min<qsizetype>(s.start, position);
        }
        s.end = std::max<qsizetype>(s.start, s.end + delta);
        return false;
    });
    sentencesNow_ = -1;
    schedule();
    // The layout follows the change later: asked now, it answers for the old text.
    repaint_.start();
}

void LongSentenceHighlight::schedule() {
    ++generation_;
    if (wanted()) delay_.start();
}

void LongSentenceHighlight::start() {
    // Reading a text still going in would put in the rest at once; its end starts this again.
    if (!wanted() || box_.Loading()) return;
    if (working_) {
        again_ = true;
        return;
    }
    again_ = false;
    working_ = true;
    const SentenceRules rules = rules_ ? rules_() : SentenceRules{QStringLiteral("\n"), {}};
    // The document read on this thread, the rest off it: the text, the sentences, and where
    // each stands in the document.
    BoxContent content = box_.Content();
    const int longer = longerThan_;
    const quint64 generation = generation_;
    watcher_.setFuture(
        QtConcurrent::run([content = std::move(content), rules, longer, generation]() mutable {
            const BoxReading reading(std::move(content));
            Found found{FindSentences(reading.text(), rules, longer), generation};
            for (Span& s : found.sentences.longer) {
                s.start = reading.Position(s.start);
                s.end = reading.Position(s.end);
            }
            return found;
        }));
}

void LongSentenceHighlight::finished() {
    working_ = false;
    Found found = watcher_.result();
    if (again_ || found.generation != generation_) {
        // The text changed meanwhile: what was found is of an older text.
        if (again_ || !delay_.isActive()) start();
        return;
    }
    spans_ = std::move(found.sentences.longer);
    sentencesNow_ = found.sentences.sentences;
    paintVisible();
    emit updated();
}

void LongSentenceHighlight::paintVisible() {
    QList<QTextEdit::ExtraSelection> selections;
    if (enabled_ && !spans_.empty()) {
        // Only what is on screen: the extra selections are gone through at every paint.
        const QRect area = box_.viewport()->rect();
        const int first = box_.cursorForPosition(area.topLeft()).block().position();
        const QTextBlock lastBlock = box_.cursorForPosition(area.bottomRight()).block();
        const int last = lastBlock.position() + lastBlock.length();
        const int docEnd = std::max(box_.document()->characterCount() - 1, 0);
        for (auto s = FirstEndingAfter(spans_, first); s != spans_.end() && s->start < last; ++s) {
            QTextEdit::ExtraSelection selection;
            selection.cursor = QTextCursor(box_.document());
            selection.cursor.setPosition(static_cast<int>(
                std::clamp<qsizetype>(std::max<qsizetype>(s->start, first), 0, docEnd)));
            selection.cursor.setPosition(static_cast<int>(std::clamp<qsizetype>(
                                             std::min<qsizetype>(s->end, last), 0, docEnd)),
                                         QTextCursor::KeepAnchor);
            selection.format.setBackground(s->words > 2 * qsizetype(longerThan_) ? VeryLongColour()
                                                                                 : LongColour());
            selection.format.setForeground(box_.palette().text());
            selections << selection;
        }
    }
    if (!selections.isEmpty() || !box_.extraSelections().isEmpty())
        box_.setExtraSelections(selections);
}

bool LongSentenceHighlight::eventFilter(QObject* watched, QEvent* event) {
    if (watched == box_.viewport()) {
        if (event->type() == QEvent::Resize) {
            repaint_.start();
        } else if (event->type() == QEvent::ToolTip && enabled_) {
            const auto* help = static_cast<QHelpEvent*>(event);
            const int words = WordsAt(box_.cursorForPosition(help->pos()).position());
            if (words >= 0) {
                QToolTip::showText(help->globalPos(),
                                   QStringLiteral("This sentence has %1 words.").arg(words),
                                   box_.viewport());
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace brintale
