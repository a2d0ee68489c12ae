#include "windows/abbreviations_dialog.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "core/procedure_tags.h"
#include "windows/main_window.h"
#include "windows/window_fixture.h"

namespace brintale {

using namespace Qt::StringLiterals;
const QString D = kAbbreviationDelimiter;

// "in <tag> at line <n>" and the empty line after it.
QString ReportedAt(const QString& tag, int line) {
    return "in " + ProcedureTag(tag) + " at line " + QString::number(line) + "\r\r";
}

class AbbreviationWindow : public WindowTest {
  protected:
    // Shown but not modal, so that the test goes on.
    AbbreviationsDialog& Open() {
        window = std::make_unique<AbbreviationsDialog>(fakes.services, store);
        window->RunStartup();
        window->show();
        return *window;
    }
    QString Stored() const { return store.Read(kKeyAbbreviations, u"<absent>"_s); }

    std::unique_ptr<AbbreviationsDialog> window;
};

// Opening writes nothing; closing by the button or the close box stores the whole list.
TEST_F(AbbreviationWindow, OpeningReadsTheStoreAndEveryCloseWritesIt) {
    // A null text: the key is absent.
    const std::pair<QString, QStringList> cases[] = {
        {QString(), kBuiltInAbbreviations},
        {u""_s, {}},  // a list the user emptied stays empty
        // Kept as stored, repeats and spaces included; empty pieces give no row.
        {u" etc."_s + D + D + u"etc."_s + D + u"etc."_s, {u" etc."_s, u"etc."_s, u"etc."_s}},
        {D + D, {}},
    };
    for (const auto& [stored, expected] : cases) {
        for (const bool closeBox : {false, true}) {
            SCOPED_TRACE(expected.join(u',').toStdString() + (closeBox ? " close box" : " button"));
            if (stored.isNull())
                QSettings(u"Quorvane"_s, u"Brintale Software"_s).remove(kKeyAbbreviations);
            else
                store.Write(kKeyAbbreviations, stored);
            AbbreviationsDialog& form = Open();
            EXPECT_EQ(form.Entries(), expected);
            EXPECT_EQ(Stored(), stored.isNull() ? u"<absent>"_s : stored);
            closeBox ? void(form.close())
                     : QTest::mouseClick(form.button(AbbreviationsButton::Close), Qt::LeftButton);
            EXPECT_FALSE(form.isVisible());
            EXPECT_EQ(Stored(), JoinAbbreviations(expected));
        }
    }
    // The main window's button opens it modally, with the empty list just stored.
    QStringList seen;
    QTimer::singleShot(0, [&] {
        auto* modal = qobject_cast<AbbreviationsDialog*>(QApplication::activeModalWidget());
        if (modal && modal->close()) seen << modal->windowTitle() << modal->Entries();
    });
    QTest::mouseClick(Load().button(MainButton::Abbreviations), Qt::LeftButton);
    EXPECT_EQ(seen, QStringList{u"Ignore These Abbreviations"_s});
    // A failed write is reported and does not stop the close.
    BrokenStore broken;
    CloseAbbreviations(Open());
    ASSERT_EQ(fakes.prompts.calls.size(), 1u);
    EXPECT_TRUE(Reports().value(0).contains(ReportedAt(tags::kStoreAbbreviations, 108)));
    EXPECT_FALSE(window->isVisible());
}

// "Delete Selected" needs a selected row, then selects the neighbour for the Delete key.
TEST_F(AbbreviationWindow, AddKeepsTheAnswerExactlyAndDeleteNeedsASelectedRow) {
    store.Write(kKeyAbbreviations, u"etc."_s + D);
    AbbreviationsDialog& form = Open();
    const QString cut = u"a."_s + D + u"b."_s;
    // "" stands for Cancel and for an empty answer alike.
    fakes.prompts.inputAnswers = {u"etc."_s, u"Etc."_s, u" etc."_s, QString(),
                                  u"   "_s,  u"Etc."_s, cut};
    for (int answer = 0; answer < 7; ++answer) AddAbbreviation(form);
    EXPECT_EQ(form.Entries(), (QStringList{u"etc."_s, u"Etc."_s, u" etc."_s, u"   "_s, cut}));
    EXPECT_EQ(fakes.prompts.calls.at(0).title + u'|' + fakes.prompts.calls.at(0).text,
              u"Brintale|Enter Abbreviation: "_s);

    form.list()->setCurrentItem(form.list()->topLevelItem(2));
    DeleteSelectedAbbreviation(form);
    QTest::keyClick(form.list(), Qt::Key_Delete);
    form.list()->clearSelection();
    QTest::keyClick(form.list(), Qt::Key_Delete);  // nothing selected: the key does nothing
    DeleteSelectedAbbreviation(form);              // the button reports it
    EXPECT_EQ(form.Entries(), (QStringList{u"etc."_s, u"Etc."_s, cut}));
    EXPECT_TRUE(Reports().value(0).contains(ReportedAt(tags::kDeleteSelectedAbbreviation, 102)));
    // Stored as typed, an entry holding the delimiter comes back cut.
    CloseAbbreviations(form);
    EXPECT_EQ(Stored(), u"etc."_s + D + u"Etc."_s + D + cut + D);
    EXPECT_EQ(Open().Entries(), (QStringList{u"etc."_s, u"Etc."_s, u"a."_s, u"b."_s}));
    // An empty list has nothing to delete and nothing to report.
    ClearAbbreviations(*window);
    DeleteSelectedAbbreviation(*window);
    // Seven questions and one report: a dropped answer gets no message.
    EXPECT_EQ(fakes.prompts.calls.size(), 8u);
}

// Each change is stored at once, so that nothing is lost when the program ends while the
// window is open; a failed store is reported as a failed close is.
TEST_F(AbbreviationWindow, EveryChangeIsStoredBeforeTheWindowCloses) {
    AbbreviationsDialog& form = Open();
    const auto select = [&](int row) {
        form.list()->setCurrentItem(form.list()->topLevelItem(row));
    };
    struct Step {
        const char* name;
        std::function<void()> change;
        QStringList stored;  // the list in the store afterwards
    };
    const QStringList builtIn = kBuiltInAbbreviations;
    const Step steps[] = {
        {"add", [&] { AddAbbreviation(form); }, builtIn + QStringList{u"x."_s}},
        {"add again changes nothing", [&] { AddAbbreviation(form); },
         builtIn + QStringList{u"x."_s}},
        {"delete selected",
         [&] {
             select(0);
             DeleteSelectedAbbreviation(form);
         },
         {u"vs."_s, u"i.e."_s, u"et al."_s, u"e.g."_s, u"x."_s}},
        {"delete key",
         [&] { QTest::keyClick(form.list(), Qt::Key_Delete); },
         {u"i.e."_s, u"et al."_s, u"e.g."_s, u"x."_s}},
        {"clear", [&] { ClearAbbreviations(form); }, {}},
    };
    fakes.prompts.inputAnswers = {u"x."_s, u"x."_s};
    EXPECT_EQ(Stored(), u"<absent>"_s);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.change();
        EXPECT_EQ(Stored(), JoinAbbreviations(step.stored));
    }
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(Reports().isEmpty());
    BrokenStore broken;
    fakes.prompts.inputAnswers = {u"y."_s};
    AddAbbreviation(form);
    EXPECT_EQ(form.Entries(), QStringList{u"y."_s});
    ASSERT_EQ(Reports().size(), 1);
    EXPECT_TRUE(Reports()[0].contains(ReportedAt(tags::kStoreAbbreviations, 108)));
}

