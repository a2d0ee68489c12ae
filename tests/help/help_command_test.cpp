#include "help/help_command.h"

#include <gtest/gtest.h>

#include "shell/main_window.h"
#include "shell/settings_store.h"
#include "shell/text_box.h"
#include "support/fakes.h"

namespace brintale {
namespace {

using testing::FakePrompts;

// Every press shows the same one-line box and changes nothing else.
TEST(HelpCommand, ShowsTheContactPageEveryTime) {
    testing::FakeServices fake;
    SettingsStore settings;
    Form1 form(fake.services, settings);
    form.text1()->setPlainText(QStringLiteral("Some text."));

    form1::PushButton6_Click(form);
    form1::PushButton6_Click(form);

    ASSERT_EQ(fake.prompts.calls.size(), 2u);
    for (const FakePrompts::Call& call : fake.prompts.calls) {
        EXPECT_EQ(call.kind, FakePrompts::Kind::Message);
        EXPECT_EQ(call.title, QStringLiteral("Brintale"));
        EXPECT_EQ(call.text, QStringLiteral("Questions? Please contact Team Quorvane at "
                                            "https://www.quorvane.example/contact"));
        EXPECT_EQ(call.icon, Prompts::Icon::None);
    }
    EXPECT_EQ(form.text1()->toPlainText(), QStringLiteral("Some text."));
    EXPECT_EQ(form.pointer(), Form1::Pointer::Default);
    EXPECT_TRUE(fake.desktop.opened.empty());
    for (const QString& key : {kKeyEnding, kKeyEnter, kKeyTab, kKeyAbbreviations})
        EXPECT_EQ(settings.Read(key, QStringLiteral("<absent>")), QStringLiteral("<absent>"));
}

}  // namespace
}  // namespace brintale
