#include "abbreviations/abbreviation_window.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "shell/form_fixture.h"

namespace brintale {

using namespace Qt::StringLiterals;
const QString D = kAbbreviationDelimiter;

const QString kTag = u"in Brintale2021/08/31.Form2."_s;

class AbbreviationWindow : public FormTest {
  protected:
    // Shown but not modal, so that the test goes on.
    Form2& Open() {
        window = std::make_unique<Form2>(fakes.services, store);
        window->Form_Load();
        window->show();
        return *window;
    }
    QString Stored() const { return store.Read(kKeyAbbreviations, u"<absent>"_s); }

    std::unique_ptr<Form2> window;
};

// Opening writes nothing; closing by the button or the close box stores the whole list.
TEST_F(AbbreviationWindow, OpeningReadsTheStoreAndEveryCloseWritesIt) {
    const std::pair<QString, QStringList> cases[] = {
        {QString(), kBuiltInAbbreviations},
        // Kept as stored, repeats and spaces included; empty pieces give no row.
        {u" etc."_s + D + D + u"etc."_s + D + u"etc."_s, {u" etc."_s, u"etc."_s, u"etc."_s}},
        {D + D, {}},
    };
    for (const auto& [stored, expected] : cases) {
        for (const bool closeBox : {false, true}) {
            SCOPED_TRACE(expected.join(u',').toStdString() + (closeBox ? " close box" : " button"));
            store.Write(kKeyAbbreviations, stored);
            Form2& form = Open();
            EXPECT_EQ(form.Entries(), expected);
            EXPECT_EQ(Stored(), stored);
            closeBox ? void(form.close()) : QTest::mouseClick(form.pushButton(2), Qt::LeftButton);
            EXPECT_FALSE(form.isVisible());
            EXPECT_EQ(Stored(), JoinAbbreviations(expected));
        }
    }
    // The main window's button opens it modally; the empty list just stored means the built-ins.
    QStringList seen;
    QTimer::singleShot(0, [&] {
        auto* modal = qobject_cast<Form2*>(QApplication::activeModalWidget());
        if (modal && modal->close()) seen << modal->windowTitle() << modal->Entries();
    });
    QTest::mouseClick(Load().pushButton(4), Qt::LeftButton);
    EXPECT_EQ(seen, QStringList{u"Ignore These Abbreviations"_s} + kBuiltInAbbreviations);
    // A failed write is reported and does not stop the close.
    BrokenStore broken;
    Open().PushButton2_Click();
    ASSERT_EQ(fakes.prompts.calls.size(), 1u);
    EXPECT_TRUE(Reports().value(0).contains(kTag + u"Form_QueryUnload at line 108\r\r"_s));
    EXPECT_FALSE(window->isVisible());
}

// "Delete Selected" needs a selected row, then selects the neighbour for the Delete key.
TEST_F(AbbreviationWindow, AddKeepsTheAnswerExactlyAndDeleteNeedsASelectedRow) {
    store.Write(kKeyAbbreviations, u"etc."_s + D);
    Form2& form = Open();
    const QString cut = u"a."_s + D + u"b."_s;
    // "" stands for Cancel and for an empty answer alike.
    fakes.prompts.inputAnswers = {u"etc."_s, u"Etc."_s, u" etc."_s, QString(),
                                  u"   "_s,  u"Etc."_s, cut};
    for (int answer = 0; answer < 7; ++answer) form.PushButton4_Click();
    EXPECT_EQ(form.Entries(), (QStringList{u"etc."_s, u"Etc."_s, u" etc."_s, u"   "_s, cut}));
    EXPECT_EQ(fakes.prompts.calls.at(0).title + u'|' + fakes.prompts.calls.at(0).text,
              u"Brintale|Enter Abbreviation: "_s);

    form.listView1()->setCurrentItem(form.listView1()->topLevelItem(2));
    form.PushButton1_Click();
    QTest::keyClick(form.listView1(), Qt::Key_Delete);
    form.listView1()->clearSelection();
    QTest::keyClick(form.listView1(), Qt::Key_Delete);  // nothing selected: the key does nothing
    form.PushButton1_Click();                           // the button reports it
    EXPECT_EQ(form.Entries(), (QStringList{u"etc."_s, u"Etc."_s, cut}));
    EXPECT_TRUE(Reports().value(0).contains(kTag + u"PushButton1_Click at line 102\r\r"_s));
    // Stored as typed, an entry holding the delimiter comes back cut.
    form.PushButton2_Click();
    EXPECT_EQ(Stored(), u"etc."_s + D + u"Etc."_s + D + cut + D);
    EXPECT_EQ(Open().Entries(), (QStringList{u"etc."_s, u"Etc."_s, u"a."_s, u"b."_s}));
    // An empty list has nothing to delete and nothing to report.
    window->PushButton3_Click();
    window->PushButton1_Click();
    // Seven questions and one report: a dropped answer gets no message.
    EXPECT_EQ(fakes.prompts.calls.size(), 8u);
}

TEST_F(AbbreviationWindow, ListHoldsAtMost32767EntriesAndLosesNoneStored) {
    QStringList many;
    for (int i = 0; i < kMaxAbbreviations + 3; ++i) many << u"a%1."_s.arg(i);
    store.Write(kKeyAbbreviations, JoinAbbreviations(many));
    Form2& form = Open();
    EXPECT_EQ(form.Entries(), many.first(kMaxAbbreviations));
    form.PushButton4_Click();  // full: refuses before asking
    ASSERT_EQ(fakes.prompts.calls.size(), 2u);
    EXPECT_TRUE(fakes.prompts.calls[0].text.contains(u"holds 32,770 abbreviations"_s) &&
                fakes.prompts.calls[1].text.contains(u"already holds 32,767"_s));
    // The entries beyond the list are written back after it, unless the list is cleared.
    form.PushButton2_Click();
    EXPECT_EQ(Stored(), JoinAbbreviations(many));
    Open().PushButton3_Click();
    window->PushButton2_Click();
    EXPECT_EQ(Stored(), QString());
    EXPECT_EQ(fakes.prompts.calls.size(), 3u);  // the overflow told again, no report
}

// The hand is over the buttons only; a file that is no cursor is reported and loading goes on.
TEST_F(AbbreviationWindow, HandPointerFromTheCursorFile) {
    for (const QString& source : {u"HAND-M.CUR"_s, u"brintale.desktop"_s}) {
        SCOPED_TRACE(source.toStdString());
        QTemporaryDir folder;
        fakes.services.programFolder = folder.path();
        ASSERT_TRUE(
            QFile::copy(qEnvironmentVariable("BRINTALE_SOURCE_DIR") + u"/resources/"_s + source,
                        folder.filePath(u"HAND-M.CUR"_s)));
        Form2& form = Open();
        const bool hand = source == u"HAND-M.CUR"_s;
        for (int n : {1, 2, 3, 4})
            EXPECT_EQ(form.pushButton(n)->testAttribute(Qt::WA_SetCursor), hand) << n;
        EXPECT_FALSE(form.listView1()->testAttribute(Qt::WA_SetCursor) ||
                     form.testAttribute(Qt::WA_SetCursor));
        ASSERT_EQ(Reports().size(), hand ? 0 : 1);
        EXPECT_TRUE(hand || Reports()[0].contains(kTag + u"Form_Load at line 106\r\r"_s));
        EXPECT_EQ(form.Entries(), kBuiltInAbbreviations);
    }
}

}  // namespace brintale
