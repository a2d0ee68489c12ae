#include "counting/counting_command.h"

#include <QCheckBox>
#include <QLineEdit>

#include "counting/splitter.h"
#include "results/results_model.h"
#include "shell/error_report.h"
#include "shell/main_window.h"
#include "shell/settings_store.h"
#include "shell/text_box.h"

namespace brintale::form1 {

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

void PushButton17_Click(Form1& form) {
    ErrorTrap trap(form, QStringLiteral("Form1.PushButton17_Click"));
    ResultsModel& results = form.results();
    QString text;
    QString separators;
    QString stored;
    QStringList abbreviations;

    trap(100, [&] { text = form.text1()->text(); });
    trap(102, [&] { text = RemoveCarriageReturns(std::move(text)); });
    trap(104, [&] { separators = form.text2()->text(); });
    // Only a ticked box adds its character; the grey state counts as cleared.
    if (trap.test(106, [&] { return form.check3()->checkState() == Qt::Checked; }))
        trap(108, [&] { separators += QChar(u'\n'); });
    if (trap.test(110, [&] { return form.check4()->checkState() == Qt::Checked; }))
        trap(112, [&] { separators += QChar(u'\t'); });
    trap(116, [&] { results.ClearRows(); });
    trap(118, [&] { stored = form.settings().Read(kKeyAbbreviations); });
    if (trap.test(120, [&] { return !stored.isEmpty(); })) {
        trap(122, [&] { abbreviations = SplitAbbreviationsForCount(stored); });
    }
    MaskedText masked;
    trap(126, [&] { masked = MaskAbbreviations(std::move(text), abbreviations); });
    {
        // The view hears of the rows once, when the scan is over.
        ResultsModel::Appending appending(results);
        trap(130, [&] {
            ScanSentences(masked, separators, [&](QString&& sentence) {
                trap(146, [&] { results.AppendRow(std::move(sentence)); });
            });
        });
    }
    trap(154, [&] { results.SetHeaderTotal(); });
    trap(156, [&] { form.SetPointer(Form1::Pointer::Default); });
}

void Text2_Change(Form1& form) { form.StoreOption(kKeyEnding, form.text2()->text()); }

void Check3_Click(Form1& form) { form.StoreOption(kKeyEnter, CheckValueText(form.check3())); }

void Check4_Click(Form1& form) { form.StoreOption(kKeyTab, CheckValueText(form.check4())); }

}  // namespace brintale::form1
