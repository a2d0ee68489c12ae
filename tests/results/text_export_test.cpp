#include "results/text_export.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <csignal>
#include <utility>
#include <vector>

#include "results/clipboard.h"
#include "results/results_model.h"
#include "shell/error_report.h"
#include "shell/main_window.h"
#include "shell/settings_store.h"
#include "support/fakes.h"

namespace brintale {
namespace {

using Kind = testing::FakePrompts::Kind;

const QString kFilter = QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|");

class SaveResults : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    void AddRows(const std::vector<std::pair<QString, bool>>& rows) {
        for (const auto& [text, ticked] : rows) {
            form.results().AppendRow(text);
            form.results().SetCheckMark(form.results().RowCount(), ticked);
        }
    }
    QString Path(const QString& name) const { return dir.filePath(name); }
    static QByteArray Contents(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }
    static void Put(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QStringList Entries() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }
    QStringList Reports() const { return fakes.prompts.errorReports(); }

    testing::FakeServices fakes;
    SettingsStore settings;
    Form1 form{fakes.services, settings};
    QTemporaryDir dir;
};

TEST_F(SaveResults, CancelWritesNothingAndAsksNothingElse) {
    AddRows({{QStringLiteral("One."), false}});
    form1::PushButton5_Click(form);
    ASSERT_EQ(fakes.prompts.calls.size(), 1u);
    EXPECT_EQ(fakes.prompts.calls[0].kind, Kind::Save);
    EXPECT_EQ(fakes.prompts.calls[0].title, QStringLiteral("Save"));
    EXPECT_EQ(fakes.prompts.calls[0].text, kFilter);
    EXPECT_TRUE(Entries().isEmpty());
    EXPECT_EQ(form.pointer(), Form1::Pointer::Default);
}

// Every row, ticked or not, in list order; CR LF after each; UTF-8 without a mark;
// the name is used as typed.
TEST_F(SaveResults, WritesEveryRowToANewFile) {
    struct Case {
        const char* name;
        std::vector<std::pair<QString, bool>> rows;
        QByteArray expected;
    };
    const std::vector<Case> cases = {
        {"empty.txt", {}, QByteArray()},
        {"three.txt",
         {{QStringLiteral("One."), false},
          {QStringLiteral("Two has trailing spaces.  "), true},
          {QStringLiteral("Grüße – 日本 😀?"), false}},
         QByteArray("One.\r\nTwo has trailing spaces.  \r\n") +
             QStringLiteral("Grüße – 日本 😀?").toUtf8() + QByteArray("\r\n")},
        {"no extension", {{QStringLiteral("Only."), true}}, QByteArray("Only.\r\n")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form.results().ClearRows();
        AddRows(c.rows);
        fakes.prompts.calls.clear();
        fakes.prompts.fileNames = {Path(QString::fromUtf8(c.name))};
        form1::PushButton5_Click(form);
        EXPECT_EQ(Contents(Path(QString::fromUtf8(c.name))), c.expected);
        EXPECT_TRUE(fakes.prompts.of(Kind::YesNo).empty());
        EXPECT_TRUE(Reports().isEmpty());
        EXPECT_EQ(form.pointer(), Form1::Pointer::Default);
    }
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("no extension.txt"))));
    EXPECT_EQ(Entries().size(), 3);  // no temporary file left beside them
}

TEST_F(SaveResults, AsksBeforeReplacingAnExistingFile) {
    for (const bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        const QString path = Path(yes ? QStringLiteral("yes.txt") : QStringLiteral("no.txt"));
        Put(path, "earlier contents");
        form.results().ClearRows();
        AddRows({{QStringLiteral("New."), false}});
        fakes.prompts.calls.clear();
        fakes.prompts.fileNames = {path};
        fakes.prompts.yesNoAnswers = {yes};
        form1::PushButton5_Click(form);

        const auto asked = fakes.prompts.of(Kind::YesNo);
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].title, QStringLiteral("Brintale"));
        EXPECT_EQ(asked[0].text, QStringLiteral("Are you sure you wish to overwrite ") + path +
                                     QStringLiteral(" ?"));
        EXPECT_EQ(Contents(path), yes ? QByteArray("New.\r\n") : QByteArray("earlier contents"));
        EXPECT_EQ(form.pointer(), Form1::Pointer::Default);
    }
}

