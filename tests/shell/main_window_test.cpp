#include "shell/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include "counting/counting_command.h"
#include "results/results_model.h"
#include "shell/form_fixture.h"
#include "shell/shared_procedures.h"
#include "shell/text_box.h"

namespace brintale {
namespace {

void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// The colour the window really shows at the top right corner of a control.
QColor Background(const QWidget* widget) {
    QWidget* window = widget->window();
    const QImage image = window->grab().toImage();
    return image.pixelColor(widget->mapTo(window, QPoint(widget->width() - 2, 2)));
}

TEST_F(FormTest, FirstStartOnEmptyStoreShowsTheDefaults) {
    Form1& f = Load();
    EXPECT_TRUE(Reports().isEmpty());
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Brintale Software"));
    EXPECT_EQ(ApplicationTitle(), QStringLiteral("Brintale"));
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QStringLiteral("Brintale"));
    EXPECT_FALSE(f.windowIcon().isNull());
    EXPECT_EQ(f.text2()->text(), QStringLiteral(".!?"));
    EXPECT_EQ(f.check3()->checkState(), Qt::Checked);
    EXPECT_EQ(f.check4()->checkState(), Qt::Checked);
    EXPECT_TRUE(f.text1()->toPlainText().isEmpty());
    EXPECT_EQ(f.results().ColumnCount(), 1);
    EXPECT_EQ(f.results().ColumnCaption(1), QStringLiteral("Result(s)"));
    EXPECT_EQ(f.results().RowCount(), 0);
    EXPECT_EQ(f.listView1()->header()->sectionSize(0), 467);  // 7000 twips
    EXPECT_EQ(f.pointer(), Form1::Pointer::Default);
    // "Ending" is written back by the change of Text2; the boxes did not change.
    EXPECT_EQ(store.Read(kKeyEnding, QStringLiteral("absent")), QStringLiteral(".!?"));
    EXPECT_EQ(store.Read(kKeyEnter, QStringLiteral("absent")), QStringLiteral("absent"));
    EXPECT_EQ(store.Read(kKeyTab, QStringLiteral("absent")), QStringLiteral("absent"));
    // No skin file: white look and the skin never touched.
    EXPECT_TRUE(f.skinFramework1().calls().isEmpty());
    for (const QWidget* w :
         {static_cast<const QWidget*>(&f), static_cast<const QWidget*>(f.frame1()),
          static_cast<const QWidget*>(f.check3()), static_cast<const QWidget*>(f.check4())})
        EXPECT_EQ(Background(w), QColor(Qt::white)) << w->metaObject()->className();
    EXPECT_FALSE(f.hoverCursor().has_value());
    EXPECT_TRUE(fakes.desktop.opened.empty());
}

TEST_F(FormTest, WindowIsFixedWithMinimiseOnlyAndTheListToolTip) {
    Form1& f = Load();
    EXPECT_EQ(f.minimumSize(), f.maximumSize());
    EXPECT_EQ(f.size(), QSize(536, 607));
    EXPECT_TRUE(f.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(f.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(f.listView1()->toolTip(),
              QStringLiteral("Double-click item to remove it. Move | line to right and out of "
                             "window to reveal full names."));
    EXPECT_EQ(f.pushButton(17)->font().pointSizeF(), 11.25);
    EXPECT_TRUE(f.pushButton(17)->font().bold());
    EXPECT_EQ(f.font().pointSizeF(), 9);
    EXPECT_EQ(f.pushButton(10), nullptr);
}

TEST_F(FormTest, FocusStartsInText1AndFollowsTheControlOrder) {
    Form1& f = Load();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    EXPECT_EQ(f.focusWidget(), f.text1());

    // Frame1 takes no focus itself, so only the controls that do are in the chain.
    const std::vector<QWidget*> expected = {
        f.text1(),       f.pushButton(1), f.pushButton(7),  f.text2(),       f.check3(),
        f.check4(),      f.pushButton(4), f.pushButton(17), f.listView1(),   f.pushButton(5),
        f.pushButton(2), f.pushButton(3), f.pushButton(9),  f.pushButton(6), f.pushButton(8)};
    std::vector<QWidget*> seen;
    QWidget* w = f.text1();
    do {
        if (std::find(expected.begin(), expected.end(), w) != expected.end()) seen.push_back(w);
        w = w->nextInFocusChain();
    } while (w != f.text1() && seen.size() < expected.size() + 1);
    EXPECT_EQ(seen, expected);
}

struct StoredOptions {
    const char* name;
    QString enter;  // null: absent
    QString tab;
    Qt::CheckState check3;
    Qt::CheckState check4;
    std::vector<int> failedLines;
};

QString StoredForm(Qt::CheckState state) {
    return state == Qt::Checked     ? QStringLiteral("1")
           : state == Qt::Unchecked ? QStringLiteral("0")
                                    : QStringLiteral("2");
}

class RestoreTest : public FormTest, public ::testing::WithParamInterface<StoredOptions> {};

TEST_P(RestoreTest, StoredCheckBoxValuesComeBack) {
    const StoredOptions& c = GetParam();
    if (!c.enter.isNull()) store.Write(kKeyEnter, c.enter);
    if (!c.tab.isNull()) store.Write(kKeyTab, c.tab);
    Form1& f = Load();
    EXPECT_EQ(f.check3()->checkState(), c.check3);
    EXPECT_EQ(f.check4()->checkState(), c.check4);
    const QStringList reports = Reports();
    ASSERT_EQ(reports.size(), static_cast<qsizetype>(c.failedLines.size()));
    for (qsizetype i = 0; i < reports.size(); ++i)
        EXPECT_TRUE(reports[i].contains(
            QStringLiteral("Form1.Form_Load at line %1\r\r").arg(c.failedLines[i])))
            << reports[i].toStdString();
    // What the box shows is what the store holds, except where the value was refused.
    if (c.failedLines.empty()) {
        EXPECT_EQ(store.Read(kKeyEnter, QStringLiteral("1")), StoredForm(c.check3));
        EXPECT_EQ(store.Read(kKeyTab, QStringLiteral("1")), StoredForm(c.check4));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, RestoreTest,
    ::testing::Values(
        StoredOptions{"ZeroAndOne", "0", "1", Qt::Unchecked, Qt::Checked, {}},
        StoredOptions{"OneAndZero", "1", "0", Qt::Checked, Qt::Unchecked, {}},
        StoredOptions{"TwoIsGrey", "2", "2", Qt::PartiallyChecked, Qt::PartiallyChecked, {}},
        StoredOptions{"Garbage", "yes", "", Qt::Checked, Qt::Checked, {134, 136}},
        StoredOptions{"OutOfRange", "3", "-1", Qt::Checked, Qt::Checked, {134, 136}},
        StoredOptions{"Beyond16Bits", "65537", "0", Qt::Checked, Qt::Unchecked, {134}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FormTest, EmptiedEndingStaysEmptyAtTheNextStart) {
    store.Write(kKeyEnding, QString());
    EXPECT_TRUE(Load().text2()->text().isEmpty());
    EXPECT_EQ(store.Read(kKeyEnding, QStringLiteral("absent")), QString());
}

TEST_F(FormTest, OptionsChangedInOneRunComeBackInTheNext) {
    {
        Form1& f = Load();
        f.text2()->setText(QStringLiteral(";"));
        f.check3()->click();
        form.reset();
    }
    Form1& f = Load();
    EXPECT_EQ(f.text2()->text(), QStringLiteral(";"));
    EXPECT_EQ(f.check3()->checkState(), Qt::Unchecked);
    EXPECT_EQ(f.check4()->checkState(), Qt::Checked);
}

TEST_F(FormTest, EveryKeystrokeInText2IsStored) {
    Form1& f = Load();
    f.text2()->clear();
    for (const QChar c : QStringLiteral(".;:")) {
        QTest::keyClick(f.text2(), c.toLatin1());
        EXPECT_EQ(store.Read(kKeyEnding), f.text2()->text());
    }
    EXPECT_EQ(store.Read(kKeyEnding), QStringLiteral(".;:"));
}

TEST_F(FormTest, AGreyBoxBecomesTwoStateOnceClicked) {
    store.Write(kKeyTab, QStringLiteral("2"));
    Form1& f = Load();
    f.check4()->click();
    EXPECT_EQ(f.check4()->checkState(), Qt::Checked);
    EXPECT_EQ(store.Read(kKeyTab), QStringLiteral("1"));
    f.check4()->click();
    f.check4()->click();
    EXPECT_EQ(f.check4()->checkState(), Qt::Checked);  // never grey again
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
    EXPECT_TRUE(messages()[0].text.contains(QStringLiteral("Ending")));
    EXPECT_EQ(f.text2()->text(), QStringLiteral(".!?abc"));
    EXPECT_EQ(f.check3()->checkState(), Qt::Unchecked);

    QTest::keyClick(f.text2(), 'd');  // the store works again
    EXPECT_EQ(store.Read(kKeyEnding), QStringLiteral(".!?abcd"));
    {
        BrokenStore broken;
        QTest::keyClick(f.text2(), 'e');
    }
    EXPECT_EQ(messages().size(), 2u);
}

TEST_F(FormTest, ErrorReportIsAWarningWithTheExactText) {
    Form1& f = Load();
    f.ShowErrorReport(QStringLiteral("Disk full"), ProcedureTag(QStringLiteral("Form1.X")), 102);
    ASSERT_EQ(fakes.prompts.calls.size(), 1u);
    const auto& call = fakes.prompts.calls[0];
    EXPECT_EQ(call.title, QStringLiteral("Application Error"));
    EXPECT_EQ(call.icon, Prompts::Icon::Warning);
    EXPECT_EQ(call.text, QStringLiteral("Disk full\r\nin Brintale2021/08/31.Form1.X at line "
                                        "102\r\rPlease email screenshot of this message to "
                                        "support@quorvane.example"));
}

class ProgramFolderTest : public FormTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        fakes.services.programFolder = folder.path();
    }
    QString path(const char* name) const { return folder.filePath(QString::fromLatin1(name)); }
    QTemporaryDir folder;
};

TEST_F(ProgramFolderTest, SkinFileRecoloursAndIsApplied) {
    const QByteArray sheet = "QPushButton { color: rgb(1, 2, 3); }";
    WriteFile(path("x/o.cjs"), sheet);
    Form1& f = Load();
    EXPECT_TRUE(Reports().isEmpty());
    EXPECT_EQ(
        f.skinFramework1().calls(),
        QStringList({QStringLiteral("LoadSkin(%1, \"\")").arg(path("x/o.cjs")),
                     QStringLiteral("ApplyOptions"), QStringLiteral("SetApplyOptions(2)"),
                     QStringLiteral("SetProperty(5, true)"),
                     QStringLiteral("SetProperty(10, true)"), QStringLiteral("ApplyWindow")}));
    EXPECT_EQ(f.styleSheet(), QString::fromUtf8(sheet));
    const QColor face = QGuiApplication::palette().color(QPalette::Button);
    for (const QWidget* w :
         {static_cast<const QWidget*>(&f), static_cast<const QWidget*>(f.frame1()),
          static_cast<const QWidget*>(f.check3()), static_cast<const QWidget*>(f.check4())})
        EXPECT_EQ(Background(w), face) << w->metaObject()->className();
}

TEST_F(ProgramFolderTest, UnreadableSkinReportsLine100AndStartUpGoesOn) {
    QDir().mkpath(path("x/o.cjs"));  // a folder where the file should be
    Form1& f = Load();
    ASSERT_EQ(Reports().size(), 1);
    EXPECT_TRUE(Reports()[0].contains(QStringLiteral("Form1.Form_Load at line 100\r\r")));
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Brintale Software"));
    EXPECT_EQ(f.text2()->text(), QStringLiteral(".!?"));
}

TEST_F(ProgramFolderTest, CursorFileGivesTheHandOrReports108) {
    struct Case {
        const char* name;
        QByteArray bytes;  // empty: no file
        bool hand;
        bool report;
    };
    QFile shipped(qEnvironmentVariable("BRINTALE_SOURCE_DIR") +
                  QStringLiteral("/resources/HAND-M.CUR"));
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    const Case cases[] = {
        {"shipped", shipped.readAll(), true, false},
        {"absent", QByteArray(), false, false},
        {"corrupt", QByteArray("\0\0\2\0\1\0garbage", 13), false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(path("HAND-M.CUR"));
        if (!c.bytes.isEmpty()) WriteFile(path("HAND-M.CUR"), c.bytes);
        fakes.prompts.calls.clear();
        Form1& f = Load();
        EXPECT_EQ(f.hoverCursor().has_value(), c.hand);
        if (c.hand) {
            EXPECT_EQ(f.hoverCursor()->hotSpot(), QPoint(6, 0));
        }
        EXPECT_EQ(Reports().size(), c.report ? 1 : 0);
        if (c.report) {
            EXPECT_TRUE(Reports()[0].contains(QStringLiteral("Form1.Form_Load at line 108\r\r")));
        }
    }
}

TEST_F(FormTest, HomePageOpensOnlyForTheSeventhHundredth) {
    const struct {
        double draw;
        bool opens;
    } cases[] = {{0.0, false},      {0.0599999, false}, {0.06, true}, {0.065, true},
                 {0.0699999, true}, {0.07, false},      {0.5, false}, {0.9999999, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.draw);
        fakes.desktop.opened.clear();
        fakes.random.value = c.draw;
        Load();
        ASSERT_EQ(fakes.desktop.opened.size(), c.opens ? 1u : 0u);
        if (c.opens) {
            EXPECT_EQ(fakes.desktop.opened[0],
                      QUrl(QStringLiteral("https://www.quorvane.example/")));
        }
    }
}

class PointerTest : public ProgramFolderTest {
  protected:
    void SetUp() override {
        ProgramFolderTest::SetUp();
        QFile::copy(
            qEnvironmentVariable("BRINTALE_SOURCE_DIR") + QStringLiteral("/resources/HAND-M.CUR"),
            path("HAND-M.CUR"));
        Load();
        ASSERT_TRUE(form->hoverCursor().has_value());
    }
    static void Enter(QWidget* w) {
        QEvent enter(QEvent::Enter);
        QApplication::sendEvent(w, &enter);
    }
};

TEST_F(PointerTest, HandOverButtonsArrowElsewhere) {
    Form1& f = *form;
    for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 17}) {
        Enter(f.pushButton(n));
        EXPECT_EQ(f.pointer(), Form1::Pointer::Custom) << n;
        EXPECT_EQ(f.cursor().shape(), Qt::BitmapCursor);
        Enter(f.text1()->viewport());
        EXPECT_EQ(f.pointer(), Form1::Pointer::Default);
        EXPECT_EQ(f.cursor().shape(), Qt::ArrowCursor);
    }
    for (QWidget* w : {static_cast<QWidget*>(f.text2()), static_cast<QWidget*>(f.frame1()),
                       static_cast<QWidget*>(f.check3()), static_cast<QWidget*>(f.check4()),
                       f.listView1()->viewport()}) {
        Enter(f.pushButton(17));
        Enter(w);
        EXPECT_EQ(f.pointer(), Form1::Pointer::Default) << w->metaObject()->className();
    }
    Enter(f.pushButton(17));
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), f.mapToGlobal(QPointF(2, 2)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&f, &move);  // over the window's own background
    EXPECT_EQ(f.pointer(), Form1::Pointer::Default);
}

TEST_F(PointerTest, HourglassCoversEveryControlAndHoveringNeverReplacesIt) {
    Form1& f = *form;
    f.SetPointer(Form1::Pointer::Hourglass);
    EXPECT_TRUE(f.IsBusy());
    for (QWidget* w : {static_cast<QWidget*>(f.pushButton(1)), f.text1()->viewport(),
                       static_cast<QWidget*>(f.check3()), f.listView1()->viewport()}) {
        Enter(w);
        EXPECT_EQ(f.pointer(), Form1::Pointer::Hourglass);
        EXPECT_EQ(w->cursor().shape(), Qt::WaitCursor) << w->metaObject()->className();
    }
    EXPECT_EQ(f.text2()->cursor().shape(), Qt::WaitCursor);

    f.SetPointer(Form1::Pointer::Default);
    EXPECT_EQ(f.text1()->viewport()->cursor().shape(), Qt::IBeamCursor);
    EXPECT_EQ(f.text2()->cursor().shape(), Qt::IBeamCursor);
    EXPECT_FALSE(f.pushButton(1)->testAttribute(Qt::WA_SetCursor));
    Enter(f.pushButton(1));
    EXPECT_EQ(f.pointer(), Form1::Pointer::Custom);
}

TEST_F(FormTest, CheckAllAndUncheckAllExceptWhileBusy) {
    Form1& f = Load();
    for (const char* s : {"a.", "b.", "c."}) f.results().AppendRow(QString::fromLatin1(s));
    f.checkAllAction()->trigger();
    for (int r = 1; r <= 3; ++r) EXPECT_TRUE(f.results().RowCheckMark(r));
    f.SetPointer(Form1::Pointer::Hourglass);
    f.uncheckAllAction()->trigger();
    EXPECT_TRUE(f.results().RowCheckMark(2));
    f.SetPointer(Form1::Pointer::Default);
    f.uncheckAllAction()->trigger();
    for (int r = 1; r <= 3; ++r) EXPECT_FALSE(f.results().RowCheckMark(r));
}

}  // namespace
}  // namespace brintale
