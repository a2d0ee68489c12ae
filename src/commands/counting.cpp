#include "commands/counting.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QtConcurrent/QtConcurrentRun>

#include "commands/main_form.h"
#include "commands/session.h"
#include "core/error_report.h"
#include "core/procedure_tags.h"
#include "core/product.h"
#include "core/results_model.h"
#include "core/settings_store.h"
#include "core/splitter/splitter.h"
#include "core/splitter/unicode_sentences.h"
#include "platform/services.h"
#include "widgets/text_box.h"

namespace brintale {

namespace {

// The stored value of a box: "0" cleared, "1" ticked, "2" grey.
QString CheckValueText(const QCheckBox* box) {
    switch (box->checkState()) {
        case Qt::Checked:
            return QStringLiteral("1");
        case Qt::PartiallyChecked:
            return QStringLiteral("2");
        default:
            return QStringLiteral("0");
    }
}

}  // namespace

// When the store fails the option stays in the window and the user is told once, until a
// store succeeds again.
void StoreOption(MainForm& form, const QString& key, const QString& value) {
    try {
        form.settings().Write(key, value);
        form.session().optionStoreFailing = false;
    } catch (const std::exception&) {
        if (form.session().optionStoreFailing) return;
        form.session().optionStoreFailing = true;
        form.services().prompts.Message(
            form.widget(), ApplicationTitle(),
            DescribeFailure(std::current_exception()) +
                QStringLiteral("\r\n\r\nThe option stays in effect until the program closes "
                               "and is saved again when it next changes."),
            Prompts::Icon::Warning);
    }
}

void StartCounting(MainForm& form) {
    ErrorTrap trap(form, tags::kStartCounting);
    ResultsModel& results = form.results();
    QString text;
    QString separators;
    QString stored;
    QStringList abbreviations;

    trap(100, [&] { text = form.textBox()->text(); });
    // Carriage returns stay in: the splitter ignores them and gives stretches in the text
    // as counted, which a loaded file's lone ones are part of.
    const QString counted = text;  // shared with the text being split, not a copy
    trap(104, [&] { separators = form.separatorsEdit()->text(); });
    // Only a ticked box adds its character; the grey state counts as cleared.
    if (trap.test(106, [&] { return form.lineBreakEnds()->checkState() == Qt::Checked; }))
        trap(108, [&] { separators += QChar(u'\n'); });
    if (trap.test(110, [&] { return form.tabEnds()->checkState() == Qt::Checked; }))
        trap(112, [&] { separators += QChar(u'\t'); });
    trap(116, [&] { results.Clear(); });
    // Until the list is first stored, the count uses the entries the list window shows.
    trap(118, [&] {
        stored = form.settings().Read(kKeyAbbreviations, JoinAbbreviations(kBuiltInAbbreviations));
    });
    if (trap.test(120, [&] { return !stored.isEmpty(); })) {
        trap(122, [&] { abbreviations = SplitAbbreviationsForCount(stored); });
    }
    MaskedText masked;
    trap(126, [&] { masked = MaskAbbreviations(std::move(text), abbreviations); });
    {
        // The view hears of the rows once, when the scan is over.
        ResultsModel::Appending appending(results);
        trap(130, [&] {
            ScanSentences(masked, separators,
                          [&](QString&& sentence, qsizetype start, qsizetype end) {
                              trap(146, [&] { results.Append(std::move(sentence), start, end); });
                          });
        });
    }
    Session& session = form.session();
    const quint64 number = session.lastCount.number + 1;
    session.lastCount = {true, abbreviations, false,
                         QtConcurrent::run([text = counted, list = abbreviations]() -> qsizetype {
                             try {
                                 return CountUnicodeSentences(text, list);
                             } catch (...) {
                                 return -1;
                             }
                         }),
                         number};
    session.lastCount.sentences = results.rowCount();
    trap(154, [&] { results.SetHeaderTotal(); });
    trap(156, [&] { form.SetPointer(MainForm::Pointer::Default); });
    emit session.counted();
}

void StoreSeparators(MainForm& form) {
    StoreOption(form, kKeyEnding, form.separatorsEdit()->text());
}

void StoreLineBreakOption(MainForm& form) {
    StoreOption(form, kKeyEnter, CheckValueText(form.lineBreakEnds()));
}

void StoreTabOption(MainForm& form) { StoreOption(form, kKeyTab, CheckValueText(form.tabEnds())); }

}  // namespace brintale