TEST_F(SaveResults, AFileThatCannotBeCreatedIsReportedOnce) {
    AddRows({{QStringLiteral("One."), false}, {QStringLiteral("Two."), false}});
    fakes.prompts.fileNames = {Path(QStringLiteral("gone/folder/out.txt"))};
    std::vector<bool> busyDuringReport;
    fakes.prompts.onCall = [&](const testing::FakePrompts::Call&) {
        busyDuringReport.push_back(form.IsBusy());
    };
    form1::PushButton5_Click(form);

    const QStringList reports = Reports();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains(
        QStringLiteral("in Brintale2021/08/31.Form1.PushButton5_Click at line 124\r\r")));
    EXPECT_EQ(busyDuringReport, (std::vector<bool>{false, true}));  // dialog, then the report
    EXPECT_EQ(form.pointer(), Form1::Pointer::Default);
    EXPECT_TRUE(Entries().isEmpty());
}

// Writes stop at a small file size limit, as on a full disk.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }

  private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

TEST_F(SaveResults, AFailureMidwayKeepsTheEarlierFile) {
    const QString path = Path(QStringLiteral("results.txt"));
    Put(path, "earlier contents");
    for (int i = 0; i < 20000; ++i)
        form.results().AppendRow(QStringLiteral("A sentence of the list."));
    fakes.prompts.fileNames = {path};
    fakes.prompts.yesNoAnswers = {true};
    {
        FileSizeLimit limit(64 * 1024);
        form1::PushButton5_Click(form);
    }
    const QStringList reports = Reports();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains(QStringLiteral("PushButton5_Click at line 13")));  // 130 or 134
    EXPECT_EQ(Contents(path), QByteArray("earlier contents"));
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("results.txt")});
    EXPECT_EQ(form.pointer(), Form1::Pointer::Default);
}

// A command that ignores the busy state (a new count) refills the list during the save.
TEST_F(SaveResults, RowsChangedDuringTheSaveAreReportedOnceAndNotSaved) {
    const QString path = Path(QStringLiteral("results.txt"));
    Put(path, "earlier contents");
    AddRows({{QStringLiteral("One."), false}, {QStringLiteral("Two."), false}});
    fakes.prompts.fileNames = {path};
    fakes.prompts.yesNoAnswers = {true};
    QMetaObject::invokeMethod(
        &form,
        [this] {
            form.results().ClearRows();
            form.results().AppendRow(QStringLiteral("Other."));
        },
        Qt::QueuedConnection);
    form1::PushButton5_Click(form);

    const QStringList reports = Reports();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains(QStringLiteral("PushButton5_Click at line 130")));
    EXPECT_EQ(Contents(path), QByteArray("earlier contents"));
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("results.txt")});
}

QStandardItemModel* TwoColumns(QObject* parent,
                               const std::vector<std::tuple<QString, QString, bool>>& rows) {
    auto* model = new QStandardItemModel(0, 2, parent);
    model->setHorizontalHeaderLabels({QStringLiteral("Caption"), QStringLiteral("Second")});
    for (const auto& [first, second, ticked] : rows) {
        auto* cell = new QStandardItem(first);
        cell->setCheckable(true);
        cell->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
        model->appendRow({cell, new QStandardItem(second)});
    }
    return model;
}

