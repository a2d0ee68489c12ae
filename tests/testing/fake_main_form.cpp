#include "testing/fake_main_form.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTreeView>

#include "core/results_model.h"
#include "widgets/text_box.h"

namespace brintale::testing {

FakeMainForm::FakeMainForm(SpreadsheetProvider* spreadsheets)
    : services_{fakes_.prompts,
                fakes_.desktop,
                spreadsheets != nullptr ? *spreadsheets : fakes_.spreadsheets,
                fakes_.random,
                fakes_.clipboard,
                fakes_.progress,
                fakes_.services.programFolder},
      textBox_(new TextBox(this)),
      separatorsEdit_(new QLineEdit(kDefaultEnding, this)),
      lineBreakEnds_(new QCheckBox(this)),
      tabEnds_(new QCheckBox(this)),
      resultsView_(new QTreeView(this)),
      results_(new ResultsModel(this)) {
    lineBreakEnds_->setCheckState(Qt::Checked);
    tabEnds_->setCheckState(Qt::Checked);
    resultsView_->setModel(results_);
}

FakeMainForm::~FakeMainForm() = default;

void FakeMainForm::ShowErrorReport(const QString& description, const QString& tag, int line) {
    ShowErrorReportBox(fakes_.prompts, this, description, tag, line);
}

}  // namespace brintale::testing
