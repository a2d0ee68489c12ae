#include "commands/text_export.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <functional>
#include <optional>

#include "commands/clipboard_copy.h"
#include "core/results_model.h"
#include "core/settings_store.h"
#include "platform/clipboard.h"
#include "testing/fake_main_form.h"

namespace brintale {
namespace {

using Rows = std::vector<std::pair<QString, bool>>;  // text, ticked

class TextExport : public ::testing::Test {
  protected:
    void Fill(const Rows& rows) {
        form.results().Clear();
        for (const auto& [text, ticked] : rows) {
            form.results().Append(text);
            form.results().SetTickedAt(form.results().rowCount() - 1, ticked);
        }
        form.results().SetHeaderTotal();
    }
    testing::FakeMainForm form;
    testing::FakeServices& fakes = form.fakes();
};

// Files may grow to this many bytes while it lives, as on a nearly full disk; a write beyond
// fails with EFBIG instead of killing the process.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        signal_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        set_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, signal_);
    }
    bool set() const { return set_; }

  private:
    rlimit saved_{};
    void (*signal_)(int) = SIG_DFL;
    bool set_ = false;
};

// Every row, ticked or not, in list order, as UTF-8 without a mark and CR LF after each;
// the name is used as typed; a failure, whatever the size of the output, leaves any earlier
// file as it was, no other file and one report.
TEST_F(TextExport, SaveWritesEveryRowOrLeavesTheEarlierFile) {
    const Rows two = {{"One.", false}, {"Grüße – 日本 😀  ", true}};
    const QByteArray twoSaved = QStringLiteral("One.\r\nGrüße – 日本 😀  \r\n").toUtf8();
    const Rows large = {{QString(20000, u'x'), false}, {"Two.", false}};
    const QByteArray results = QByteArray("Earlier\r\n").repeated(12);  // 108 bytes
    struct Case {
        const char* name;
        QString file;        // "": Cancel
        QByteArray earlier;  // null: no file before
        bool yes;
        Rows rows;
        bool refill;       // a count (which ignores the busy state) refills the list meanwhile
        rlim_t sizeLimit;  // 0: none
        QByteArray after;  // null: no file
        int line;          // of the one report; 0: none
    };
    const Case cases[] = {
        {"cancel", "", {}, false, two, false, 0, {}, 0},
        {"empty list", "empty.txt", {}, false, {}, false, 0, "", 0},
        {"no extension added", "plain", {}, false, two, false, 0, twoSaved, 0},
        {"replace: no", "old.txt", "earlier", false, two, false, 0, "earlier", 0},
        {"replace: yes", "old.txt", "earlier", true, two, false, 0, twoSaved, 0},
        {"cannot create", "gone/out.txt", {}, false, two, false, 0, {}, 124},
        {"rows change meanwhile", "old.txt", "earlier", true, two, true, 0, "earlier", 130},
        {"disk full, small output", "results.txt", results, true, two, false, 16, results, 130},
        {"disk full, large output", "results.txt", results, true, large, false, 4096, results, 130},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = c.file.isEmpty() ? QString() : dir.filePath(c.file);
        QFile old(path);
        ASSERT_TRUE(c.earlier.isNull() ||
                    (old.open(QIODevice::WriteOnly) && old.write(c.earlier) > 0 && old.flush()));
        Fill(c.rows);
        fakes.prompts.fileNames = {path};
        fakes.prompts.yesNoAnswers = {c.yes};
        QStringList log;  // every dialog and report, and whether the hourglass showed
        fakes.prompts.onCall = [&](const testing::FakePrompts::Call& call) {
            log << (form.IsBusy() ? "busy " : "idle ") + call.title + ": " + call.text;
        };
        // As many rows as before, so that only the watch on the list can tell.
        if (c.refill)
            QTimer::singleShot(0, &form, [&] { Fill({{"Other.", false}, {"Rows.", true}}); });
        if (c.sizeLimit > 0) {
            const FileSizeLimit limit(c.sizeLimit);
            ASSERT_TRUE(limit.set());
            SaveResultsAsTextFile(form);
        } else {
            SaveResultsAsTextFile(form);
        }
        QFile saved(path);
        EXPECT_EQ(saved.open(QIODevice::ReadOnly) ? saved.readAll() : QByteArray(), c.after);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                  c.after.isNull() ? QStringList() : QStringList{c.file});
        QStringList expected = {"idle Save: " + kTextFileFilter};
        if (!c.earlier.isNull())
            expected << "idle Brintale: Are you sure you wish to overwrite " + path + " ?";
        ASSERT_EQ(log.size(), expected.size() + (c.line ? 1 : 0));
        const QString at = "(?s)^busy .*in Brintale2021/08/31\\.Form1\\.PushButton5_Click at line ";
        EXPECT_TRUE(!c.line ||
                    log.takeLast().contains(QRegularExpression(at + QString::number(c.line))));
        EXPECT_EQ(log, expected);
        EXPECT_EQ(form.pointer(), MainForm::Pointer::Default);
    }
}