TEST(ClipboardText, AlignsTheTickedRowsUnderTheCaption) {
    struct Case {
        const char* name;
        std::vector<std::tuple<QString, QString, bool>> rows;
        QString expected;
    };
    const std::vector<Case> cases = {
        {"both ticked",
         {{"ab", "x", true}, {"abcde", "yy", true}},
         QStringLiteral("Caption\r\nab   \tx\r\nabcde\tyy\r\n")},
        {"widths count unticked rows",
         {{"a", "1", true}, {"abcdef", "long second", false}, {"abc", "2", true}},
         QStringLiteral("Caption\r\na     \t1\r\nabc   \t2\r\n")},
        {"trailing spaces go, inner ones and tabs stay",
         {{" a b ", "c  ", true}, {"abcdefg", "", true}, {"x\ty", "   ", true}},
         QStringLiteral("Caption\r\n a b   \tc\r\nabcdefg\t\r\nx\ty    \t\r\n")},
        {"nothing ticked", {{"ab", "x", false}}, QStringLiteral("Caption\r\n")},
        {"no rows", {}, QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QObject owner;
        EXPECT_EQ(ClipboardText(*TwoColumns(&owner, c.rows)), c.expected);
    }
}

// Fails a given number of attempts, by answer or by exception, then succeeds.
class FlakyClipboard : public Clipboard {
  public:
    bool TryClear() override { return Attempt(QStringLiteral("clear")); }
    bool TrySetText(const QString& text, int format) override {
        return Attempt(QStringLiteral("set %1 %2").arg(format).arg(text));
    }
    bool Attempt(const QString& what) {
        attempts << what;
        if (failures-- > 0) {
            if (throws) throw std::runtime_error("locked by another program");
            return false;
        }
        return true;
    }
    QStringList attempts;
    int failures = 0;
    bool throws = false;
};

TEST(ClipboardProcedures, RetryUpToAThousandTimesAndSwallowFailures) {
    struct Case {
        int failures;
        bool throws;
        qsizetype attempts;
        bool taken;
    };
    for (const Case& c :
         {Case{0, false, 1, true}, Case{5, false, 6, true}, Case{999, true, 1000, true},
          Case{5000, false, 1000, false}, Case{5000, true, 1000, false}}) {
        SCOPED_TRACE(c.failures);
        FlakyClipboard set;
        set.failures = c.failures;
        set.throws = c.throws;
        EXPECT_EQ(SetClipboardText(QStringLiteral("t"), 0, set), c.taken);
        EXPECT_EQ(set.attempts.size(), c.attempts);

        FlakyClipboard clear;
        clear.failures = c.failures;
        clear.throws = c.throws;
        ClearClipboard(clear);
        EXPECT_EQ(clear.attempts.size(), c.attempts);
    }
}

class CopyResults : public SaveResults {};

TEST_F(CopyResults, PutsTheTextOnTheClipboardAndTellsHowToPaste) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    ASSERT_NE(clipboard, nullptr);
    const QString message = QStringLiteral(
        "Results have been copied to the clipboard.\r\rClick a text area where you normally "
        "type and press Ctrl+V to paste the clipboard.");
    for (const bool empty : {true, false}) {
        SCOPED_TRACE(empty ? "empty list" : "two rows");
        clipboard->setText(QStringLiteral("left before"));
        form.results().ClearRows();
        if (!empty) AddRows({{QStringLiteral("One."), true}, {QStringLiteral("Two."), false}});
        form.results().SetHeaderTotal();
        fakes.prompts.calls.clear();
        form1::PushButton3_Click(form);

        EXPECT_EQ(clipboard->text(), empty ? QStringLiteral("left before")
                                           : QStringLiteral("Total Sentence Count: 2\r\nOne.\r\n"));
        ASSERT_EQ(fakes.prompts.calls.size(), 1u);
        EXPECT_EQ(fakes.prompts.calls[0].kind, Kind::Message);
        EXPECT_EQ(fakes.prompts.calls[0].title, QStringLiteral("Brintale"));
        EXPECT_EQ(fakes.prompts.calls[0].text, message);
        EXPECT_EQ(fakes.prompts.calls[0].icon, Prompts::Icon::None);
    }
}

}  // namespace
}  // namespace brintale
