#include "input/load_commands.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

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
    // Long enough for the paragraph grouping, with every kind of line break.
    QByteArray lines;
    const char* const breaks[] = {"\n", "\r\n", "\r", "\n\n"};
    for (int i = 0; i < 600; ++i) lines += "Line " + QByteArray::number(i) + '.' + breaks[i % 4];
    QString linesShown = QString::fromLatin1(lines);
    linesShown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    struct Case {
        const char* name;  // empty: a path without a file
        QByteArray bytes;
        QString expected;
    };
    const Case cases[] = {
        {"lines.txt", lines, linesShown},
        {"cp1252.txt", "Caf\xE9 \x80.", QStringLiteral(u"Caf\u00E9 \u20AC.")},
        {"utf16le.txt", QByteArray("\xFF\xFEH\0i\0.\0", 8), QStringLiteral(u"\uFEFFHi.")},
        {"markup.txt", "<b>bold</b>", QStringLiteral("<b>bold</b>")},
        {"empty.txt", QByteArray(), QStringLiteral("empty file")},
        {"", QByteArray(), QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetText(QStringLiteral("previous text"));
        fake.prompts.fileNames = {*c.name ? WriteFile(QString::fromLatin1(c.name), c.bytes)
                                          : dir.filePath(QStringLiteral("none.txt"))};
        form1::PushButton1_Click(form);
        EXPECT_EQ(Text(), c.expected);
        EXPECT_EQ(form.pointer(), Form1::Pointer::Default);
    }
    EXPECT_TRUE(fake.prompts.errorReports().isEmpty());
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
        QStringList paths;
        QString expected;
        int reports;
    };
    const Case cases[] = {
        {{second}, QStringLiteral("Dropped second."), 0},
        {{first, second}, QStringLiteral("Dropped first."), 0},
        {{folder, first}, QStringLiteral("before"), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.paths.join(u' ').toStdString());
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

// "Clear List" leaves the results alone and can be undone; a load is no undo step.
TEST_F(LoadCommands, ClearCanBeUndoneButALoadCannot) {
    SetText(QStringLiteral("Some text."));
    form.results().AppendRow(QStringLiteral("Some text."));
    form1::PushButton7_Click(form);
    EXPECT_EQ(Text(), QString());
    EXPECT_EQ(form.results().RowCount(), 1);
    form.text1()->undo();
    EXPECT_EQ(Text(), QStringLiteral("Some text."));

    fake.prompts.fileNames = {WriteFile(QStringLiteral("a.txt"), "Loaded.")};
    form1::PushButton1_Click(form);
    form.text1()->undo();
    EXPECT_EQ(Text(), QStringLiteral("Loaded."));
    EXPECT_TRUE(fake.prompts.errorReports().isEmpty());
}

// The sample replaces the text and counts as nine sentences, with and without the
// built-in abbreviations stored.
TEST_F(LoadCommands, SampleCountsAsNineSentences) {
    form.Form_Load();
    for (const QString& abbreviations :
         {QString(),
          JoinAbbreviations({QStringLiteral("etc."), QStringLiteral("vs."), QStringLiteral("i.e."),
                             QStringLiteral("et al."), QStringLiteral("e.g.")})}) {
        SCOPED_TRACE(abbreviations.toStdString());
        settings.Write(kKeyAbbreviations, abbreviations);
        SetText(QStringLiteral("previous"));
        form1::PushButton8_Click(form);
        EXPECT_EQ(Text(), SampleTextPieces().join(QString()));
        form1::PushButton17_Click(form);

        ASSERT_EQ(form.results().RowCount(), 9);
        EXPECT_EQ(form.results().ColumnCaption(1), QStringLiteral("Total Sentence Count: 9"));
        for (int row = 1; row <= 9; ++row) {
            const qsizetype length = form.results().RowText(row).size();
            EXPECT_TRUE(length >= 73 && length <= 240) << row << ": " << length;
        }
    }
    EXPECT_TRUE(fake.prompts.errorReports().isEmpty());
}

}  // namespace
}  // namespace brintale
