#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "platform/qt_services.h"
#include "platform/services.h"
#include "platform/spreadsheet_application.h"

namespace brintale::testing {

// Answers modal boxes and dialogs from a script and records what was asked.
class FakePrompts : public Prompts {
  public:
    enum class Kind { Message, YesNo, Input, Open, Save };
    struct Call {
        Kind kind;
        QString title;
        QString text;  // the message, the prompt or the filter
        Icon icon = Icon::None;
        QString folder;  // where a file dialog opened
    };

    void Message(QWidget* parent, const QString& title, const QString& text, Icon icon) override;
    bool AskYesNo(QWidget* parent, const QString& title, const QString& text) override;
    QString InputText(QWidget* parent, const QString& title, const QString& prompt) override;
    QString OpenFileName(QWidget* parent, const QString& title, const QString& filter,
                         const QString& folder) override;
    QString SaveFileName(QWidget* parent, const QString& title, const QString& filter,
                         const QString& folder) override;

    // Calls of one kind, in order.
    std::vector<Call> of(Kind kind) const;
    // The error reports shown so far, as their full texts.
    QStringList errorReports() const;

    std::vector<Call> calls;
    std::deque<bool> yesNoAnswers;     // empty: No
    std::deque<QString> inputAnswers;  // empty: Cancel
    std::deque<QString> fileNames;     // empty: Cancel
    // Runs while a box is "shown", e.g. to look at the pointer at that moment.
    std::function<void(const Call&)> onCall;
    // The last scripted answer of each kind is given again and again (benchmarks ask often).
    bool keepLastAnswer = false;
};

class FakeDesktop : public Desktop {
  public:
    bool OpenUrl(const QUrl& url) override {
        opened.push_back(url);
        return answer;
    }
    std::vector<QUrl> opened;
    bool answer = true;
};

// Records every task's label, steps and furthest progress; shows nothing. Cancels a
// cancellable task once it has done cancelAt steps, when that is set.
class FakeProgress : public Progress {
  public:
    struct Task {
        QString label;
        int steps = 0;
        int done = 0;
        bool finished = false;
        bool cancellable = false;
    };
    void Start(QWidget*, const QString& label, int steps, bool cancellable) override {
        tasks.push_back({label, steps, 0, false, cancellable});
    }
    void Advance(int done) override {
        if (!tasks.empty()) tasks.back().done = std::max(tasks.back().done, done);
    }
    bool Cancelled() const override {
        return cancelAt >= 0 && !tasks.empty() && tasks.back().cancellable &&
               !tasks.back().finished && tasks.back().done >= cancelAt;
    }
    void Finish() override {
        if (!tasks.empty()) tasks.back().finished = true;
    }
    // The task running at this moment, if any.
    const Task* running() const {
        return tasks.empty() || tasks.back().finished ? nullptr : &tasks.back();
    }
    std::vector<Task> tasks;
    int cancelAt = -1;
};

class FakeRandom : public RandomSource {
  public:
    double Draw() override { return value; }
    double value = 0.5;
};

class RefusingSpreadsheets : public SpreadsheetProvider {
  public:
    std::unique_ptr<SpreadsheetApplication> Create() override;
};

// A full set of fake services around the application's real clipboard; the program folder
// holds nothing unless a test sets services.programFolder.
struct FakeServices {
    FakeServices();
    FakePrompts prompts;
    FakeDesktop desktop;
    RefusingSpreadsheets spreadsheets;
    FakeRandom random;
    QtClipboard clipboard;
    FakeProgress progress;
    Services services{prompts, desktop, spreadsheets, random, clipboard, progress, QString()};
};

}  // namespace brintale::testing
