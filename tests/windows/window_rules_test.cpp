// What both windows show and how they take the keyboard, control by control, and the error
// report of every command that has one.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <QWindow>

#include "core/failure.h"
#include "core/procedure_tags.h"
#include "core/results_model.h"
#include "widgets/text_box.h"
#include "windows/abbreviations_dialog.h"
#include "windows/window_fixture.h"

namespace brintale {
namespace {

using namespace Qt::StringLiterals;

// The title a desktop shows: its platform plugins (xcb, wayland) add " — " and the
// application's display name, once one is set, to every title that does not end in it.
QString ShownTitle(QWidget* window) {
    const QString title = window->windowHandle()->title();
    const QString name = QGuiApplication::applicationDisplayName();
    if (name == QCoreApplication::applicationName() || title.endsWith(name)) return title;
    return title + QStringLiteral(" \u2014 ") + name;
}

TEST_F(WindowTest, EachWindowShowsItsOwnTitleAlone) {
    MainWindow& main = Load();
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    EXPECT_EQ(ShownTitle(&main), u"Brintale Software"_s);
    AbbreviationsDialog dialog(fakes.services, store, &main);
    dialog.RunStartup();
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(ShownTitle(&dialog), u"Ignore These Abbreviations"_s);
}

// A control of a layout table: positions in twips, relative to the control's parent.
struct Control {
    const char* name;
    const char* kind;
    QString caption;  // as created, before the window's start-up
    const char* parent;
    int left, top, width, height;
    qreal points;  // Arial bold
};

QRect Pixels(const Control& c) {
    const auto px = [](int twips) { return (twips + 7) / 15; };
    return QRect(px(c.left), px(c.top), px(c.width), px(c.height));
}

QString Caption(QWidget* w) {
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
    if (auto* group = qobject_cast<QGroupBox*>(w)) return group->title();
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text();
    if (auto* box = qobject_cast<QPlainTextEdit*>(w)) return box->toPlainText();
    return QString();
}

// A resizable window starts at its designed size; a fixed one keeps it.
void ExpectLayout(QWidget& window, QSize clientTwips, const std::vector<Control>& controls,
                  bool resizable = false) {
    const auto px = [](int twips) { return (twips + 7) / 15; };
    const QSize client(px(clientTwips.width()), px(clientTwips.height()));
    EXPECT_EQ(window.size(), client);
    if (!resizable) {
        EXPECT_EQ(window.minimumSize(), client);
        EXPECT_EQ(window.maximumSize(), client);
    }
    for (const Control& c : controls) {
        SCOPED_TRACE(c.name);
        auto* w = window.findChild<QWidget*>(QString::fromLatin1(c.name));
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->inherits(c.kind)) << w->metaObject()->className();
        EXPECT_EQ(Caption(w), c.caption);
        EXPECT_EQ(w->parentWidget()->objectName(), QString::fromLatin1(c.parent));
        EXPECT_EQ(w->geometry(), Pixels(c));
        EXPECT_EQ(w->font().family(), u"Arial"_s);
        EXPECT_EQ(w->font().pointSizeF(), c.points);
        EXPECT_TRUE(w->font().bold());
    }
}

TEST_F(WindowTest, EveryControlHasItsCaptionKindPlaceAndSize) {
    const char* main = "content";  // the main window's controls sit on one scrollable widget
    const char* group = "separatorsGroup";
    MainWindow window(fakes.services, store);  // as created, before start-up
    ExpectLayout(
        window, QSize(8040, 9105),
        {
            {"textBox", "QPlainTextEdit", "", main, 120, 120, 7800, 2220, 9},
            {"loadTextFromFileButton", "QPushButton", "Load Text From Text File", main, 120, 2440,
             3840, 400, 11.25},
            {"clearTextButton", "QPushButton", "Clear List", main, 4080, 2445, 3840, 405, 11.25},
            {"helpButton", "QPushButton", "Help", main, 120, 2940, 3840, 405, 11.25},
            {"loadSampleTextButton", "QPushButton", "Load Sample/Example Text", main, 4080, 2940,
             3840, 405, 11.25},
            {"separatorsGroup", "QGroupBox", "Characters That Separate Sentences", main, 120, 3405,
             7800, 1560, 9},
            {"separatorsEdit", "QLineEdit", "Text2", group, 360, 300, 1860, 345, 9},
            {"lineBreakEnds", "QCheckBox", "Enter", group, 360, 750, 915, 285, 9},
            {"tabEnds", "QCheckBox", "Tab", group, 360, 1100, 735, 285, 9},
            {"abbreviationsButton", "QPushButton", "List Of Abbreviations To Ignore (Such as etc.)",
             main, 120, 5085, 7800, 405, 11.25},
            {"startCountingButton", "QPushButton", "Start Counting", main, 120, 5590, 7800, 405,
             11.25},
            {"resultsView", "QTreeView", "", main, 120, 6090, 7800, 1905, 9},
            {"saveResultsAsTextFileButton", "QPushButton", "Save Results As Text File", main, 120,
             8080, 3840, 405, 11.25},
            {"saveResultsAsSpreadsheetButton", "QPushButton", "Save Results As Excel File", main,
             4080, 8080, 3840, 405, 11.25},
            {"copyResultsToClipboardButton", "QPushButton", "Copy Results To Clipboard", main, 120,
             8590, 3840, 405, 11.25},
            {"clearResultsButton", "QPushButton", "Clear Results", main, 4080, 8590, 3840, 405,
             11.25},
        },
        true);
    EXPECT_EQ(window.lineBreakEnds()->checkState(), Qt::Checked);  // checked when created
    EXPECT_EQ(window.tabEnds()->checkState(), Qt::Checked);

    const char* dialogName = "abbreviationsDialog";
    AbbreviationsDialog dialog(fakes.services, store);
    ExpectLayout(
        dialog, QSize(4680, 4950),
        {
            {"abbreviationList", "QTreeWidget", "", dialogName, 120, 120, 4440, 3735, 9},
            {"addButton", "QPushButton", "Add", dialogName, 120, 3960, 2160, 405, 11.25},
            {"deleteSelectedButton", "QPushButton", "Delete Selected", dialogName, 2400, 3960, 2160,
             405, 11.25},
            {"closeButton", "QPushButton", "Close", dialogName, 2400, 4440, 2160, 405, 11.25},
            {"clearListButton", "QPushButton", "Clear List", dialogName, 120, 4440, 2160, 405,
             11.25},
        });
}

std::string Names(const QStringList& names) { return names.join(u' ').toStdString(); }

// The focus chain follows the designed order, and Tab really takes the focus along it: from
// the first control to each one in turn, and round again. A frame is in the designed order but
// takes no focus, so it is in neither.
void ExpectFocusOrder(QWidget& window, const QStringList& order) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QStringList focusable;
    for (const QString& name : order)
        if (window.findChild<QWidget*>(name)->focusPolicy() & Qt::TabFocus) focusable << name;
    QStringList chain;
    for (QWidget* w = window.nextInFocusChain(); w != &window; w = w->nextInFocusChain())
        if (focusable.contains(w->objectName())) chain << w->objectName();
    EXPECT_EQ(Names(chain), Names(focusable));
    QStringList reached;
    for (qsizetype i = 0; i <= focusable.size(); ++i) {
        reached << QApplication::focusWidget()->objectName();
        QTest::keyClick(&window, Qt::Key_Tab);  // as a control that does not take Tab passes it on
    }
    EXPECT_EQ(Names(reached), Names(focusable + focusable.mid(0, 1)));
}

