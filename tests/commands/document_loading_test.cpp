// The window's reading of a document: refused by its size before it is inflated, refused
// when its text outgrows what the window may hold, and stopped by Cancel; each time the text
// box keeps its text.
#include "commands/document_loading.h"

#include <zip.h>

#include <QFile>
#include <QTemporaryDir>

#include "commands/command_fixture.h"
#include "commands/text_loading.h"
#include "widgets/text_box.h"

namespace brintale {
namespace {

using namespace Qt::StringLiterals;
using DocumentLoading = CommandTest;

const QByteArray kWordTypes =
    "<Types><Override PartName=\"/word/document.xml\" ContentType=\"application/"
    "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></Types>";

QByteArray WordBody(const QByteArray& paragraph, int times) {
    return "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
           "<w:body>" +
           ("<w:p><w:r><w:t>" + paragraph + "</w:t></w:r></w:p>").repeated(times) +
           "</w:body></w:document>";
}

void WriteZip(const QString& path, const std::vector<std::pair<const char*, QByteArray>>& entries) {
    int error = 0;
    zip_t* archive =
        zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr);
    for (const auto& [name, data] : entries) {
        zip_source_t* source = zip_source_buffer(archive, data.constData(), data.size(), 0);
        ASSERT_GE(zip_file_add(archive, name, source, ZIP_FL_OVERWRITE), 0);
    }
    ASSERT_EQ(zip_close(archive), 0);
}

// One page of small Helvetica, full of lines.
QByteArray Pdf(int lines) {
    QByteArray content = "BT /F1 3 Tf 20 780 Td 4 TL\n";
    for (int i = 0; i < lines; ++i)
        content += "(" + QByteArray("A line of the page. ").repeated(5) + ") '\n";
    content += "ET";
    const QList<QByteArray> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 4 0 R "
        ">> >> /Contents 5 0 R >>",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content +
            "\nendstream",
    };
    QByteArray pdf = "%PDF-1.4\n";
    QByteArray xref = "xref\n0 6\n0000000000 65535 f \n";
    for (qsizetype i = 0; i < objects.size(); ++i) {
        xref += QByteArray::number(pdf.size()).rightJustified(10, '0') + " 00000 n \n";
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const QByteArray start = QByteArray::number(pdf.size());
    return pdf + xref + "trailer\n<< /Size 6 /Root 1 0 R >>\nstartxref\n" + start + "\n%%EOF\n";
}

TEST_F(DocumentLoading, TooLargeIsRefusedAndTheTextStays) {
    QTemporaryDir dir;
    const auto path = [&](const char* name) { return dir.filePath(QString::fromLatin1(name)); };
    const QByteArray paragraph = "All work and no play makes a dull story.";
    // Inflates to about 2 MB from a few kilobytes: refused by what the container says.
    WriteZip(path("bomb.docx"), {{"[Content_Types].xml", kWordTypes},
                                 {"word/document.xml", WordBody(paragraph, 30000)}});
    const qsizetype bombBytes = WordBody(paragraph, 30000).size() + kWordTypes.size();
    WriteZip(path("small.docx"),
             {{"[Content_Types].xml", kWordTypes}, {"word/document.xml", WordBody(paragraph, 2)}});
    {
        QFile html(path("long.html"));
        ASSERT_TRUE(html.open(QIODevice::WriteOnly));
        html.write("<!DOCTYPE html><p>" + paragraph.repeated(500) + "</p>");
        QFile pdf(path("long.pdf"));
        ASSERT_TRUE(pdf.open(QIODevice::WriteOnly));
        pdf.write(Pdf(190));
    }
    const DocumentLimitForTests limit(16000);
    const QString memory = u"does not fit in this computer's memory."_s;
    const struct {
        const char* name;
        QString text;     // or, when refused, "before"
        QString message;  // the end of the warning, empty when none
    } cases[] = {
        {"small.docx", (paragraph + "\n").repeated(2), QString()},
        {"bomb.docx", u"before"_s, u"its content of %1 bytes "_s.arg(bombBytes) + memory},
        {"long.html", u"before"_s, u"its content of %1 bytes "_s.arg(20022) + memory},
        {"long.pdf", u"before"_s, u"its text "_s + memory},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        form.textBox()->setPlainText(u"before"_s);
        fakes.prompts.calls.clear();
        fakes.progress.tasks.clear();
        fakes.prompts.fileNames = {path(c.name)};
        LoadTextFromFile(form);
        EXPECT_EQ(form.textBox()->text(), c.text);
        const auto messages = fakes.prompts.of(testing::FakePrompts::Kind::Message);
        if (c.message.isEmpty()) {
            EXPECT_TRUE(messages.empty());
            continue;
        }
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text,
                  u"The document \""_s + path(c.name) + u"\" was not loaded: "_s + c.message);
        EXPECT_EQ(messages[0].icon, Prompts::Icon::Warning);
        // Said after the progress ended, never under it.
        ASSERT_EQ(fakes.progress.tasks.size(), 1u);
        EXPECT_TRUE(fakes.progress.tasks[0].finished);
        // Refused from the sizes said beforehand, not after reading: the reading never got on.
        if (c.message.contains(u"content")) {
            EXPECT_EQ(fakes.progress.tasks[0].done, 0);
        }
    }
}

TEST_F(DocumentLoading, ProgressGoesToTheEndAndCancelKeepsTheText) {
    QTemporaryDir dir;
    const QString html = dir.filePath(u"book.html"_s);
    {
        QFile file(html);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            "<!DOCTYPE html>" +
            ("<p>" + QByteArray("Words of a book. ").repeated(100) + "</p>\n").repeated(2000));
    }
    const QString sentence = u"Words of a book. "_s.repeated(100).chopped(1) + u'\n';
    for (const int cancelAt : {-1, 1}) {
        SCOPED_TRACE(cancelAt);
        form.textBox()->setPlainText(u"before"_s);
        fakes.progress.tasks.clear();
        fakes.progress.cancelAt = cancelAt;
        fakes.prompts.fileNames = {html};
        LoadTextFromFile(form);
        ASSERT_EQ(fakes.progress.tasks.size(), 1u);
        const auto& task = fakes.progress.tasks[0];
        EXPECT_TRUE(task.cancellable);
        EXPECT_TRUE(task.finished);
        EXPECT_EQ(task.label, u"Loading the document \"book.html\"\u2026"_s);
        if (cancelAt < 0) {
            EXPECT_EQ(form.textBox()->text(), sentence.repeated(2000));
            EXPECT_EQ(task.done, task.steps);
        } else {
            EXPECT_EQ(form.textBox()->text(), u"before"_s);
            EXPECT_LT(task.done, task.steps);
        }
        // Cancel is no fault: nothing is said.
        EXPECT_TRUE(fakes.prompts.of(testing::FakePrompts::Kind::Message).empty());
    }
}

}  // namespace
}  // namespace brintale
