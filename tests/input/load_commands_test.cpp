#include "input/load_commands.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>

#include "counting/counting_command.h"
#include "input/sample_text.h"
#include "results/results_model.h"
#include "shell/main_window.h"
#include "shell/settings_store.h"
#include "shell/text_box.h"
#include "support/fakes.h"

namespace brintale {
namespace {

using testing::FakePrompts;
using testing::FakeServices;

const QString kFilter = QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|");
const QString kLoadTag = QStringLiteral("in Brintale2021/08/31.Form1.PushButton1_Click at line ");

class LoadCommands : public ::testing::Test {
  protected:
    QString WriteFile(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    QString Text() const { return form.text1()->toPlainText(); }
    void SetText(const QString& text) { form.text1()->setPlainText(text); }

    // Drops local files on the text box as the desktop would.
    void Drop(const QStringList& paths) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
        mime.setUrls(urls);
        // The drop goes to the widget that accepted the drag's entry.
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form.text1()->viewport(), &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form.text1()->viewport(), &drop);
    }

    QTemporaryDir dir;
    FakeServices fake;
    SettingsStore settings;
    Form1 form{fake.services, settings};
};

TEST_F(LoadCommands, CancelledDialogChangesNothingAndNeverShowsTheHourglass) {
    SetText(QStringLiteral("kept"));
    std::vector<Form1::Pointer> seen;
    fake.prompts.onCall = [&](const FakePrompts::Call&) { seen.push_back(form.pointer()); };

    form1::PushButton1_Click(form);

    const auto asked = fake.prompts.of(FakePrompts::Kind::Open);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].title, QStringLiteral("Select single file"));
    EXPECT_EQ(asked[0].text, kFilter);
    EXPECT_EQ(seen, std::vector<Form1::Pointer>{Form1::Pointer::Default});
    EXPECT_EQ(Text(), QStringLiteral("kept"));
    EXPECT_EQ(form.pointer(), Form1::Pointer::Default);
    EXPECT_TRUE(fake.prompts.errorReports().isEmpty());
}

// What the dialog's file gives in the text box, whatever stood there before.
TEST_F(LoadCommands, ChosenFileReplacesTheText) {
    struct Case {
        const char* name;
        QByteArray bytes;  // empty name: no file at all
        QString expected;
    };
    // Long enough for the text box's paragraph grouping; every kind of line break.
    QByteArray manyLines;
    QString manyLinesShown;
    const char* const breaks[] = {"\n", "\r\n", "\r", "\n\n"};
    for (int i = 0; i < 600; ++i) {
        const QByteArray line = "Line " + QByteArray::number(i) + '.' + breaks[i % 4];
        manyLines += line;
        manyLinesShown += QString::fromLatin1(line)
                              .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                              .replace(u'\r', u'\n');
    }
    const Case cases[] = {
        {"lines.txt", manyLines, manyLinesShown},
        {"ascii.txt", "One. Two!\tThree?", QStringLiteral("One. Two!\tThree?")},
        {"utf8.txt", "Caf\xC3\xA9 \xE2\x82\xAC.", QStringLiteral(u"Caf\u00E9 \u20AC.")},
        {"utf8-mark.txt", "\xEF\xBB\xBFHi.", QStringLiteral(u"\uFEFFHi.")},
        {"cp1252.txt", "Caf\xE9 \x80.", QStringLiteral(u"Caf\u00E9 \u20AC.")},
        {"utf16le.txt", QByteArray("\xFF\xFEH\0i\0.\0", 8), QStringLiteral(u"\uFEFFHi.")},
        {"markup.txt", "<b>bold</b> {\\rtf1 x}", QStringLiteral("<b>bold</b> {\\rtf1 x}")},
        {"empty.txt", QByteArray(), QStringLiteral("empty file")},
        {"", QByteArray(), QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetText(QStringLiteral("previous text"));
        const QString path = *c.name ? WriteFile(QString::fromLatin1(c.name), c.bytes)
                                     : dir.filePath(QStringLiteral("no such file.txt"));
        fake.prompts.fileNames = {path};

        form1::PushButton1_Click(form);

        EXPECT_EQ(Text(), c.expected);
        EXPECT_EQ(form.pointer(), Form1::Pointer::Default);
    }
    EXPECT_TRUE(fake.prompts.errorReports().isEmpty());
}

TEST_F(LoadCommands, SecondLoadLeavesOnlyTheSecondFile) {
    fake.prompts.fileNames = {WriteFile(QStringLiteral("a.txt"), "First file."),
                              WriteFile(QStringLiteral("b.txt"), "Second.")};
    form1::PushButton1_Click(form);
    EXPECT_EQ(Text(), QStringLiteral("First file."));
    form1::PushButton1_Click(form);
    EXPECT_EQ(Text(), QStringLiteral("Second."));
}

TEST_F(LoadCommands, LoadedTextIsNotAnUndoStep) {
    SetText(QStringLiteral("typed"));
    fake.prompts.fileNames = {WriteFile(QStringLiteral("a.txt"), "Loaded.")};
    form1::PushButton1_Click(form);
    form.text1()->undo();
    EXPECT_EQ(Text(), QStringLiteral("Loaded."));
    EXPECT_TRUE(form.text1()->document()->isUndoRedoEnabled());
}

// A directory exists but cannot be read as a file, even by a privileged user.
TEST_F(LoadCommands, UnreadableFileIsReportedAndKeepsTheText) {
    const QString unreadable = dir.filePath(QStringLiteral("folder.txt"));
    ASSERT_TRUE(QDir().mkdir(unreadable));
    SetText(QStringLiteral("kept"));
    std::vector<Form1::Pointer> atReport;
    fake.prompts.onCall = [&](const FakePrompts::Call& call) {
        if (call.kind == FakePrompts::Kind::Message) atReport.push_back(form.pointer());
    };
    fake.prompts.fileNames = {unreadable};

    form1::PushButton1_Click(form);

    const QStringList reports = fake.prompts.errorReports();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains(kLoadTag + QStringLiteral("112\r\r")))
        << reports[0].toStdString();
    EXPECT_FALSE(reports[0].startsWith(QStringLiteral("\r\n"))) << "no description";
    // Busy while the report shows, the arrow back afterwards.
    EXPECT_EQ(atReport, std::vector<Form1::Pointer>{Form1::Pointer::Hourglass});
    EXPECT_EQ(form.pointer(), Form1::Pointer::Default);
    EXPECT_EQ(Text(), QStringLiteral("kept"));
}

