#pragma once

#include <QFuture>
#include <QString>
#include <QStringList>

#include "core/error_report.h"

class QCheckBox;
class QLineEdit;
class QTreeView;
class QWidget;

namespace brintale {

class ResultsModel;
class SettingsStore;
class TextBox;
struct Services;

// What the main window's commands reach: its controls, its services and its pointer. The
// main window implements it; tests implement it without a window around it.
class MainForm : public ErrorReporter {
  public:
    enum class Pointer { Default, Hourglass, Custom };

    // The parent of every box the commands show.
    virtual QWidget* widget() = 0;
    virtual TextBox* textBox() const = 0;
    virtual QLineEdit* separatorsEdit() const = 0;
    virtual QCheckBox* lineBreakEnds() const = 0;
    virtual QCheckBox* tabEnds() const = 0;
    virtual QTreeView* resultsView() const = 0;
    virtual ResultsModel& results() const = 0;
    virtual Services& services() const = 0;
    virtual SettingsStore& settings() const = 0;

    // The window pointer; the hourglass doubles as the busy flag.
    virtual void SetPointer(Pointer pointer) = 0;
    virtual Pointer pointer() const = 0;
    bool IsBusy() const { return pointer() == Pointer::Hourglass; }

    // Shows the abbreviation list window, modal; returns when it is closed.
    virtual void ShowAbbreviationsDialog() = 0;

    // Set while storing an option fails, so that the user is told once per run of failures.
    bool optionStoreFailing = false;

    // The last count: the abbreviations it used and how a reader counts its text, worked out
    // in the background so that the count need not keep the text (as large as the text box's)
    // once that is done. A count sets it; the window marks it changed when the text box
    // changes after it.
    struct CountedText {
        bool done = false;
        QStringList abbreviations;
        bool changedSince = false;
        QFuture<qsizetype> readerCount;  // -1 when the reader's rules could not count it
        quint64 number = 0;              // counts the counts, so that each is told apart
        qsizetype sentences = 0;         // the rows it made
    };
    CountedText lastCount;
};

}  // namespace brintale
