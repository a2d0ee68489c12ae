#include "commands/help.h"

#include <QSettings>

#include "commands/command_fixture.h"

namespace brintale {

// Every press shows the same one-line box and changes nothing: no page opened, no setting.
TEST_F(CommandTest, HelpShowsTheContactPageEveryTime) {
    for (int press = 0; press < 2; ++press) ShowHelp(form);
    ASSERT_EQ(fakes.prompts.of(testing::FakePrompts::Kind::Message).size(), 2u);
    for (const testing::FakePrompts::Call& call : fakes.prompts.calls) {
        EXPECT_EQ(call.icon, Prompts::Icon::None);
        EXPECT_EQ(call.title + u'|' + call.text,
                  QStringLiteral("Brintale|Questions? Please contact Team Quorvane at "
                                 "https://www.quorvane.example/contact"));
    }
    EXPECT_TRUE(fakes.desktop.opened.empty());
    EXPECT_TRUE(QSettings(QStringLiteral("Quorvane"), QStringLiteral("Brintale Software"))
                    .allKeys()
                    .isEmpty());
}

}  // namespace brintale
