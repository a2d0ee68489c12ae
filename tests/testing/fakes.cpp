#include "testing/fakes.h"

#include <QDir>

#include "core/error_report.h"
#include "core/failure.h"

namespace brintale::testing {

namespace {
template <class T>
T Take(std::deque<T>& queue, T fallback, bool keepLast) {
    if (queue.empty()) return fallback;
    if (keepLast && queue.size() == 1) return queue.front();
    T value = queue.front();
    queue.pop_front();
    return value;
}
}  // namespace

void FakePrompts::Message(QWidget*, const QString& title, const QString& text, Icon icon) {
    calls.push_back({Kind::Message, title, text, icon, QString()});
    if (onCall) onCall(calls.back());
}

bool FakePrompts::AskYesNo(QWidget*, const QString& title, const QString& text) {
    calls.push_back({Kind::YesNo, title, text, Icon::None, QString()});
    if (onCall) onCall(calls.back());
    return Take(yesNoAnswers, false, keepLastAnswer);
}

QString FakePrompts::InputText(QWidget*, const QString& title, const QString& prompt) {
    calls.push_back({Kind::Input, title, prompt, Icon::None, QString()});
    if (onCall) onCall(calls.back());
    return Take(inputAnswers, QString(), keepLastAnswer);
}

QString FakePrompts::OpenFileName(QWidget*, const QString& title, const QString& filter,
                                  const QString& folder) {
    calls.push_back({Kind::Open, title, filter, Icon::None, folder});
    if (onCall) onCall(calls.back());
    return Take(fileNames, QString(), keepLastAnswer);
}

QString FakePrompts::SaveFileName(QWidget*, const QString& title, const QString& filter,
                                  const QString& folder) {
    calls.push_back({Kind::Save, title, filter, Icon::None, folder});
    if (onCall) onCall(calls.back());
    return Take(fileNames, QString(), keepLastAnswer);
}

std::vector<FakePrompts::Call> FakePrompts::of(Kind kind) const {
    std::vector<Call> out;
    for (const Call& c : calls)
        if (c.kind == kind) out.push_back(c);
    return out;
}

QStringList FakePrompts::errorReports() const {
    QStringList out;
    for (const Call& c : calls)
        if (c.kind == Kind::Message && c.title == kErrorReportTitle) out << c.text;
    return out;
}

std::unique_ptr<SpreadsheetApplication> RefusingSpreadsheets::Create() {
    throw Failure(QStringLiteral("Cannot create the spreadsheet application"));
}

FakeServices::FakeServices() {
    // No skin and no pointer file unless a test puts them there.
    services.programFolder = QDir::tempPath() + QStringLiteral("/brintale-no-program-folder");
}

}  // namespace brintale::testing
