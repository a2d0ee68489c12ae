#pragma once

#include <QString>
#include <QUrl>

class QWidget;

namespace brintale {

class SpreadsheetProvider;

// Modal boxes and dialogs. Tests answer them from a script instead of a person.
class Prompts {
  public:
    enum class Icon { None, Warning };
    virtual ~Prompts() = default;

    // An OK-only box; returns when it is closed.
    virtual void Message(QWidget* parent, const QString& title, const QString& text, Icon icon) = 0;
    // A Yes/No box without icon; true for Yes.
    virtual bool AskYesNo(QWidget* parent, const QString& title, const QString& text) = 0;
    // A one-line input box with an empty default answer; Cancel gives the empty text.
    virtual QString InputText(QWidget* parent, const QString& title, const QString& prompt) = 0;
    // File dialogs, opening in folder (empty: the dialog's own choice). The filter has the
    // form "Text Files (*.txt)|*.txt|All Files (*.*)|*.*|", its first entry preselected.
    // Cancel gives the empty text.
    virtual QString OpenFileName(QWidget* parent, const QString& title, const QString& filter,
                                 const QString& folder) = 0;
    // No overwrite question of the dialog's own and no default extension.
    virtual QString SaveFileName(QWidget* parent, const QString& title, const QString& filter,
                                 const QString& folder) = 0;
};

// How far a long task has come, for the user to see; shown only once the task has run for
// a while, and never over a box or a dialog. Tests record it instead.
class Progress {
  public:
    virtual ~Progress() = default;
    // A task of `steps` steps begins; the label says what it does. A task that can stop
    // without leaving anything half done offers Cancel.
    virtual void Start(QWidget* parent, const QString& label, int steps, bool cancellable) = 0;
    // `done` of the steps are done. Called once a step, so it must be cheap.
    virtual void Advance(int done) = 0;
    // True once the user has asked a cancellable task to stop.
    virtual bool Cancelled() const = 0;
    virtual void Finish() = 0;
};

// Progress from construction to destruction, so that a failure ending the task ends it too.
class ProgressScope {
  public:
    ProgressScope(Progress& progress, QWidget* parent, const QString& label, int steps,
                  bool cancellable)
        : progress_(progress) {
        progress_.Start(parent, label, steps, cancellable);
    }
    ~ProgressScope() { progress_.Finish(); }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;
    void operator()(int done) { progress_.Advance(done); }
    bool cancelled() const { return progress_.Cancelled(); }

  private:
    Progress& progress_;
};

// The browser and the desktop's own applications.
class Desktop {
  public:
    virtual ~Desktop() = default;
    // Opens a web page or a file in the user's application for it, without waiting.
    virtual bool OpenUrl(const QUrl& url) = 0;
};

// A draw in [0, 1).
class RandomSource {
  public:
    virtual ~RandomSource() = default;
    virtual double Draw() = 0;
};

// One attempt at a time on the system clipboard; the procedures of clipboard.h retry.
class Clipboard {
  public:
    virtual ~Clipboard() = default;
    // True when the clipboard is empty afterwards.
    virtual bool TryClear() = 0;
    // True when the clipboard holds the text afterwards.
    virtual bool TrySetText(const QString& text, int format) = 0;
};

// What the windows reach outside themselves.
struct Services {
    Prompts& prompts;
    Desktop& desktop;
    SpreadsheetProvider& spreadsheets;
    RandomSource& random;
    Clipboard& clipboard;
    Progress& progress;
    QString programFolder;  // where HAND-M.CUR and x/o.cjs are looked for
};

// "Name (*.ext)|*.ext|...|" in the form a Qt file dialog takes.
QString QtFileFilter(const QString& filter);

// Opens the home page when the start-up draw says so.
void MaybeOpenHomePage(RandomSource& random, Desktop& desktop);

// The error report box of every window: title "Application Error", a warning, OK only.
void ShowErrorReportBox(Prompts& prompts, QWidget* parent, const QString& description,
                        const QString& tag, int line);

}  // namespace brintale