// The progress tells the rows saved and offers Cancel, which drops the new file: any earlier
// file stays as it was, no other file is left, nothing is reported.
TEST_F(TextExport, CancelLeavesTheEarlierFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("results.txt");
    for (const bool earlier : {true, false}) {
        SCOPED_TRACE(earlier ? "over an earlier file" : "new file");
        QFile old(path);
        ASSERT_TRUE(!earlier || (old.open(QIODevice::WriteOnly) && old.write("Earlier\r\n") == 9));
        old.close();
        Fill({{"One.", false}, {"Two.", true}, {"Three.", false}});
        fakes.progress.tasks.clear();
        fakes.progress.cancelAt = 2;
        fakes.prompts.fileNames = {path};
        fakes.prompts.yesNoAnswers = {true};
        SaveResultsAsTextFile(form);
        ASSERT_EQ(fakes.progress.tasks.size(), 1u);
        const auto& task = fakes.progress.tasks[0];
        EXPECT_EQ(std::tuple(task.label, task.steps, task.cancellable, task.finished),
                  std::tuple(QStringLiteral("Saving 3 rows as a text file\u2026"), 3, true, true));
        QFile saved(path);
        EXPECT_EQ(saved.open(QIODevice::ReadOnly) ? saved.readAll() : QByteArray(),
                  earlier ? QByteArray("Earlier\r\n") : QByteArray());
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                  earlier ? QStringList{"results.txt"} : QStringList());
        EXPECT_TRUE(form.Reports().isEmpty());
        EXPECT_EQ(form.pointer(), MainForm::Pointer::Default);
        QFile::remove(path);
    }
}

// A device or a pipe takes the rows where it stands: it is never replaced by a file, a pipe
// nobody reads fails at once instead of holding the window, and /dev/full's error is told.
TEST_F(TextExport, SaveWritesIntoADeviceOrAPipeInsteadOfReplacingIt) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("pipe"), full = dir.filePath("full");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // The system's full device, made here so that nothing outside the test is at stake.
    const bool device =
        ::mknod(QFile::encodeName(full).constData(), S_IFCHR | 0600, makedev(1, 7)) == 0;
    const auto kind = [](const QString& path) {
        struct stat info {};
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & S_IFMT : 0u;
    };
    Fill({{"One.", false}, {"Two.", true}});
    struct Case {
        const char* name;
        QString path;
        bool reader;
        QString report;  // the start of the one report, "" for none
    };
    const Case cases[] = {
        {"pipe without a reader", fifo, false, qt_error_string(ENXIO) + "\r\nin "},
        {"pipe with a reader", fifo, true, ""},
        {"full device", full, false, qt_error_string(ENOSPC) + "\r\nin "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.path == full && !device) continue;  // no right to make a device here
        const mode_t before = kind(c.path);
        const int reader =
            c.reader ? ::open(QFile::encodeName(c.path).constData(), O_RDONLY | O_NONBLOCK) : -1;
        fakes.prompts.calls.clear();
        fakes.prompts.fileNames = {c.path};
        fakes.prompts.yesNoAnswers = {true};
        SaveResultsAsTextFile(form);
        const QStringList reports = form.Reports();
        EXPECT_EQ(reports.size(), c.report.isEmpty() ? 0 : 1);
        EXPECT_TRUE(c.report.isEmpty() || (!reports.isEmpty() && reports[0].startsWith(c.report)))
            << reports.join(u'|').toStdString();
        if (reader >= 0) {
            char got[64] = {};
            EXPECT_EQ(std::string(got, static_cast<std::size_t>(
                                           std::max<ssize_t>(0, ::read(reader, got, 63)))),
                      "One.\r\nTwo.\r\n");
            ::close(reader);
        }
        EXPECT_EQ(kind(c.path), before);
        EXPECT_EQ(
            QDir(dir.path())
                .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)
                .size(),
            device ? 2 : 1);
    }
}

