// A file loaded into the window is counted as brintale-count counts the same bytes.
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include "core/results_model.h"
#include "widgets/text_box.h"
#include "windows/window_fixture.h"

namespace brintale {
namespace {

using namespace Qt::StringLiterals;

// The sentences brintale-count prints for the file, with the window's default options.
QStringList CountCommandSentences(const QString& path) {
    QTemporaryDir config;
    QProcess process;
    process.setEnvironment(QProcess::systemEnvironment() << "XDG_CONFIG_HOME=" + config.path());
    process.start(QStringLiteral(BRINTALE_COUNT_PATH),
                  {"--separators", ".!?", "--enter", "--tab", "--no-abbreviations", path});
    if (!process.waitForFinished(60000) || process.exitCode() != 0) return {u"<failed>"_s};
    // A byte-order mark at the start is the first sentence's, as the window keeps it.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    QStringList lines = QString(utf8.decode(process.readAllStandardOutput())).split(u'\n');
    lines.removeLast();  // after the last line feed
    return lines;
}

// A carriage return without a line feed ends no sentence (the words either side join), and
// U+2028 and U+2029 are characters of the sentence, however the text box shows them.
TEST_F(WindowTest, ALoadedFileCountsAsTheCountCommandCountsIt) {
    const QString mixed = u"a\rb\r\nc\u2028d\u2029e.\n\rf.\r\r\ng\uFDD0\uFFF0h.\n"_s;
    const std::pair<const char*, QByteArray> files[] = {
        {"old Mac lines", "One\rtwo.\rThree.\r"},
        {"Windows lines", "One\r\ntwo.\r\nThree.\r\n"},
        {"line separators", u"One\u2028two.\u2028Three.\u2028"_s.toUtf8()},
        {"paragraph separators", u"One\u2029two.\u2029Three.\u2029"_s.toUtf8()},
        {"mixed", mixed.toUtf8()},
        {"mixed, long enough for the box to group its lines", mixed.repeated(300).toUtf8()},
        {"UTF-16", QByteArray("\xFF\xFE", 2) +
                       QByteArray(reinterpret_cast<const char*>(mixed.utf16()), mixed.size() * 2)},
    };
    MainWindow& f = Load();
    QTemporaryDir dir;
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        const QString path = dir.filePath(u"text.txt"_s);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        fakes.prompts.fileNames = {path};
        f.button(MainButton::LoadTextFromFile)->click();
        f.button(MainButton::StartCounting)->click();
        QStringList rows;
        for (int r = 0; r < f.results().rowCount(); ++r) rows << f.results().TextAt(r);
        EXPECT_EQ(rows, CountCommandSentences(path));
        EXPECT_FALSE(rows.isEmpty());
    }
    EXPECT_TRUE(Reports().isEmpty());
}

// A line long enough for the box to show it in pieces comes back whole from every way out of
// the box: undoing Clear List or a deletion, and a copy by keys.
TEST_F(WindowTest, ALongLineSurvivesUndoAndCopyWhole) {
    const QString text = u"Start. "_s + QString(100000, u'x') + u" end. Tail sentence here."_s;
    QTemporaryDir dir;
    const QString path = dir.filePath(u"long.txt"_s);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) > 0);
    file.close();
    MainWindow& f = Load();
    TextBox* box = f.textBox();
    const auto count = [&] {
        f.button(MainButton::StartCounting)->click();
        return f.results().rowCount();
    };
    fakes.prompts.fileNames = {path};
    f.button(MainButton::LoadTextFromFile)->click();
    ASSERT_EQ(count(), 3);

    const struct {
        const char* name;
        std::function<void()> edit;
    } edits[] = {
        {"Clear List", [&] { f.button(MainButton::ClearText)->click(); }},
        {"Ctrl+A, Delete",
         [&] {
             QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
             QTest::keyClick(box, Qt::Key_Delete);
         }},
    };
    for (const auto& e : edits) {
        SCOPED_TRACE(e.name);
        e.edit();
        EXPECT_TRUE(box->text().isEmpty());
        QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_TRUE(box->text() == text) << box->text().count(u'\n') << " line feeds";
        EXPECT_EQ(count(), 3);
    }

    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
    const QString copied = QApplication::clipboard()->text();
    EXPECT_TRUE(copied == text) << copied.count(u'\n') << " line feeds";
    EXPECT_TRUE(Reports().isEmpty());
}

}  // namespace
}  // namespace brintale
