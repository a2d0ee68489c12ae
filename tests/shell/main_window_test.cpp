#include "shell/main_window.h"

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

#include "results/results_model.h"
#include "shell/form_fixture.h"
#include "shell/text_box.h"

namespace brintale {
namespace {

// The colours the window really shows at the top right of itself, Frame1, Check3 and Check4.
std::vector<QColor> Backgrounds(Form1& f) {
    const QImage image = f.grab().toImage();
    std::vector<QColor> colours;
    for (QWidget* w : std::initializer_list<QWidget*>{&f, f.frame1(), f.check3(), f.check4()})
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
    static const QString tag = QStringLiteral("\r\nin Brintale2021/08/31.Form1.Form_Load at line ");
    std::vector<int> lines;
    for (const QString& r : reports)
        lines.push_back(r.section(tag, 1).section(u'\r', 0, 0).toInt());
    return lines;
}

TEST_F(FormTest, FirstStartOnEmptyStoreShowsTheDefaults) {
    Form1& f = Load();
    EXPECT_TRUE(Reports().isEmpty());
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QStringLiteral("Brintale"));
    EXPECT_EQ(f.text2()->text(), QStringLiteral(".!?"));
    EXPECT_EQ(f.check3()->checkState(), Qt::Checked);
    EXPECT_EQ(f.check4()->checkState(), Qt::Checked);
    EXPECT_EQ(f.listView1()->header()->sectionSize(0), 467);  // 7000 twips
    // "Ending" is written back by the change of Text2; the boxes did not change.
    for (const auto& [key, value] :
         {std::pair{kKeyEnding, ".!?"}, {kKeyEnter, "-"}, {kKeyTab, "-"}})
        EXPECT_EQ(store.Read(key, QStringLiteral("-")), QString::fromLatin1(value));
    // No skin file: white look and the skin never touched. No pointer file: no hand.
    EXPECT_TRUE(f.skinFramework1().calls().isEmpty());
    EXPECT_EQ(Backgrounds(f), std::vector<QColor>(4, QColor(Qt::white)));
    EXPECT_FALSE(f.hoverCursor().has_value());
}

TEST_F(FormTest, StoredCheckBoxValuesComeBackOrFailTheirStatement) {
    using Row = std::tuple<QString, QString, Qt::CheckState, Qt::CheckState, std::vector<int>>;
    const Row cases[] = {
        {"0", "0", Qt::Unchecked, Qt::Unchecked, {}},
        {"2", "2", Qt::PartiallyChecked, Qt::PartiallyChecked, {}},
        {"yes", "3", Qt::Checked, Qt::Checked, {134, 136}},
        {"65537", "0", Qt::Checked, Qt::Unchecked, {134}},  // beyond 16 bits
    };
    // A restored value is written back unchanged; a refused one is left alone.
    for (const auto& [enter, tab, check3, check4, failedLines] : cases) {
        SCOPED_TRACE((enter + u'/' + tab).toStdString());
        store.Write(kKeyEnter, enter);
        store.Write(kKeyTab, tab);
        fakes.prompts.calls.clear();
        Form1& f = Load();
        EXPECT_EQ(f.check3()->checkState(), check3);
        EXPECT_EQ(f.check4()->checkState(), check4);
        EXPECT_EQ(FailedLines(Reports()), failedLines);
        EXPECT_EQ(store.Read(kKeyEnter), enter);
        EXPECT_EQ(store.Read(kKeyTab), tab);
    }
}

TEST_F(FormTest, EveryOptionChangeIsStoredAtOnceAndComesBackInTheNextRun) {
    Form1& f = Load();
    QTest::keyClick(f.text2(), ';');
    f.check3()->click();
    f.check4()->click();
    f.check4()->click();
    EXPECT_EQ(store.Read(kKeyEnding), QStringLiteral(".!?;"));
    EXPECT_EQ(store.Read(kKeyEnter), QStringLiteral("0"));
    EXPECT_EQ(store.Read(kKeyTab), QStringLiteral("1"));
    f.text2()->clear();  // an emptied "Ending" is a value, not a return to the default
    form.reset();        // the program ends
    EXPECT_TRUE(Load().text2()->text().isEmpty());
    EXPECT_EQ(form->check3()->checkState(), Qt::Unchecked);
}

TEST_F(FormTest, AFailingStoreTellsOncePerRunOfFailuresAndKeepsTheOption) {
    Form1& f = Load();
    const auto messages = [&] { return fakes.prompts.of(testing::FakePrompts::Kind::Message); };
    {
        BrokenStore broken;
        QTest::keyClicks(f.text2(), QStringLiteral("abc"));
        f.check3()->click();
    }
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].title, QStringLiteral("Brintale"));
    EXPECT_EQ(messages()[0].icon, Prompts::Icon::Warning);
    EXPECT_TRUE(messages()[0].text.endsWith(
        QStringLiteral("\r\n\r\nThe option stays in effect until the program closes and is saved "
                       "again when it next changes.")));
    EXPECT_EQ(f.text2()->text(), QStringLiteral(".!?abc"));  // the option stays in the window
    QTest::keyClick(f.text2(), 'd');                         // the store works again
    EXPECT_EQ(store.Read(kKeyEnding), QStringLiteral(".!?abcd"));
    {
        BrokenStore broken;
        QTest::keyClick(f.text2(), 'e');
    }
    EXPECT_EQ(messages().size(), 2u);
}

class ProgramFolderTest : public FormTest {
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
    Form1& f = Load();
    EXPECT_TRUE(Reports().isEmpty());
    EXPECT_EQ(f.skinFramework1().calls(),
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
        Form1& f = Load();
        EXPECT_EQ(FailedLines(Reports()), failedLines);
        for (const auto& call : fakes.prompts.calls) EXPECT_EQ(call.icon, Prompts::Icon::Warning);
        EXPECT_EQ(f.text2()->text(), QStringLiteral(".!?"));  // the last statement ran
        EXPECT_FALSE(f.hoverCursor().has_value());
    }
}

TEST_F(ProgramFolderTest, HandOverButtonsArrowElsewhereNeverOverTheHourglass) {
    ASSERT_TRUE(QFile::copy(shipped, path("HAND-M.CUR")));
    Form1& f = Load();
    EXPECT_TRUE(Reports().isEmpty());
    ASSERT_TRUE(f.hoverCursor().has_value());
    EXPECT_EQ(f.hoverCursor()->hotSpot(), QPoint(6, 0));
    QWidget* const others[] = {
        f.text1()->viewport(),    f.text2(), f.frame1(), f.check3(), f.check4(),
        f.listView1()->viewport()};
    const int buttons[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 17};
    for (std::size_t i = 0; i < std::size(buttons); ++i) {
        Enter(f.pushButton(buttons[i]));
        EXPECT_EQ(f.cursor().shape(), Qt::BitmapCursor) << buttons[i];
        Enter(others[i % std::size(others)]);
        EXPECT_EQ(f.cursor().shape(), Qt::ArrowCursor) << buttons[i];
    }
    f.SetPointer(Form1::Pointer::Hourglass);
    for (QWidget* w : {others[0], others[1], others[5], static_cast<QWidget*>(f.pushButton(1))}) {
        Enter(w);
        EXPECT_EQ(w->cursor().shape(), Qt::WaitCursor) << w->metaObject()->className();
    }
    f.SetPointer(Form1::Pointer::Default);  // the children's own pointers come back
    EXPECT_EQ(f.text1()->viewport()->cursor().shape(), Qt::IBeamCursor);
    EXPECT_EQ(f.text2()->cursor().shape(), Qt::IBeamCursor);
}

}  // namespace
}  // namespace brintale
