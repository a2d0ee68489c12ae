#include "abbreviations/abbreviation_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <memory>

#include "shell/main_window.h"
#include "shell/settings_store.h"
#include "support/fakes.h"

namespace brintale {
namespace {

using testing::FakePrompts;
using testing::FakeServices;

const QString D = QStringLiteral("My_Separatora12");
const QString kBuiltInsStored = QStringLiteral(
    "etc.My_Separatora12vs.My_Separatora12i.e.My_Separatora12et al.My_Separatora12e.g."
    "My_Separatora12");

QString ReportTag(const char* procedure, int line) {
    return QStringLiteral("in Brintale2021/08/31.Form2.%1 at line %2\r\r")
        .arg(QString::fromLatin1(procedure))
        .arg(line);
}

// The next widget that Tab reaches; the list's own parts are in the chain but take no focus.
QWidget* NextTabStop(QWidget* from) {
    QWidget* w = from->nextInFocusChain();
    while (w != from && !(w->focusPolicy() & Qt::TabFocus)) w = w->nextInFocusChain();
    return w;
}

class AbbreviationWindow : public ::testing::Test {
  protected:
    // A fresh window as the main window opens it, shown but not modal.
    Form2& Open() {
        window = std::make_unique<Form2>(fake.services, settings);
        window->Form_Load();
        window->show();
        return *window;
    }
    QString Stored() const { return settings.Read(kKeyAbbreviations, QStringLiteral("<absent>")); }
    void Select(int row) {
        window->listView1()->setCurrentItem(window->listView1()->topLevelItem(row));
    }

