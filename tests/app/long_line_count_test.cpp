// A text of one long line, loaded into the window, counts as brintale-count counts the file.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "commands/counting.h"
#include "commands/text_loading.h"
#include "core/results_model.h"
#include "core/settings_store.h"
#include "testing/fake_main_form.h"
#include "widgets/text_box.h"

namespace brintale {
namespace {

TEST(LongLineCount, TheWindowCountsAsTheCounterDoes) {
    // About 300 KB without a line break: sentences, abbreviations, tabs, long runs of words.
    QByteArray bytes;
    for (int i = 0; bytes.size() < 300000; ++i) {
        bytes += "Sentence " + QByteArray::number(i) + " goes on, etc. and on";
        bytes += i % 7 == 0 ? "\t" : i % 5 == 0 ? "! " : ". ";
        if (i % 50 == 0) bytes += QByteArray(6000, 'z') + " caf\xC3\xA9? ";
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.txt"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();

    testing::FakeMainForm form;
    form.settings().Write(kKeyAbbreviations, JoinAbbreviations({QStringLiteral("etc.")}));
    form.fakes().prompts.fileNames = {path};
    LoadTextFromFile(form);
    EXPECT_GT(form.textBox()->document()->blockCount(), 50);  // shown in pieces
    StartCounting(form);
    ASSERT_TRUE(form.Reports().isEmpty());
    QStringList rows;
    for (int r = 0; r < form.results().rowCount(); ++r) rows << form.results().TextAt(r);

    QProcess count;
    count.start(QStringLiteral(BRINTALE_COUNT_PATH),
                {QStringLiteral("--abbreviation"), QStringLiteral("etc."), path});
    ASSERT_TRUE(count.waitForFinished(60000));
    ASSERT_EQ(count.exitCode(), 0);
    QStringList expected = QString::fromUtf8(count.readAllStandardOutput()).split(u'\n');
    ASSERT_EQ(expected.takeLast(), QString());  // each sentence ends its line
    EXPECT_GT(rows.size(), 1000);
    EXPECT_EQ(rows, expected);
}

}  // namespace
}  // namespace brintale