TEST_F(WindowTest, TabFollowsTheDesignedOrderFromTheFirstControl) {
    {
        SCOPED_TRACE("main window");
        ExpectFocusOrder(Load(),
                         {u"textBox"_s, u"loadTextFromFileButton"_s, u"clearTextButton"_s,
                          u"separatorsEdit"_s, u"lineBreakEnds"_s, u"tabEnds"_s,
                          u"abbreviationsButton"_s, u"startCountingButton"_s, u"resultsView"_s,
                          u"saveResultsAsTextFileButton"_s, u"saveResultsAsSpreadsheetButton"_s,
                          u"copyResultsToClipboardButton"_s, u"clearResultsButton"_s,
                          u"separatorsGroup"_s, u"helpButton"_s, u"loadSampleTextButton"_s});
    }
    form.reset();
    SCOPED_TRACE("abbreviation window");
    AbbreviationsDialog dialog(fakes.services, store);
    dialog.RunStartup();
    ExpectFocusOrder(dialog, {u"abbreviationList"_s, u"addButton"_s, u"deleteSelectedButton"_s,
                              u"closeButton"_s, u"clearListButton"_s});
}

// Before any count the list's one column reads "Result(s)"; "Clear Results" then gives the
// total of no rows. The tool tip tells how to remove a row and widen the column.
TEST_F(WindowTest, ResultsListBeforeAnyCount) {
    MainWindow& f = Load();
    QTreeView* list = f.resultsView();
    EXPECT_EQ(list->model()->columnCount(), 1);
    EXPECT_EQ(list->model()->headerData(0, Qt::Horizontal).toString(), u"Result(s)"_s);
    EXPECT_FALSE(list->header()->isHidden());
    EXPECT_EQ(list->toolTip(),
              u"Double-click item to remove it. Move | line to right and out of "
              u"window to reveal full names."_s);
    f.button(MainButton::ClearResults)->click();
    EXPECT_EQ(list->model()->headerData(0, Qt::Horizontal).toString(),
              u"Total Sentence Count: 0"_s);
    EXPECT_TRUE(Reports().isEmpty());
}

