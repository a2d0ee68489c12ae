#include "results/text_export.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTimer>

#include "results/clipboard.h"
#include "results/results_model.h"
#include "shell/main_window.h"
#include "shell/settings_store.h"
#include "support/fakes.h"

namespace brintale {
namespace {

using Rows = std::vector<std::pair<QString, bool>>;  // text, ticked

class TextExport : public ::testing::Test {
  protected:
    void Fill(const Rows& rows) {
        form.results().ClearRows();
        for (const auto& [text, ticked] : rows) {
            form.results().AppendRow(text);
            form.results().SetCheckMark(form.results().RowCount(), ticked);
        }
        form.results().SetHeaderTotal();
    }
    testing::FakeServices fakes;
    SettingsStore settings;
    Form1 form{fakes.services, settings};
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
        form1::PushButton5_Click(form);
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
        EXPECT_EQ(form.pointer(), Form1::Pointer::Default);
    }
}

TEST(ClipboardText, PadsEachColumnToItsWidestCellAndDropsTrailingSpaces) {
    QStandardItemModel model(0, 2);
    model.setHorizontalHeaderLabels({QStringLiteral("Caption"), QStringLiteral("Second")});
    // Unticked rows count for the widths; inner spaces and tabs stay.
    const std::tuple<const char*, const char*, bool> rows[] = {
        {"ab", "x", true}, {"abcdefgh", "", false}, {" a b ", "c  ", true}, {"x\ty", "   ", true}};
    for (const auto& [first, second, ticked] : rows) {
        model.appendRow({new QStandardItem(first), new QStandardItem(second)});
        model.item(model.rowCount() - 1)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    }
    EXPECT_EQ(ClipboardText(model), "Caption\r\nab      \tx\r\n a b    \tc\r\nx\ty     \t\r\n");
}

// Fails a given number of attempts, by answer or by exception, then succeeds.
struct FlakyClipboard : Clipboard {
    FlakyClipboard(int failures, bool throws) : failures(failures), throws(throws) {}
    int failures, attempts = 0;
    bool throws;
    bool TryClear() override {
        ++attempts;
        if (failures-- > 0 && throws) throw std::runtime_error("locked by another program");
        return failures < 0;
    }
    bool TrySetText(const QString&, int) override { return TryClear(); }
};

TEST(ClipboardProcedures, RetryUpToAThousandTimesAndSwallowFailures) {
    for (const auto& [failures, throws, taken] :
         {std::tuple(999, true, true), {1000, false, false}, {5000, true, false}}) {
        FlakyClipboard set(failures, throws), clear = set;
        EXPECT_EQ(SetClipboardText(QStringLiteral("t"), 0, set), taken) << failures;
        ClearClipboard(clear);
        EXPECT_EQ(std::pair(set.attempts, clear.attempts), std::pair(1000, 1000));
    }
}

TEST_F(TextExport, CopyPutsTheTickedRowsOnTheClipboardAndTellsHowToPaste) {
    QGuiApplication::clipboard()->setText(QStringLiteral("left before"));
    form1::PushButton3_Click(form);  // an empty list leaves the clipboard alone
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "left before");
    Fill({{"One.", true}, {"Two  ", true}, {"Three.", false}});
    form1::PushButton3_Click(form);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "Total Sentence Count: 3\r\nOne.\r\nTwo\r\n");
    ASSERT_EQ(fakes.prompts.calls.size(), 2u);
    for (const auto& told : fakes.prompts.calls)  // the same message both times
        EXPECT_EQ(std::tuple(told.kind, told.title, told.icon, told.text),
                  std::tuple(testing::FakePrompts::Kind::Message, QStringLiteral("Brintale"),
                             Prompts::Icon::None,
                             "Results have been copied to the clipboard.\r\rClick a text area "
                             "where you normally type and press Ctrl+V to paste the clipboard."));
}

}  // namespace
}  // namespace brintale
