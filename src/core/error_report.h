#pragma once

#include <QString>
#include <exception>
#include <utility>

namespace brintale {

inline const QString kSupportAddress = QStringLiteral("support@quorvane.example");
inline const QString kErrorReportTitle = QStringLiteral("Application Error");

// "Brintale2021/08/31." and the module and procedure, e.g. tags::kStartCounting.
QString ProcedureTag(const QString& moduleAndProcedure);

// The exact text of the error report; its CR characters are kept as they are.
QString ErrorReportText(const QString& description, const QString& tag, int line);

// What the user reads for a caught failure: the failing operation's own words.
QString DescribeFailure(std::exception_ptr failure);

class ErrorReporter {
  public:
    virtual ~ErrorReporter() = default;
    // Returns when the user has closed the report.
    virtual void ShowErrorReport(const QString& description, const QString& tag, int line) = 0;
};

// Numbered statements of one handler run: a failing statement is reported and the
// handler goes on with the next one.
//
//   ErrorTrap trap(reporter, tags::kStartCounting);
//   trap(100, [&] { text = ...; });
//   if (trap.test(106, [&] { return ...; }))  // a failing test runs the body
//       trap(108, [&] { ... });
//
// Loops: a failing head runs the body (test() answers true); a failing step leaves the
// loop (operator() answers false):
//   for (bool go = trap.test(124, [&] { return i < n; }); go;
//        go = trap(128, [&] { ++i; }) && i < n)
//       trap(126, [&] { ... });
class ErrorTrap {
  public:
    ErrorTrap(ErrorReporter& reporter, const QString& moduleAndProcedure)
        : reporter_(reporter), tag_(ProcedureTag(moduleAndProcedure)) {}

    // Runs the statement; returns false when it failed (and was reported).
    template <class Statement>
    bool operator()(int line, Statement&& statement) {
        try {
            std::forward<Statement>(statement)();
            return true;
        } catch (...) {
            report(line, std::current_exception());
            return false;
        }
    }

    // A branch or loop test: a failing test counts as true, so the body runs.
    template <class Condition>
    bool test(int line, Condition&& condition) {
        try {
            return static_cast<bool>(std::forward<Condition>(condition)());
        } catch (...) {
            report(line, std::current_exception());
            return true;
        }
    }

    int failures() const { return failures_; }
    const QString& tag() const { return tag_; }

  private:
    void report(int line, std::exception_ptr failure);

    ErrorReporter& reporter_;
    QString tag_;
    int failures_ = 0;
};

}  // namespace brintale