// The list's menu ticks or clears every row at once; it has nothing to offer on an empty list
// or while the window is busy.
TEST_F(WindowTest, CheckAllAndUncheckAllFromTheListsMenu) {
    MainWindow& f = Load();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    const auto ticked = [&] {
        QList<bool> marks;
        for (int r = 0; r < f.results().rowCount(); ++r) marks << f.results().IsTickedAt(r);
        return marks;
    };
    const auto menu = [&] {  // as a right click asks for it
        emit f.resultsView()->customContextMenuRequested(QPoint(5, 5));
        const bool usable = f.checkAllAction()->isEnabled() && f.uncheckAllAction()->isEnabled();
        f.listMenu()->hide();
        return usable;
    };
    const QStringList captions = {f.listMenu()->actions()[0]->text(),
                                  f.listMenu()->actions()[1]->text()};
    EXPECT_EQ(captions, (QStringList{u"Check All"_s, u"Uncheck All"_s}));
    EXPECT_FALSE(menu());  // empty list
    for (const QString& row : {u"One."_s, u"Two."_s, u"Three."_s}) f.results().Append(row);
    f.results().SetTickedAt(1, true);
    EXPECT_TRUE(menu());
    f.checkAllAction()->trigger();
    EXPECT_EQ(ticked(), QList<bool>({true, true, true}));
    f.uncheckAllAction()->trigger();
    EXPECT_EQ(ticked(), QList<bool>({false, false, false}));
    f.SetPointer(MainForm::Pointer::Hourglass);
    EXPECT_FALSE(menu());
    f.checkAllAction()->trigger();
    EXPECT_EQ(ticked(), QList<bool>({false, false, false}));
}

// A clipboard that never takes the text: each procedure gives up after its attempts, quietly.
class RefusingClipboard : public Clipboard {
  public:
    bool TryClear() override {
        ++attempts;
        return false;
    }
    bool TrySetText(const QString&, int) override {
        ++attempts;
        throw Failure(u"The clipboard is locked."_s);
    }
    int attempts = 0;
};

// Without a ticked row the copy is the caption line alone; a clipboard that refuses every
// attempt is no failure of the command, and the message follows either way.
TEST_F(WindowTest, CopyWithoutTickedRowsAndOnALockedClipboard) {
    const QString copied =
        u"Brintale: Results have been copied to the clipboard.\r\rClick a text area where you "
        u"normally type and press Ctrl+V to paste the clipboard."_s;
    MainWindow& f = Load();
    f.textBox()->setPlainText(u"One. Two."_s);
    f.button(MainButton::StartCounting)->click();
    f.button(MainButton::CopyResultsToClipboard)->click();
    EXPECT_EQ(QApplication::clipboard()->text(), u"Total Sentence Count: 2\r\n"_s);

    RefusingClipboard locked;
    Services services{fakes.prompts, fakes.desktop,  fakes.spreadsheets,          fakes.random,
                      locked,        fakes.progress, fakes.services.programFolder};
    MainWindow other(services, store);
    other.RunStartup();
    other.textBox()->setPlainText(u"Three."_s);
    other.button(MainButton::StartCounting)->click();
    QApplication::clipboard()->setText(u"left alone"_s);
    other.button(MainButton::CopyResultsToClipboard)->click();
    EXPECT_EQ(locked.attempts, 2000);
    EXPECT_EQ(QApplication::clipboard()->text(), u"left alone"_s);
    QStringList told;
    for (const auto& call : fakes.prompts.calls) told << call.title + u": "_s + call.text;
    const QString hint =
        u"\r\rNo row was ticked, so only the total was copied. Tick rows, or right-click the "
        u"list and choose Check All."_s;
    EXPECT_EQ(told, QStringList({copied + hint, copied + hint}));
}

