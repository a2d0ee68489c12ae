#pragma once

#include <QCursor>
#include <QDialog>
#include <QStringList>
#include <map>
#include <optional>

#include "shell/error_report.h"
#include "shell/seams.h"

class QPushButton;
class QTreeWidget;

namespace brintale {

class Form1;
class SettingsStore;

// Rows are counted in 16-bit signed integers where the list is kept.
inline constexpr int kMaxAbbreviations = 32767;

inline const QStringList kBuiltInAbbreviations = {QStringLiteral("etc."), QStringLiteral("vs."),
                                                  QStringLiteral("i.e."), QStringLiteral("et al."),
                                                  QStringLiteral("e.g.")};

// "Ignore These Abbreviations": edits the stored abbreviation list. Every close stores
// the whole list, however the window was closed.
class Form2 : public QDialog, public ErrorReporter {
    Q_OBJECT

  public:
    Form2(Services& services, SettingsStore& settings, QWidget* parent = nullptr);
    ~Form2() override;

    // Fills the list from the store, or with the built-in entries.
    void Form_Load();

    void PushButton4_Click();  // "Add"
    void PushButton1_Click();  // "Delete Selected"
    void PushButton3_Click();  // "Clear List"
    void PushButton2_Click();  // "Close"
    // Stores the list; runs at every close.
    void Form_QueryUnload();

    // True when no row has exactly this text.
    bool IsNewAbbreviation(const QString& text) const;

    // The rows, in order.
    QStringList Entries() const;
    QTreeWidget* listView1() const { return listView1_; }
    // PushButton1 to PushButton4.
    QPushButton* pushButton(int number) const;
    // The hand over the buttons, once loaded from the program folder.
    const std::optional<QCursor>& hoverCursor() const { return hoverCursor_; }

    void ShowErrorReport(const QString& description, const QString& tag, int line) override;

    // Every way of closing (button, close box, Escape) ends here.
    void done(int result) override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void buildControls();
    void AddRow(const QString& text);

    Services& services_;
    SettingsStore& settings_;
    QTreeWidget* listView1_ = nullptr;
    std::map<int, QPushButton*> buttons_;
    std::optional<QCursor> hoverCursor_;
    // Stored entries beyond what the list can hold; written back unless the list is cleared.
    QStringList overflow_;
};

namespace form1 {

// Opens the abbreviation list window, modal.
void PushButton4_Click(Form1& form);

}  // namespace form1
}  // namespace brintale
