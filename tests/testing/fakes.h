#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
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
    };

    void Message(QWidget* parent, const QString& title, const QString& text, Icon icon) override;
    bool AskYesNo(QWidget* parent, const QString& title, const QString& text) override;
    QString InputText(QWidget* parent, const QString& title, const QString& prompt) override;
    QString OpenFileName(QWidget* parent, const QString& title, const QString& filter) override;
    QString SaveFileName(QWidget* parent, const QString& title, const QString& filter) override;

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
    Services services{prompts, desktop, spreadsheets, random, clipboard, QString()};
};

}  // namespace brintale::testing