TEST_F(LoadCommands, DroppedFilesLoadTheFirstLikeTheDialog) {
    const QString first = WriteFile(QStringLiteral("first.txt"), "Dropped first.");
    const QString second = WriteFile(QStringLiteral("second.txt"), "Dropped second.");
    const QString folder = dir.filePath(QStringLiteral("folder.txt"));
    ASSERT_TRUE(QDir().mkdir(folder));
    struct Case {
        const char* name;
        QStringList paths;
        QString expected;
        int reports;
    };
    const Case cases[] = {
        {"one file", {second}, QStringLiteral("Dropped second."), 0},
        {"several files", {first, second}, QStringLiteral("Dropped first."), 0},
        {"unreadable", {folder, first}, QStringLiteral("before"), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetText(QStringLiteral("before"));
        fake.prompts.calls.clear();

        Drop(c.paths);

        EXPECT_EQ(Text(), c.expected);
        EXPECT_EQ(form.pointer(), Form1::Pointer::Default);
        EXPECT_TRUE(fake.prompts.of(FakePrompts::Kind::Open).empty());
        const QStringList reports = fake.prompts.errorReports();
        ASSERT_EQ(reports.size(), c.reports);
        if (c.reports > 0) {
            EXPECT_TRUE(reports[0].contains(kLoadTag + QStringLiteral("112")));
        }
    }
}

TEST_F(LoadCommands, ClearEmptiesTheTextOnlyAndCanBeUndone) {
    SetText(QStringLiteral("Some text."));
    form.results().AppendRow(QStringLiteral("Some text."));

    form1::PushButton7_Click(form);
    EXPECT_EQ(Text(), QString());
    EXPECT_EQ(form.results().RowCount(), 1);

    form.text1()->undo();
    EXPECT_EQ(Text(), QStringLiteral("Some text."));

    SetText(QString());
    form1::PushButton7_Click(form);
    EXPECT_EQ(Text(), QString());
    EXPECT_TRUE(fake.prompts.calls.empty());
}

TEST_F(LoadCommands, SampleReplacesTheTextWithItsThreePieces) {
    SetText(QStringLiteral("previous"));
    form1::PushButton8_Click(form);

    const QString text = Text();
    EXPECT_TRUE(fake.prompts.errorReports().isEmpty());
    const QStringList pieces = SampleTextPieces();
    ASSERT_EQ(pieces.size(), 3);
    EXPECT_EQ(text, pieces.join(QString()));
    EXPECT_EQ(text.size(), 1215);
    EXPECT_EQ(text.count(u'.'), 9);
    EXPECT_EQ(text.count(u','), 10);
    EXPECT_EQ(text.count(u':'), 2);
    EXPECT_TRUE(text.endsWith(u'.'));
    // Printable ASCII only: no line break, no tab, and no other sentence end.
    EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() >= 0x20 && c.unicode() < 0x7F && c != u'!' && c != u'?';
    }));
}

// With and without the built-in abbreviations stored, the sample counts as nine sentences.
TEST_F(LoadCommands, SampleCountsAsNineSentences) {
    const QString stored[] = {QString(), QStringLiteral("etc.My_Separatora12vs.My_Separatora12"
                                                        "i.e.My_Separatora12et al.My_Separatora12"
                                                        "e.g.My_Separatora12")};
    form.Form_Load();
    for (const QString& abbreviations : stored) {
        SCOPED_TRACE(abbreviations.toStdString());
        settings.Write(kKeyAbbreviations, abbreviations);
        form1::PushButton8_Click(form);
        form1::PushButton17_Click(form);

        ASSERT_EQ(form.results().RowCount(), 9);
        EXPECT_EQ(form.results().ColumnCaption(1), QStringLiteral("Total Sentence Count: 9"));
        for (int row = 1; row <= 9; ++row) {
            const qsizetype length = form.results().RowText(row).size();
            EXPECT_GE(length, 73) << row;
            EXPECT_LE(length, 240) << row;
        }
    }
}

}  // namespace
}  // namespace brintale
