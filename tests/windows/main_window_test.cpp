#include "windows/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include "core/procedure_tags.h"
#include "core/results_model.h"
#include "widgets/text_box.h"
#include "windows/window_fixture.h"

namespace brintale {
namespace {

// The colours the window really shows at the top right of itself, of the separators group and
// of the two check boxes.
std::vector<QColor> Backgrounds(MainWindow& f) {
    const QImage image = f.grab().toImage();
    std::vector<QColor> colours;
    for (QWidget* w :
         std::initializer_list<QWidget*>{&f, f.separatorsGroup(), f.lineBreakEnds(), f.tabEnds()})
        colours.push_back(image.pixelColor(w->mapTo(&f, QPoint(w->width() - 2, 2))));
    return colours;
}

// The pointer comes in, then moves on the widget; a move the widget ignores reaches its parents.
void Enter(QWidget* w) {
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(w, &enter);
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    QMouseEvent move(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(w, &move);
}

// The statement numbers that start-up's error reports name, in order (0: another tag).
std::vector<int> FailedLines(const QStringList& reports) {
    static const QString tag = "\r\nin " + ProcedureTag(tags::kStartup) + " at line ";
    std::vector<int> lines;
    for (const QString& r : reports)
        lines.push_back(r.section(tag, 1).section(u'\r', 0, 0).toInt());
    return lines;
}

TEST_F(WindowTest, FirstStartOnEmptyStoreShowsTheDefaults) {
    MainWindow& f = Load();
    EXPECT_TRUE(Reports().isEmpty());
    EXPECT_EQ(f.separatorsEdit()->text(), QStringLiteral(".!?"));
    EXPECT_EQ(f.lineBreakEnds()->checkState(), Qt::Checked);
    EXPECT_EQ(f.tabEnds()->checkState(), Qt::Checked);
    EXPECT_EQ(f.resultsView()->header()->sectionSize(0), 467);  // 7000 twips
    // "Ending" is written back by the change of the separators box; the boxes did not change.
    for (const auto& [key, value] :
         {std::pair{kKeyEnding, ".!?"}, {kKeyEnter, "-"}, {kKeyTab, "-"}})
        EXPECT_EQ(store.Read(key, QStringLiteral("-")), QString::fromLatin1(value));
    // No skin file: white look and the skin never touched. No pointer file: no hand.
    EXPECT_TRUE(f.skin().calls().isEmpty());
    EXPECT_EQ(Backgrounds(f), std::vector<QColor>(4, QColor(Qt::white)));
    EXPECT_FALSE(f.hoverCursor().has_value());
}

TEST_F(WindowTest, StoredCheckBoxValuesComeBackOrFailTheirStatement) {
    struct Case {
        QString enter, tab;
        Qt::CheckState lineBreakState, tabState;
        std::vector<int> failedLines;
        QString enterAfter = {}, tabAfter = {};  // null: as stored
    };
    // A box that changes writes its value back; a refused value is left alone.
    const Case cases[] = {
        {"0", "0", Qt::Unchecked, Qt::Unchecked, {}},
        {"2", "2", Qt::PartiallyChecked, Qt::PartiallyChecked, {}},
        {"yes", "3", Qt::Checked, Qt::Checked, {134, 136}},
        {"65537", "0", Qt::Checked, Qt::Unchecked, {134}},  // beyond 16 bits
        // Any number, rounded half to even.
        {" 1.0 ", "2.5", Qt::Checked, Qt::PartiallyChecked, {}, {}, "2"},
        {"-0.4", "1e0", Qt::Unchecked, Qt::Checked, {}, "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.enter + u'/' + c.tab).toStdString());
        store.Write(kKeyEnter, c.enter);
        store.Write(kKeyTab, c.tab);
        fakes.prompts.calls.clear();
        MainWindow& f = Load();
        EXPECT_EQ(f.lineBreakEnds()->checkState(), c.lineBreakState);
        EXPECT_EQ(f.tabEnds()->checkState(), c.tabState);
        EXPECT_EQ(FailedLines(Reports()), c.failedLines);
        EXPECT_EQ(store.Read(kKeyEnter), c.enterAfter.isNull() ? c.enter : c.enterAfter);
        EXPECT_EQ(store.Read(kKeyTab), c.tabAfter.isNull() ? c.tab : c.tabAfter);
    }
}

TEST_F(WindowTest, EveryOptionChangeIsStoredAtOnceAndComesBackInTheNextRun) {
    MainWindow& f = Load();
    QTest::keyClick(f.separatorsEdit(), ';');
    f.lineBreakEnds()->click();
    f.tabEnds()->click();
    f.tabEnds()->click();
    EXPECT_EQ(store.Read(kKeyEnding), QStringLiteral(".!?;"));
    EXPECT_EQ(store.Read(kKeyEnter), QStringLiteral("0"));
    EXPECT_EQ(store.Read(kKeyTab), QStringLiteral("1"));
    f.separatorsEdit()->clear();  // an emptied "Ending" is a value, not a return to the default
    form.reset();                 // the program ends
    EXPECT_TRUE(Load().separatorsEdit()->text().isEmpty());
    EXPECT_EQ(form->lineBreakEnds()->checkState(), Qt::Unchecked);
}

TEST_F(WindowTest, AFailingStoreTellsOncePerRunOfFailuresAndKeepsTheOption) {
    MainWindow& f = Load();
    const auto messages = [&] { return fakes.prompts.of(testing::FakePrompts::Kind::Message); };
    {
        BrokenStore broken;
        QTest::keyClicks(f.separatorsEdit(), QStringLiteral("abc"));
        f.lineBreakEnds()->click();
    }
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].title, QStringLiteral("Brintale"));
    EXPECT_EQ(messages()[0].icon, Prompts::Icon::Warning);
    EXPECT_TRUE(messages()[0].text.endsWith(
        QStringLiteral("\r\n\r\nThe option stays in effect until the program closes and is saved "
                       "again when it next changes.")));
    EXPECT_EQ(f.separatorsEdit()->text(),
              QStringLiteral(".!?abc"));       // the option stays in the window
    QTest::keyClick(f.separatorsEdit(), 'd');  // the store works again
    EXPECT_EQ(store.Read(kKeyEnding), QStringLiteral(".!?abcd"));
    {
        BrokenStore broken;
        QTest::keyClick(f.separatorsEdit(), 'e');
    }
    EXPECT_EQ(messages().size(), 2u);
}

class ProgramFolderTest : public WindowTest {
  protected:
    void SetUp() override { fakes.services.programFolder = folder.path(); }
    QString path(const char* name) const { return folder.filePath(QString::fromLatin1(name)); }
    void Put(const char* name, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path(name)).absolutePath());
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    QTemporaryDir folder;
    const QString shipped = qEnvironmentVariable("BRINTALE_SOURCE_DIR") + "/resources/HAND-M.CUR";
};

TEST_F(ProgramFolderTest, SkinFileRecoloursAndIsAppliedInOrder) {
    const QByteArray sheet = "QPushButton { color: rgb(1, 2, 3); }";
    Put("x/o.cjs", sheet);
    MainWindow& f = Load();
    EXPECT_TRUE(Reports().isEmpty());
    EXPECT_EQ(f.skin().calls(),
              QStringList({QStringLiteral("LoadSkin(%1, \"\")").arg(path("x/o.cjs")),
                           "ApplyOptions", "SetApplyOptions(2)", "SetProperty(5, true)",
                           "SetProperty(10, true)", "ApplyWindow"}));
    EXPECT_EQ(f.styleSheet(), QString::fromUtf8(sheet));
    EXPECT_EQ(Backgrounds(f), std::vector(4, QGuiApplication::palette().color(QPalette::Button)));
}

TEST_F(ProgramFolderTest, UnreadableSkinOrCursorReportsItsStatementAndStartUpGoesOn) {
    // An empty content puts a folder where the file should be.
    const std::tuple<const char*, QByteArray, std::vector<int>> cases[] = {
        {"x/o.cjs", {}, {100}}, {"HAND-M.CUR", QByteArray("\0\0\2\0\1\0garbage", 13), {108}}};
    for (const auto& [file, bytes, failedLines] : cases) {
        SCOPED_TRACE(file);
        fakes.prompts.calls.clear();
        QDir(path("x")).removeRecursively();
        bytes.isEmpty() ? void(QDir().mkpath(path(file))) : Put(file, bytes);
        MainWindow& f = Load();
        EXPECT_EQ(FailedLines(Reports()), failedLines);
        for (const auto& call : fakes.prompts.calls) EXPECT_EQ(call.icon, Prompts::Icon::Warning);
        EXPECT_EQ(f.separatorsEdit()->text(), QStringLiteral(".!?"));  // the last statement ran
        EXPECT_FALSE(f.hoverCursor().has_value());
    }
}

TEST_F(ProgramFolderTest, HandOverButtonsArrowElsewhereNeverOverTheHourglass) {
    ASSERT_TRUE(QFile::copy(shipped, path("HAND-M.CUR")));
    MainWindow& f = Load();
    EXPECT_TRUE(Reports().isEmpty());
    ASSERT_TRUE(f.hoverCursor().has_value());
    EXPECT_EQ(f.hoverCursor()->hotSpot(), QPoint(6, 0));
    QWidget* const others[] = {
        f.textBox()->viewport(), f.separatorsEdit(), f.separatorsGroup(),
        f.lineBreakEnds(),       f.tabEnds(),        f.resultsView()->viewport()};
    const QList<QPushButton*> buttons = f.findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 10);
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        Enter(buttons[i]);
        EXPECT_EQ(f.cursor().shape(), Qt::BitmapCursor) << buttons[i]->objectName().toStdString();
        Enter(others[i % std::size(others)]);
        EXPECT_EQ(f.cursor().shape(), Qt::ArrowCursor) << buttons[i]->objectName().toStdString();
    }
    f.SetPointer(MainForm::Pointer::Hourglass);
    for (QWidget* w : {others[0], others[1], others[5],
                       static_cast<QWidget*>(f.button(MainButton::LoadTextFromFile))}) {
        Enter(w);
        EXPECT_EQ(w->cursor().shape(), Qt::WaitCursor) << w->metaObject()->className();
    }
    f.SetPointer(MainForm::Pointer::Default);  // the children's own pointers come back
    EXPECT_EQ(f.textBox()->viewport()->cursor().shape(), Qt::IBeamCursor);
    EXPECT_EQ(f.separatorsEdit()->cursor().shape(), Qt::IBeamCursor);
}

}  // namespace
}  // namespace brintale
