#include "commands/text_export.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTimer>

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
            form.results().SetTickedAt(form.results().Count(), ticked);
        }
        form.results().SetHeaderTotal();
    }
    testing::FakeMainForm form;
    testing::FakeServices& fakes = form.fakes();
};

// Every row, ticked or not, in list order, as UTF-8 without a mark and CR LF after each;
// the name is used as typed; a failure leaves any earlier file as it was and no other file.
TEST_F(TextExport, SaveWritesEveryRowOrLeavesTheEarlierFile) {
    const Rows two = {{"One.", false}, {"Grüße – 日本 😀  ", true}};
    const QByteArray twoSaved = QStringLiteral("One.\r\nGrüße – 日本 😀  \r\n").toUtf8();
    // Name ("": Cancel), earlier contents (null: none), Yes, rows, whether a count (which ignores
    // the busy state) refills the list meanwhile, contents after (null: no file), report line.
    using Case = std::tuple<const char*, QString, QByteArray, bool, Rows, bool, QByteArray, int>;
    const Case cases[] = {
        {"cancel", "", {}, false, two, false, {}, 0},
        {"empty list", "empty.txt", {}, false, {}, false, "", 0},
        {"no extension added", "plain", {}, false, two, false, twoSaved, 0},
        {"replace: no", "old.txt", "earlier", false, two, false, "earlier", 0},
        {"replace: yes", "old.txt", "earlier", true, two, false, twoSaved, 0},
        {"cannot create", "gone/out.txt", {}, false, two, false, {}, 124},
        {"rows change meanwhile", "old.txt", "earlier", true, two, true, "earlier", 130},
    };
    for (const auto& [name, file, earlier, yes, rows, refill, after, line] : cases) {
        SCOPED_TRACE(name);
        QTemporaryDir dir;
        const QString path = file.isEmpty() ? QString() : dir.filePath(file);
        QFile old(path);
        ASSERT_TRUE(earlier.isNull() ||
                    (old.open(QIODevice::WriteOnly) && old.write(earlier) > 0 && old.flush()));
        Fill(rows);
        fakes.prompts.fileNames = {path};
        fakes.prompts.yesNoAnswers = {yes};
        QStringList log;  // every dialog and report, and whether the hourglass showed
        fakes.prompts.onCall = [&](const testing::FakePrompts::Call& call) {
            log << (form.IsBusy() ? "busy " : "idle ") + call.title + ": " + call.text;
        };
        if (refill) QTimer::singleShot(0, &form, [&] { Fill({{"Other.", false}}); });
        SaveResultsAsTextFile(form);
        QFile saved(path);
        EXPECT_EQ(saved.open(QIODevice::ReadOnly) ? saved.readAll() : QByteArray(), after);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                  after.isNull() ? QStringList() : QStringList{file});
        QStringList expected = {"idle Save: " + kTextFileFilter};
        if (!earlier.isNull())
            expected << "idle Brintale: Are you sure you wish to overwrite " + path + " ?";
        ASSERT_EQ(log.size(), expected.size() + (line ? 1 : 0));
        const QString at = "(?s)^busy .*in Brintale2021/08/31\\.Form1\\.PushButton5_Click at line ";
        EXPECT_TRUE(!line ||
                    log.takeLast().contains(QRegularExpression(at + QString::number(line))));
        EXPECT_EQ(log, expected);
        EXPECT_EQ(form.pointer(), MainForm::Pointer::Default);
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
    const QStringList expected = {copied, copied, copied + hint};
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