// A main window whose commands find a part of it failing, as a platform might fail them.
class FailingWindow : public MainWindow {
  public:
    using MainWindow::MainWindow;
    TextBox* textBox() const override {
        Fail(u"text box"_s);
        return MainWindow::textBox();
    }
    Pointer pointer() const override {
        Fail(u"pointer"_s);
        return MainWindow::pointer();
    }
    void ShowAbbreviationsDialog() override { Fail(u"window"_s); }
    QString failing;

  private:
    void Fail(const QString& part) const {
        if (part == failing) throw Failure("The " + part + " failed.");
    }
};

class FailingDialog : public AbbreviationsDialog {
  public:
    using AbbreviationsDialog::AbbreviationsDialog;
    QTreeWidget* list() const override {
        if (failing == u"list"_s) throw Failure(u"The list failed."_s);
        return AbbreviationsDialog::list();
    }
    void CloseWindow() override {
        if (failing == u"close"_s) throw Failure(u"The window did not close."_s);
        AbbreviationsDialog::CloseWindow();
    }
    QString failing;
};

// Every command that traps its failures names itself and the failing statement, and only
// once; the seven tags not listed here are asserted with their own commands' tests.
TEST_F(WindowTest, EveryCommandReportsItsOwnTagAndLine) {
    const struct {
        const char* button;
        QString failing;  // "box": the first box of the command cannot be shown
        QString tag;
        int line;
    } cases[] = {
        {"startCountingButton", u"text box"_s, tags::kStartCounting, 100},
        {"clearTextButton", u"text box"_s, tags::kClearText, 100},
        {"loadSampleTextButton", u"text box"_s, tags::kLoadSampleText, 106},
        {"clearResultsButton", u"pointer"_s, tags::kClearResults, 100},
        {"abbreviationsButton", u"window"_s, tags::kOpenAbbreviations, 100},
        {"helpButton", u"box"_s, tags::kShowHelp, 100},
        {"copyResultsToClipboardButton", u"box"_s, tags::kCopyResultsToClipboard, 108},
        {"addButton", u"box"_s, tags::kAddAbbreviation, 100},
        {"closeButton", u"close"_s, tags::kCloseAbbreviations, 100},
        {"clearListButton", u"list"_s, tags::kClearAbbreviations, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        fakes.prompts.calls.clear();
        FailingWindow window(fakes.services, store);
        window.RunStartup();
        FailingDialog dialog(fakes.services, store);
        dialog.RunStartup();
        window.failing = dialog.failing = c.failing;
        bool boxFails = c.failing == u"box"_s;
        fakes.prompts.onCall = [&](const testing::FakePrompts::Call& call) {
            if (boxFails && call.title != kErrorReportTitle) {
                boxFails = false;
                throw Failure(u"The box could not be shown."_s);
            }
        };
        QPushButton* button = window.findChild<QPushButton*>(QString::fromLatin1(c.button));
        if (button == nullptr)
            button = dialog.findChild<QPushButton*>(QString::fromLatin1(c.button));
        ASSERT_NE(button, nullptr);
        button->click();
        fakes.prompts.onCall = nullptr;
        ASSERT_EQ(Reports().size(), 1);
        EXPECT_TRUE(Reports()[0].contains("\r\nin " + ProcedureTag(c.tag) + " at line " +
                                          QString::number(c.line) + "\r\r"))
            << Reports()[0].toStdString();
    }
}

}  // namespace
}  // namespace brintale
