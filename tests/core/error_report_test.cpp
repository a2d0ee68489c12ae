#include "core/error_report.h"

#include <gtest/gtest.h>

#include <new>
#include <tuple>
#include <vector>

#include "core/failure.h"
#include "core/procedure_tags.h"

namespace brintale {
namespace {

TEST(ErrorReportText, IsBuiltExactly) {
    const QString text =
        ErrorReportText(QStringLiteral("Disk full"), ProcedureTag(tags::kStartCounting), 118);
    EXPECT_EQ(text, QStringLiteral("Disk full\r\nin Brintale2021/08/31.Form1.PushButton17_Click at "
                                   "line 118\r\rPlease email screenshot of this message to "
                                   "support@quorvane.example"));
}

using Report = std::tuple<QString, int>;  // description, statement number

// Records the reports of a trap written for the test.
class ErrorTrapTest : public ::testing::Test, public ErrorReporter {
  protected:
    void ShowErrorReport(const QString& description, const QString& tag, int line) override {
        EXPECT_EQ(tag, QStringLiteral("Brintale2021/08/31.Tests.Trap"));
        reports.emplace_back(description, line);
    }
    std::vector<Report> reports;
    std::vector<int> ran;
    ErrorTrap trap{*this, QStringLiteral("Tests.Trap")};
};

TEST_F(ErrorTrapTest, ResumesAfterEachFailingStatementAndAFailingTestRunsTheBody) {
    trap(100, [&] { throw Failure(QStringLiteral("first")); });
    trap(102, [&] { ran.push_back(102); });
    if (trap.test(104, []() -> bool { throw std::bad_alloc(); }))
        trap(106, [&] { ran.push_back(106); });
    if (trap.test(108, [] { return false; })) trap(110, [&] { ran.push_back(110); });
    trap(112, [&] { throw std::runtime_error("plain"); });
    trap(114, [&] { ran.push_back(114); });
    EXPECT_EQ(ran, (std::vector<int>{102, 106, 114}));
    EXPECT_EQ(reports,
              (std::vector<Report>{{"first", 100}, {"Out of memory", 104}, {"plain", 112}}));
    EXPECT_EQ(trap.failures(), 3);
}

TEST_F(ErrorTrapTest, AFailingLoopHeadRunsTheBodyAndAFailingStepLeavesTheLoop) {
    int i = 0;
    const auto step = [&] { ++i == 2 ? throw Failure(QStringLiteral("step")) : void(); };
    for (bool go = trap.test(100, []() -> bool { throw Failure(QStringLiteral("bounds")); }); go;
         go = trap(104, step) && i < 5)
        trap(102, [&] { ran.push_back(i); });
    trap(106, [&] { ran.push_back(-1); });
    EXPECT_EQ(ran, (std::vector<int>{0, 1, -1}));
    EXPECT_EQ(reports, (std::vector<Report>{{"bounds", 100}, {"step", 104}}));
}

}  // namespace
}  // namespace brintale
