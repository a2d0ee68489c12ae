#include "shell/error_report.h"

#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "shell/failure.h"

namespace brintale {
namespace {

TEST(ErrorReportText, IsBuiltExactly) {
    EXPECT_EQ(ErrorReportText(QStringLiteral("Disk full"),
                              ProcedureTag(QStringLiteral("Form1.PushButton17_Click")), 118),
              QStringLiteral("Disk full\r\nin Brintale2021/08/31.Form1.PushButton17_Click at line "
                             "118\r\rPlease email screenshot of this message to "
                             "support@quorvane.example"));
}

struct Report {
    QString description;
    QString tag;
    int line;
};

class RecordingReporter : public ErrorReporter {
  public:
    void ShowErrorReport(const QString& d, const QString& t, int l) override {
        reports.push_back({d, t, l});
    }
    std::vector<Report> reports;
};

// A handler written for the test: every resume rule once.
TEST(ErrorTrap, ResumesAfterEachFailingStatement) {
    RecordingReporter reporter;
    ErrorTrap trap(reporter, QStringLiteral("Form1.Test_Click"));
    std::vector<int> ran;
    trap(100, [&] { throw Failure(QStringLiteral("first")); });
    trap(102, [&] { ran.push_back(102); });
    if (trap.test(104, [&]() -> bool { throw std::bad_alloc(); }))  // failing test: body runs
        trap(106, [&] { ran.push_back(106); });
    if (trap.test(108, [] { return false; })) trap(110, [&] { ran.push_back(110); });
    trap(112, [&] { throw std::runtime_error("plain"); });
    trap(114, [&] { ran.push_back(114); });

    EXPECT_EQ(ran, (std::vector<int>{102, 106, 114}));
    ASSERT_EQ(reporter.reports.size(), 3u);
    EXPECT_EQ(reporter.reports[0].line, 100);
    EXPECT_EQ(reporter.reports[0].description, QStringLiteral("first"));
    EXPECT_EQ(reporter.reports[0].tag, QStringLiteral("Brintale2021/08/31.Form1.Test_Click"));
    EXPECT_EQ(reporter.reports[1].line, 104);
    EXPECT_EQ(reporter.reports[1].description, QStringLiteral("Out of memory"));
    EXPECT_EQ(reporter.reports[2].line, 112);
    EXPECT_EQ(reporter.reports[2].description, QStringLiteral("plain"));
    EXPECT_EQ(trap.failures(), 3);
}

// Rules 3 and 4: a failing loop head runs the body; a failing step leaves the loop.
TEST(ErrorTrap, LoopHeadAndStepFailures) {
    RecordingReporter reporter;
    ErrorTrap trap(reporter, QStringLiteral("Form1.Test_Click"));
    std::vector<int> body;
    int i = 0;
    const int n = 5;
    for (bool go = trap.test(100, [&]() -> bool { throw Failure(QStringLiteral("bounds")); }); go;
         go = trap(104,
                   [&] {
                       if (++i == 2) throw Failure(QStringLiteral("step"));
                   }) &&
              i < n)
        trap(102, [&] { body.push_back(i); });
    trap(106, [&] { body.push_back(-1); });

    EXPECT_EQ(body, (std::vector<int>{0, 1, -1}));
    ASSERT_EQ(reporter.reports.size(), 2u);
    EXPECT_EQ(reporter.reports[0].line, 100);
    EXPECT_EQ(reporter.reports[1].line, 104);
}

}  // namespace
}  // namespace brintale
