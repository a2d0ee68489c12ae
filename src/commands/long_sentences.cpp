#include "commands/long_sentences.h"

#include <QCheckBox>
#include <QLineEdit>

#include "commands/counting.h"
#include "commands/main_form.h"
#include "core/results_model.h"
#include "core/settings_store.h"
#include "core/splitter/splitter.h"
#include "core/statistics.h"
#include "widgets/long_sentence_highlight.h"
#include "widgets/text_box.h"

namespace brintale {

int ReadLongSentenceWords(const SettingsStore& settings) {
    bool ok = false;
    const int words =
        settings.Read(kKeyLongSentenceWords, QString::number(kDefaultLongSentenceWords))
            .trimmed()
            .toInt(&ok);
    return ok && words >= 0 && words <= kMaxLongSentenceWords ? words : kDefaultLongSentenceWords;
}

void StoreLongSentenceWords(MainForm& form, int words) {
    StoreOption(form, kKeyLongSentenceWords, QString::number(words));
    form.textBox()->longSentences().setLongerThan(words);
}

bool ReadHighlightLongSentences(const SettingsStore& settings) {
    return settings.Read(kKeyHighlightLongSentences, QStringLiteral("0")).trimmed() ==
           QStringLiteral("1");
}

void SetHighlightLongSentences(MainForm& form, bool on) {
    LongSentenceHighlight& highlight = form.textBox()->longSentences();
    if (highlight.enabled() == on) return;
    highlight.setEnabled(on);
    StoreOption(form, kKeyHighlightLongSentences, on ? QStringLiteral("1") : QStringLiteral("0"));
}

SentenceRules CurrentSentenceRules(MainForm& form) {
    SentenceRules rules;
    rules.separators = ComposeSeparatorSet(form.separatorsEdit()->text(),
                                           form.lineBreakEnds()->checkState() == Qt::Checked,
                                           form.tabEnds()->checkState() == Qt::Checked);
    const QString stored =
        form.settings().Read(kKeyAbbreviations, JoinAbbreviations(kBuiltInAbbreviations));
    if (!stored.isEmpty()) rules.abbreviations = SplitAbbreviationsForCount(stored);
    return rules;
}

void TickLongSentences(MainForm& form, int longerThanWords) {
    if (form.IsBusy()) return;
    form.results().TickWhere(
        [longerThanWords](const QString& text) { return CountWords(text) > longerThanWords; });
}

}  // namespace brintale
