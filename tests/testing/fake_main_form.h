#pragma once

#include <QWidget>

#include "commands/main_form.h"
#include "commands/session.h"
#include "core/settings_store.h"
#include "testing/fakes.h"

namespace brintale::testing {

// The controls the main window's commands work on, without the window around them: the
// separators ".!?" and both boxes ticked, as a new user's window starts. Reports go to the
// fake prompts; the pointer is only recorded.
class FakeMainForm : public QWidget, public MainForm {
  public:
    // Spreadsheets: the application to export to instead of one that cannot be started.
    explicit FakeMainForm(SpreadsheetProvider* spreadsheets = nullptr);
    ~FakeMainForm() override;

    QWidget* widget() override { return this; }
    TextBox* textBox() const override { return textBox_; }
    QLineEdit* separatorsEdit() const override { return separatorsEdit_; }
    QCheckBox* lineBreakEnds() const override { return lineBreakEnds_; }
    QCheckBox* tabEnds() const override { return tabEnds_; }
    QTreeView* resultsView() const override { return resultsView_; }
    ResultsModel& results() const override { return *results_; }
    Services& services() const override { return services_; }
    SettingsStore& settings() const override { return settings_; }
    Session& session() const override { return *session_; }
    void SetPointer(Pointer pointer) override { pointer_ = pointer; }
    Pointer pointer() const override { return pointer_; }
    void ShowAbbreviationsDialog() override { ++abbreviationDialogs; }
    void ShowErrorReport(const QString& description, const QString& tag, int line) override;

    FakeServices& fakes() { return fakes_; }
    QStringList Reports() const { return fakes_.prompts.errorReports(); }
    int abbreviationDialogs = 0;

  private:
    FakeServices fakes_;
    mutable Services services_;
    mutable SettingsStore settings_;
    Session* session_ = new Session(this);
    Pointer pointer_ = Pointer::Default;
    TextBox* textBox_;
    QLineEdit* separatorsEdit_;
    QCheckBox* lineBreakEnds_;
    QCheckBox* tabEnds_;
    QTreeView* resultsView_;
    ResultsModel* results_;
};

}  // namespace brintale::testing