    FakeServices fake;
    SettingsStore settings;
    std::unique_ptr<Form2> window;
};

TEST_F(AbbreviationWindow, OpeningReadsTheStoredListOrShowsTheBuiltIns) {
    struct Case {
        const char* name;
        std::optional<QString> stored;
        QStringList expected;
    };
    const Case cases[] = {
        {"absent", std::nullopt, kBuiltInAbbreviations},
        {"empty", QString(), kBuiltInAbbreviations},
        {"stored",
         QStringLiteral("Dr.") + D + QStringLiteral("et al.") + D,
         {QStringLiteral("Dr."), QStringLiteral("et al.")}},
        {"only delimiters", D + D, {}},
        {"double delimiter",
         QStringLiteral("etc.") + D + D + QStringLiteral("vs.") + D,
         {QStringLiteral("etc."), QStringLiteral("vs.")}},
        {"kept as stored, no final delimiter",
         QStringLiteral(" etc.") + D + QStringLiteral("etc.") + D + QStringLiteral("etc."),
         {QStringLiteral(" etc."), QStringLiteral("etc."), QStringLiteral("etc.")}},
        {"delimiter in other case",
         QStringLiteral("x.my_separatora12y.") + D,
         {QStringLiteral("x.my_separatora12y.")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QSettings(QStringLiteral("Quorvane"), QStringLiteral("Brintale Software")).clear();
        if (c.stored) settings.Write(kKeyAbbreviations, *c.stored);

        EXPECT_EQ(Open().Entries(), c.expected);
        // Opening alone writes nothing.
        EXPECT_EQ(Stored(), c.stored.value_or(QStringLiteral("<absent>")));
    }
    EXPECT_TRUE(fake.prompts.calls.empty());
}

TEST_F(AbbreviationWindow, FixedWindowWithItsColumnAndTabOrder) {
    Form2& form = Open();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Ignore These Abbreviations"));
    EXPECT_EQ(form.minimumSize(), QSize(312, 330));
    EXPECT_EQ(form.maximumSize(), QSize(312, 330));
    EXPECT_FALSE(form.windowFlags() &
                 (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(form.listView1()->headerItem()->text(0), QStringLiteral("Abbreviation(s)"));
    EXPECT_EQ(form.listView1()->columnWidth(0), 266);  // 4000 twips, not stretched

    // Tab goes from the list through the buttons in this order.
    const std::pair<int, QString> order[] = {{4, QStringLiteral("Add")},
                                             {1, QStringLiteral("Delete Selected")},
                                             {2, QStringLiteral("Close")},
                                             {3, QStringLiteral("Clear List")}};
    QWidget* previous = form.listView1();
    for (const auto& [number, caption] : order) {
        QPushButton* button = form.pushButton(number);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), caption);
        EXPECT_EQ(NextTabStop(previous), button) << number;
        previous = button;
    }
}

TEST_F(AbbreviationWindow, AddKeepsTheAnswerExactlyAndDropsDuplicates) {
    settings.Write(kKeyAbbreviations, QStringLiteral("etc.") + D);
    Form2& form = Open();
    // An empty deque entry stands for Cancel or an empty answer: both give "".
    const QString answers[] = {QStringLiteral("etc."),  QStringLiteral("Etc."),
                               QStringLiteral(" etc."), QString(),
                               QStringLiteral("   "),   QStringLiteral("Etc.")};
    for (const QString& answer : answers) {
        fake.prompts.inputAnswers = {answer};
        form.PushButton4_Click();
    }
    EXPECT_EQ(form.Entries(), (QStringList{QStringLiteral("etc."), QStringLiteral("Etc."),
                                           QStringLiteral(" etc."), QStringLiteral("   ")}));
    const auto asked = fake.prompts.of(FakePrompts::Kind::Input);
    ASSERT_EQ(asked.size(), std::size(answers));
    EXPECT_EQ(asked[0].title, QStringLiteral("Brintale"));
    EXPECT_EQ(asked[0].text, QStringLiteral("Enter Abbreviation: "));
    EXPECT_TRUE(fake.prompts.of(FakePrompts::Kind::Message).empty());
    // The new row is the selected one.
    EXPECT_EQ(form.listView1()->selectedItems().value(0)->text(0), QStringLiteral("   "));
}

TEST_F(AbbreviationWindow, DeleteRemovesTheSelectedRowAndNeedsOne) {
    Form2& form = Open();
    QTest::keyClick(form.listView1(), Qt::Key_Delete);  // nothing selected: the key does nothing
    form.PushButton1_Click();                           // the button reports it
    const QStringList reports = fake.prompts.errorReports();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains(ReportTag("PushButton1_Click", 102)))
        << reports[0].toStdString();
    EXPECT_EQ(form.Entries(), kBuiltInAbbreviations);

    Select(2);
    form.PushButton1_Click();
    // The neighbour is selected next, so the Delete key can go on.
    QTest::keyClick(form.listView1(), Qt::Key_Delete);
    EXPECT_EQ(form.Entries(),
              (QStringList{QStringLiteral("etc."), QStringLiteral("vs."), QStringLiteral("e.g.")}));

    // An empty list has nothing to delete and nothing to report.
    form.PushButton3_Click();
    form.PushButton1_Click();
    EXPECT_EQ(fake.prompts.calls.size(), 1u);
}

TEST_F(AbbreviationWindow, EveryWayOfClosingStoresTheList) {
    struct Case {
        const char* name;
        std::function<void(Form2&)> close;
    };
    const Case cases[] = {
        {"Close button", [](Form2& f) { QTest::mouseClick(f.pushButton(2), Qt::LeftButton); }},
        {"close box", [](Form2& f) { f.close(); }},
        {"Escape", [](Form2& f) { QTest::keyClick(f.listView1(), Qt::Key_Escape); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QSettings(QStringLiteral("Quorvane"), QStringLiteral("Brintale Software")).clear();
        Form2& form = Open();
        c.close(form);
        EXPECT_FALSE(form.isVisible());
        EXPECT_EQ(Stored(), kBuiltInsStored);
    }
    EXPECT_TRUE(fake.prompts.calls.empty());
}

TEST_F(AbbreviationWindow, ClearedListIsStoredEmptyAndReopensWithTheBuiltIns) {
    settings.Write(kKeyAbbreviations, QStringLiteral("Dr.") + D);
    Open().PushButton3_Click();
    EXPECT_TRUE(window->Entries().isEmpty());
    window->PushButton2_Click();
    EXPECT_EQ(Stored(), QString());
    EXPECT_EQ(Open().Entries(), kBuiltInAbbreviations);
}

TEST_F(AbbreviationWindow, EntryHoldingTheDelimiterComesBackCut) {
    settings.Write(kKeyAbbreviations, QStringLiteral("etc.") + D);
    fake.prompts.inputAnswers = {QStringLiteral("a.") + D + QStringLiteral("b."),
                                 D + QStringLiteral("c.")};
    Open().PushButton4_Click();
    window->PushButton4_Click();
    window->PushButton2_Click();
    EXPECT_EQ(Stored(), QStringLiteral("etc.") + D + QStringLiteral("a.") + D +
                            QStringLiteral("b.") + D + D + QStringLiteral("c.") + D);
    EXPECT_EQ(Open().Entries(), (QStringList{QStringLiteral("etc."), QStringLiteral("a."),
                                             QStringLiteral("b."), QStringLiteral("c.")}));
}

TEST_F(AbbreviationWindow, ListHoldsAtMost32767EntriesAndLosesNoneStored) {
    QStringList many;
    for (int i = 0; i < kMaxAbbreviations + 3; ++i) many << QStringLiteral("a%1.").arg(i);
    settings.Write(kKeyAbbreviations, JoinAbbreviations(many));

    Form2& form = Open();
    EXPECT_EQ(form.listView1()->topLevelItemCount(), kMaxAbbreviations);
    EXPECT_EQ(form.Entries().last(), many.at(kMaxAbbreviations - 1));
    auto messages = fake.prompts.of(FakePrompts::Kind::Message);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("32,770")))
        << messages[0].text.toStdString();

    // Full: "Add" refuses before asking.
    form.PushButton4_Click();
    EXPECT_TRUE(fake.prompts.of(FakePrompts::Kind::Input).empty());
    messages = fake.prompts.of(FakePrompts::Kind::Message);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(messages[1].text.contains(QStringLiteral("32,767")))
        << messages[1].text.toStdString();

    // The entries beyond the list are written back after it.
    Select(0);
    form.PushButton1_Click();
    form.PushButton2_Click();
    many.removeFirst();
    EXPECT_EQ(Stored(), JoinAbbreviations(many));

    // "Clear List" clears them too.
    Open().PushButton3_Click();
    window->PushButton2_Click();
    EXPECT_EQ(Stored(), QString());
    EXPECT_TRUE(fake.prompts.errorReports().isEmpty());
}

TEST_F(AbbreviationWindow, HandPointerOverButtonsWhenTheCursorFileIsThere) {
    QTemporaryDir folder;
    const QByteArray source = qgetenv("BRINTALE_SOURCE_DIR");
    ASSERT_FALSE(source.isEmpty());
    struct Case {
        const char* name;
        QString copyFrom;  // empty: no cursor file
        QByteArray contents;
        bool hand;
        int reports;
    };
    const Case cases[] = {
        {"no file", QString(), QByteArray(), false, 0},
        {"cursor file", QString::fromLocal8Bit(source) + QStringLiteral("/resources/HAND-M.CUR"),
         QByteArray(), true, 0},
        {"not a cursor", QString(), QByteArray("not a cursor"), false, 1},
    };
    fake.services.programFolder = folder.path();
    const QString cursorFile = folder.filePath(QStringLiteral("HAND-M.CUR"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(cursorFile);
        if (!c.copyFrom.isEmpty()) {
            ASSERT_TRUE(QFile::copy(c.copyFrom, cursorFile));
        }
        if (!c.contents.isEmpty()) {
            QFile file(cursorFile);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(c.contents);
        }
        fake.prompts.calls.clear();

        Form2& form = Open();
        EXPECT_EQ(form.hoverCursor().has_value(), c.hand);
        for (int number : {1, 2, 3, 4}) {
            EXPECT_EQ(form.pushButton(number)->testAttribute(Qt::WA_SetCursor), c.hand) << number;
        }
        EXPECT_FALSE(form.listView1()->testAttribute(Qt::WA_SetCursor));
        EXPECT_FALSE(form.testAttribute(Qt::WA_SetCursor));
        const QStringList reports = fake.prompts.errorReports();
        ASSERT_EQ(reports.size(), c.reports);
        if (c.reports > 0) {
            EXPECT_TRUE(reports[0].contains(ReportTag("Form_Load", 106)));
        }
        // Loading goes on after a bad cursor file.
        EXPECT_EQ(form.Entries(), kBuiltInAbbreviations);
    }
}

TEST_F(AbbreviationWindow, StoreThatCannotBeWrittenIsReportedOnClose) {
    // The store's folder cannot be created below a plain file.
    QTemporaryDir dir;
    const QString blocker = dir.filePath(QStringLiteral("file"));
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, blocker);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, blocker);

    Form2& form = Open();
    form.PushButton2_Click();

    const QStringList reports = fake.prompts.errorReports();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains(ReportTag("Form_QueryUnload", 108)))
        << reports[0].toStdString();
    EXPECT_FALSE(form.isVisible());  // the close goes on
}

// The main window's button opens the window modally and the close stores the list.
TEST_F(AbbreviationWindow, MainWindowButtonOpensItModally) {
    Form1 main(fake.services, settings);
    QString seenTitle;
    QTimer closer;
    closer.setInterval(10);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            seenTitle = modal->windowTitle();
            modal->close();
        }
    });
    closer.start();

    QTest::mouseClick(main.pushButton(4), Qt::LeftButton);

    EXPECT_EQ(seenTitle, QStringLiteral("Ignore These Abbreviations"));
    EXPECT_EQ(Stored(), kBuiltInsStored);
    EXPECT_TRUE(fake.prompts.errorReports().isEmpty());
}

}  // namespace
}  // namespace brintale
