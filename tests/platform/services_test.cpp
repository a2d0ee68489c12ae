#include "platform/services.h"

#include <gtest/gtest.h>

#include "platform/qt_services.h"
#include "testing/fakes.h"

namespace brintale {
namespace {

TEST(HomePage, OpensForDrawsInTheSeventhHundredthOnly) {
    testing::FakeDesktop desktop;
    testing::FakeRandom random;
    for (const double draw : {0.0599999, 0.06, 0.0699999, 0.07, 0.5}) {
        random.value = draw;
        MaybeOpenHomePage(random, desktop);
    }
    EXPECT_EQ(desktop.opened,
              std::vector(2, QUrl(QStringLiteral("https://www.quorvane.example/"))));
}

TEST(MessageBoxText, ShowsEveryCarriageReturnAsALineBreak) {
    EXPECT_EQ(DisplayLineBreaks(QStringLiteral("a\r\nb\r\rc")), QStringLiteral("a\nb\n\nc"));
}

}  // namespace
}  // namespace brintale
