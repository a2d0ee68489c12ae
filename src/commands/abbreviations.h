#pragma once

#include <QStringList>

#include "core/error_report.h"

class QTreeWidget;
class QWidget;

namespace brintale {

class MainForm;
class SettingsStore;
struct Services;

// Rows are counted in 16-bit signed integers where the list is kept.
inline constexpr int kMaxAbbreviations = 32767;

// What the commands of the window "Ignore These Abbreviations" reach; the dialog implements it.
class AbbreviationsForm : public ErrorReporter {
  public:
    virtual QWidget* widget() = 0;
    // One column, one abbreviation per row.
    virtual QTreeWidget* list() const = 0;
    virtual Services& services() const = 0;
    virtual SettingsStore& settings() const = 0;
    virtual void CloseWindow() = 0;

    // Stored entries beyond what the list can hold; written back unless the list is cleared.
    QStringList overflow;
    // The entries as this window last read or stored them: what it changed since is what it
    // stores, so that another window's changes in the meantime are kept.
    QStringList seen;
};

// "List Of Abbreviations To Ignore (Such as etc.)": shows the window, modal.
void OpenAbbreviations(MainForm& form);

// Statements 112 on of the window's start-up: the stored list, or the built-in entries.
void LoadAbbreviations(AbbreviationsForm& form, ErrorTrap& trap);
void AddAbbreviation(AbbreviationsForm& form);             // "Add"
void DeleteSelectedAbbreviation(AbbreviationsForm& form);  // "Delete Selected"
void ClearAbbreviations(AbbreviationsForm& form);          // "Clear List"
void CloseAbbreviations(AbbreviationsForm& form);          // "Close"
// Stores this window's changes into the list as it is stored now; runs after every change
// and at every close, so that an end of the program while the window is open loses no edit.
void StoreAbbreviations(AbbreviationsForm& form);

// The stored list `now` with the change from `before` to `after` made to it: entries gone
// from `after` are taken out, new ones appended in their order, and the rest left as they are.
QStringList MergeAbbreviations(const QStringList& now, const QStringList& before,
                               const QStringList& after);

// True when no row of the list has exactly this text.
bool IsNewAbbreviation(const QTreeWidget& list, const QString& text);
// The rows, in order.
QStringList AbbreviationEntries(const QTreeWidget& list);

}  // namespace brintale