// Two programs share the store: a window stores its own changes into the list as the other
// left it, and never puts back what it read when it opened.
TEST_F(AbbreviationWindow, ClosingKeepsWhatAnotherWindowStoredMeanwhile) {
    const QStringList builtIn = kBuiltInAbbreviations;
    const auto without = [&](const QString& entry) {
        QStringList entries = builtIn;
        entries.removeAll(entry);
        return entries;
    };
    const auto deleteRow = [](AbbreviationsDialog& form, int row) {
        form.list()->setCurrentItem(form.list()->topLevelItem(row));
        DeleteSelectedAbbreviation(form);
    };
    struct Case {
        const char* name;
        std::function<void(AbbreviationsDialog&)> other;  // opens after the first, closes
        std::function<void(AbbreviationsDialog&)> first;  // then this, then it closes
        QStringList stored;
    };
    const Case cases[] = {
        {"other adds, first changes nothing", [&](auto& f) { AddAbbreviation(f); }, [](auto&) {},
         builtIn + QStringList{u"Dr."_s}},
        {"other deletes, first changes nothing", [&](auto& f) { deleteRow(f, 1); }, [](auto&) {},
         without(u"vs."_s)},
        {"both add other entries", [&](auto& f) { AddAbbreviation(f); },
         [&](auto& f) { AddAbbreviation(f); }, builtIn + QStringList{u"Dr."_s, u"Mr."_s}},
        {"both add the same entry", [&](auto& f) { AddAbbreviation(f); },
         [&](auto& f) { AddAbbreviation(f); }, builtIn + QStringList{u"Dr."_s}},
        {"other adds, first deletes", [&](auto& f) { AddAbbreviation(f); },
         [&](auto& f) { deleteRow(f, 0); }, without(u"etc."_s) + QStringList{u"Dr."_s}},
        {"other adds, first clears", [&](auto& f) { AddAbbreviation(f); },
         [](auto& f) { ClearAbbreviations(f); }, QStringList{u"Dr."_s}},
        {"other clears, first adds", [&](auto& f) { ClearAbbreviations(f); },
         [&](auto& f) { AddAbbreviation(f); }, QStringList{u"Dr."_s}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QSettings(u"Quorvane"_s, u"Brintale Software"_s).remove(kKeyAbbreviations);
        fakes.prompts.inputAnswers = {
            u"Dr."_s,
            QString::fromLatin1(c.name).startsWith(u"both add other") ? u"Mr."_s : u"Dr."_s};
        AbbreviationsDialog first(fakes.services, store);
        first.RunStartup();
        first.show();
        AbbreviationsDialog& other = Open();
        c.other(other);
        CloseAbbreviations(other);
        c.first(first);
        CloseAbbreviations(first);
        EXPECT_EQ(Stored(), JoinAbbreviations(c.stored));
    }
    EXPECT_TRUE(Reports().isEmpty());
}

// What a window changed is taken out of or added to the list as stored now, repeats and all.
TEST(MergeAbbreviations, AppliesOnlyTheWindowsOwnChange) {
    const struct {
        QStringList now, before, after, merged;
    } cases[] = {
        {{"a", "b"}, {"a"}, {"a"}, {"a", "b"}},
        {{"b", "a"}, {"a"}, {"a", "c"}, {"b", "a", "c"}},
        {{"a", "c"}, {"a"}, {"a", "c"}, {"a", "c"}},
        {{"x", "a", "b"}, {"a", "b"}, {"b"}, {"x", "b"}},
        {{"a", "a", "b"}, {"a", "a", "b"}, {"a", "b"}, {"a", "b"}},
        {{"x"}, {"a", "b"}, {}, {"x"}},
        {{}, {"a"}, {"a", "b"}, {"b"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.now.join(u',') + u'|' + c.before.join(u',') + u'|' + c.after.join(u','))
                         .toStdString());
        EXPECT_EQ(MergeAbbreviations(c.now, c.before, c.after), c.merged);
    }
}

TEST_F(AbbreviationWindow, ListHoldsAtMost32767EntriesAndLosesNoneStored) {
    QStringList many;
    for (int i = 0; i < kMaxAbbreviations + 3; ++i) many << u"a%1."_s.arg(i);
    store.Write(kKeyAbbreviations, JoinAbbreviations(many));
    AbbreviationsDialog& form = Open();
    EXPECT_EQ(form.Entries(), many.first(kMaxAbbreviations));
    AddAbbreviation(form);  // full: refuses before asking
    ASSERT_EQ(fakes.prompts.calls.size(), 2u);
    EXPECT_TRUE(fakes.prompts.calls[0].text.contains(u"holds 32,770 abbreviations"_s) &&
                fakes.prompts.calls[1].text.contains(u"already holds 32,767"_s));
    // The entries beyond the list are written back after it, unless the list is cleared.
    CloseAbbreviations(form);
    EXPECT_EQ(Stored(), JoinAbbreviations(many));
    ClearAbbreviations(Open());
    CloseAbbreviations(*window);
    EXPECT_EQ(Stored(), QString());
    EXPECT_EQ(fakes.prompts.calls.size(), 3u);  // the overflow told again, no report
}

// The hand is over the buttons only; a file that is no cursor is reported and loading goes on.
TEST_F(AbbreviationWindow, HandPointerFromTheCursorFile) {
    for (const QString& source : {u"HAND-M.CUR"_s, u"example.quorvane.Brintale.desktop"_s}) {
        SCOPED_TRACE(source.toStdString());
        QTemporaryDir folder;
        fakes.services.programFolder = folder.path();
        ASSERT_TRUE(
            QFile::copy(qEnvironmentVariable("BRINTALE_SOURCE_DIR") + u"/resources/"_s + source,
                        folder.filePath(u"HAND-M.CUR"_s)));
        AbbreviationsDialog& form = Open();
        const bool hand = source == u"HAND-M.CUR"_s;
        for (const QPushButton* button : form.findChildren<QPushButton*>())
            EXPECT_EQ(button->testAttribute(Qt::WA_SetCursor), hand)
                << button->objectName().toStdString();
        EXPECT_FALSE(form.list()->testAttribute(Qt::WA_SetCursor) ||
                     form.testAttribute(Qt::WA_SetCursor));
        ASSERT_EQ(Reports().size(), hand ? 0 : 1);
        EXPECT_TRUE(hand || Reports()[0].contains(ReportedAt(tags::kAbbreviationsStartup, 106)));
        EXPECT_EQ(form.Entries(), kBuiltInAbbreviations);
    }
}

}  // namespace brintale