// Runs body as an unprivileged user, in a child process when this one is root (root may write
// any folder); the answer is body's, or nullopt when no user could be taken on.
std::optional<bool> AsUnprivilegedUser(const std::function<bool()>& body) {
    if (::geteuid() != 0) return body();
    const pid_t child = ::fork();
    if (child == 0) {
        constexpr id_t kNobody = 65534;
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(2);
        ::_exit(body() ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) == 2)
        return std::nullopt;
    return WEXITSTATUS(status) == 0;
}

// Where the folder allows it a save puts a new file in place of the old one, so that a failure
// can leave the old one as it was; where only the file may be written, it is rewritten in place.
TEST_F(TextExport, SaveReplacesTheFileOrRewritesItWhereOnlyTheFileIsWritable) {
    QTemporaryDir dir;
    const QString folder = dir.filePath("folder"), path = folder + "/t.txt";
    ASSERT_TRUE(QDir().mkdir(folder));
    const auto inode = [&] {
        struct stat info {};
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
    };
    Fill({{"One.", false}});
    for (const bool lockedFolder : {false, true}) {
        SCOPED_TRACE(lockedFolder ? "locked folder" : "open folder");
        QFile earlier(path);
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier") == 7);
        earlier.close();
        const auto before = inode();
        const auto all = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                         QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther |
                         QFileDevice::ExeOther;
        ASSERT_TRUE(QFile::setPermissions(dir.path(), all) &&
                    QFile::setPermissions(folder, lockedFolder ? all & ~QFileDevice::WriteOwner
                                                               : all | QFileDevice::WriteOther) &&
                    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                    QFileDevice::ReadOther |
                                                    QFileDevice::WriteOther));
        const std::optional<bool> quiet = AsUnprivilegedUser([&] {
            fakes.prompts.calls.clear();
            fakes.prompts.fileNames = {path};
            fakes.prompts.yesNoAnswers = {true};
            fakes.progress.tasks.clear();
            SaveResultsAsTextFile(form);
            // Only a new file beside the old one can be dropped halfway.
            return form.Reports().isEmpty() && fakes.progress.tasks.size() == 1 &&
                   fakes.progress.tasks[0].cancellable == !lockedFolder;
        });
        QFile::setPermissions(folder, all | QFileDevice::WriteOwner);
        if (!quiet) GTEST_SKIP() << "no unprivileged user to save as";
        EXPECT_TRUE(*quiet);
        QFile saved(path);
        EXPECT_EQ(saved.open(QIODevice::ReadOnly) ? saved.readAll() : QByteArray(), "One.\r\n");
        EXPECT_EQ(inode() == before, lockedFolder);
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"t.txt"});
    }
}

TEST_F(TextExport, CopyPutsTheTickedRowsOnTheClipboardAndTellsHowToPaste) {
    QGuiApplication::clipboard()->setText(QStringLiteral("left before"));
    CopyResultsToClipboard(form);  // an empty list leaves the clipboard alone
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "left before");
    Fill({{"One.", true}, {"Two  ", true}, {"Three.", false}});
    CopyResultsToClipboard(form);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "Total Sentence Count: 3\r\nOne.\r\nTwo\r\n");
    // Rows, none ticked: the total alone, and a hint on how to pick rows.
    Fill({{"One.", false}});
    CopyResultsToClipboard(form);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "Total Sentence Count: 1\r\n");
    const QString copied =
        "Results have been copied to the clipboard.\r\rClick a text area where you normally "
        "type and press Ctrl+V to paste the clipboard.";
    const QString hint =
        "\r\rNo row was ticked, so only the total was copied. Tick rows, or right-click the "
        "list and choose Check All.";
    const QString empty =
        "\r\rThe list is empty, so nothing was copied and the clipboard is as it was. Press "
        "Start Counting to fill the list.";
    const QStringList expected = {copied + empty, copied, copied + hint};
    ASSERT_EQ(fakes.prompts.calls.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const auto& told = fakes.prompts.calls[static_cast<std::size_t>(i)];
        EXPECT_EQ(std::tuple(told.kind, told.title, told.icon, told.text),
                  std::tuple(testing::FakePrompts::Kind::Message, QStringLiteral("Brintale"),
                             Prompts::Icon::None, expected[i]));
    }
}

}  // namespace
}  // namespace brintale
