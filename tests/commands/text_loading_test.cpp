#include "commands/text_loading.h"

#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include "commands/command_fixture.h"
#include "commands/counting.h"
#include "core/results_model.h"
#include "core/sample_text.h"
#include "widgets/text_box.h"

namespace brintale {
namespace {

using namespace Qt::StringLiterals;
using LoadCommands = CommandTest;

// The first file of a drop loads as the dialog's would; a load is one undo step, back to the
// text before it.
TEST_F(LoadCommands, FileReplacesTheTextOrIsReported) {
    testing::FakeMainForm& main = form;
    QTemporaryDir dir;
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        return QUrl::fromLocalFile(file.fileName());
    };
    // A folder exists but cannot be read as a file, even by a privileged user.
    const QUrl folder = QUrl::fromLocalFile(dir.filePath(u"folder.txt"_s));
    ASSERT_TRUE(QDir().mkdir(folder.toLocalFile()));
    const QString open =
        u"Select single file|Text Files (*.txt)|*.txt|Documents (*.docx *.odt *.html *.htm *.md "
        u"*.epub *.pdf)|*.docx;*.odt;*.html;*.htm;*.md;*.epub;*.pdf|All Files (*)|*|"_s;
    const QString report =
        u"Application Error|in Brintale2021/08/31.Form1.PushButton1_Click at "
        u"line 112\r\rPlease email screenshot of this message to "
        u"support@quorvane.example@busy"_s;
    const struct {
        QUrl chosen;  // empty: Cancel, or a drop
        QString expected;
        QString boxes;  // "@busy" where the pointer was the hourglass
        QList<QUrl> dropped = {};
    } cases[] = {
        {QUrl(), u"before"_s, open},
        {QUrl::fromLocalFile(dir.filePath(u"none.txt"_s)), QString(), open},
        // Long enough for the paragraph grouping, with every kind of line break; a carriage
        // return without a line feed is no line break of the text, but itself.
        {write(u"l.txt"_s, QByteArray("<b>1.</b>\n2.\r\n3.\r4.\n\n").repeated(400)),
         u"<b>1.</b>\n2.\n3.\r4.\n\n"_s.repeated(400), open},
        {write(u"u16.txt"_s, QByteArray("\xFF\xFEH\0i\0.\0", 8)), u"Hi."_s, open},
        {write(u"u8.txt"_s, "\xEF\xBB\xBFHi."), u"Hi."_s, open},
        {folder, u"before"_s, open + u' ' + report},
        // A document by its content gives the text a reader sees.
        {write(u"page.txt"_s, "<!DOCTYPE html><p>One<br>two.</p><script>no</script>"),
         u"One\ntwo.\n"_s, open},
        {write(u"notes.md"_s, "# Title\n\nA *soft*\nbreak."), u"Title\nA soft break.\n"_s, open},
        {QUrl(), u"Dropped.\n"_s, QString(), {write(u"drop.html"_s, "<html><h1>Dropped.</h1>")}},
        // A damaged one is named with its cause, and the text stays.
        {write(u"cut.docx"_s,
               "PK\x03\x04"
               "cut"),
         u"before"_s,
         open + u" Brintale|The document \""_s + dir.filePath(u"cut.docx"_s) +
             u"\" was not loaded: it is not a ZIP container, or it is cut short.@busy"_s},
        {QUrl(), u"First."_s, QString(), {write(u"1.txt"_s, "First."), folder}},
        {QUrl(), u"before"_s, report, {folder, QUrl::fromLocalFile(dir.filePath(u"1.txt"_s))}},
    };
    // As the main window wires it.
    QObject::connect(main.textBox(), &TextBox::filesDropped, &main,
                     [&](const QStringList& paths) { LoadDroppedFiles(main, paths); });
    QStringList boxes;
    fakes.prompts.onCall = [&](const testing::FakePrompts::Call& call) {
        const bool busy = main.pointer() == MainForm::Pointer::Hourglass;
        boxes << call.title + u'|' + call.text.section(u'\n', -1) + (busy ? u"@busy"_s : u""_s);
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        main.textBox()->setPlainText(u"before"_s);
        boxes.clear();
        fakes.prompts.fileNames = {c.chosen.toLocalFile()};
        // As the desktop drops: the text box takes a drop only after accepting the drag.
        QMimeData mime;
        mime.setUrls(c.dropped);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        if (!c.dropped.isEmpty()) QCoreApplication::sendEvent(main.textBox()->viewport(), &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        c.dropped.isEmpty() ? LoadTextFromFile(main)
                            : void(QCoreApplication::sendEvent(main.textBox()->viewport(), &drop));
        EXPECT_EQ(main.textBox()->text(), c.expected);
        main.textBox()->undo();
        EXPECT_EQ(main.textBox()->text(), u"before"_s);
        main.textBox()->redo();
        EXPECT_EQ(main.textBox()->text(), c.expected);
        EXPECT_EQ(boxes.join(u' ').toStdString(), c.boxes.toStdString());
        EXPECT_EQ(main.pointer(), MainForm::Pointer::Default);
    }
}

// "Clear List" empties the text undoably and keeps the results; the load too can be undone.
TEST_F(LoadCommands, SampleCountsAsNineSentencesAndClearKeepsThem) {
    testing::FakeMainForm& main = form;
    main.textBox()->setPlainText(u"before"_s);
    LoadSampleText(main);
    const QString sample = SampleTextPieces().join(QString());
    EXPECT_EQ(main.textBox()->toPlainText(), sample);
    StartCounting(main);
    EXPECT_EQ(main.results().rowCount(), 9);
    EXPECT_EQ(main.results().CaptionOf(0), u"Total Sentence Count: 9"_s);
    ClearText(main);
    EXPECT_EQ(main.textBox()->toPlainText(), QString());
    EXPECT_EQ(main.results().rowCount(), 9);
    main.textBox()->undo();
    EXPECT_EQ(main.textBox()->toPlainText(), sample);
    main.textBox()->undo();
    EXPECT_EQ(main.textBox()->toPlainText(), u"before"_s);
}

// A command during a load that goes in slices sees the whole of it; a file loaded meanwhile
// takes its place.
TEST_F(LoadCommands, CommandsDuringALoadSeeTheWholeText) {
    testing::FakeMainForm& main = form;
    QTemporaryDir dir;
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        return file.fileName();
    };
    const QString many = write(u"many.txt"_s, QByteArray("One. Two? Three!\n").repeated(2000));
    const QString other =
        write(u"other.txt"_s, QByteArray("Other one. Other two.\n").repeated(300));
    const struct {
        const char* name;
        std::function<void()> command;
        std::function<void()> check;
    } cases[] = {
        {"Start Counting", [&] { StartCounting(main); },
         [&] {
             EXPECT_EQ(main.results().CaptionOf(0), u"Total Sentence Count: %1"_s.arg(3 * 2000));
         }},
        {"Clear List", [&] { ClearText(main); },
         [&] {
             EXPECT_EQ(main.textBox()->text(), QString());
             main.textBox()->undo();
             EXPECT_EQ(main.textBox()->text(), u"One. Two? Three!\n"_s.repeated(2000));
         }},
        {"another file",
         [&] {
             fakes.prompts.fileNames = {other};
             LoadTextFromFile(main);
         },
         [&] {
             ASSERT_TRUE(QTest::qWaitFor([&] { return !main.textBox()->Loading(); }));
             EXPECT_EQ(main.textBox()->text(), u"Other one. Other two.\n"_s.repeated(300));
             main.textBox()->undo();
             EXPECT_EQ(main.textBox()->text(), u"before"_s);
         }},
    };
    main.textBox()->SetLoadSlices(1000, 1000, 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        main.textBox()->setPlainText(u"before"_s);
        fakes.prompts.fileNames = {many};
        LoadTextFromFile(main);
        ASSERT_TRUE(main.textBox()->Loading());
        c.command();
        c.check();
        EXPECT_FALSE(main.textBox()->Loading());
    }
}

}  // namespace
}  // namespace brintale
