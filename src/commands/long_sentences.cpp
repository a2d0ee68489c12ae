#include "commands/long_sentences.h"

#include "commands/counting.h"
#include "commands/main_form.h"
#include "core/results_model.h"
#include "core/settings_store.h"
#include "core/statistics.h"

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
}

void TickLongSentences(MainForm& form, int longerThanWords) {
    if (form.IsBusy()) return;
    form.results().TickWhere(
        [longerThanWords](const QString& text) { return CountWords(text) > longerThanWords; });
}

}  // namespace brintale
