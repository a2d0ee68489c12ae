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
    // File dialogs. The filter has the form "Text Files (*.txt)|*.txt|All Files (*.*)|*.*|",
    // its first entry preselected. Cancel gives the empty text.
    virtual QString OpenFileName(QWidget* parent, const QString& title, const QString& filter) = 0;
    // No overwrite question of the dialog's own and no default extension.
    virtual QString SaveFileName(QWidget* parent, const QString& title, const QString& filter) = 0;
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
