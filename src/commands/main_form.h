#pragma once

#include <QString>

#include "core/error_report.h"

class QCheckBox;
class QLineEdit;
class QTreeView;
class QWidget;

namespace brintale {

class ResultsModel;
class Session;
class SettingsStore;
class TextBox;
struct Services;

// What the main window's commands reach: its controls, its services, its pointer and what
// the commands remember between presses. The
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
    virtual Session& session() const = 0;

    // The window pointer; the hourglass doubles as the busy flag.
    virtual void SetPointer(Pointer pointer) = 0;
    virtual Pointer pointer() const = 0;
    bool IsBusy() const { return pointer() == Pointer::Hourglass; }

    // Shows the abbreviation list window, modal; returns when it is closed.
    virtual void ShowAbbreviationsDialog() = 0;
};

}  // namespace brintale
