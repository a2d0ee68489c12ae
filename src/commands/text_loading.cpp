#include "commands/text_loading.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTextCursor>
#include <QTextDocument>
#include <new>
#include <optional>

#include "commands/document_loading.h"
#include "commands/file_dialogs.h"
#include "commands/main_form.h"
#include "core/error_report.h"
#include "core/failure.h"
#include "core/memory_limits.h"
#include "core/procedure_tags.h"
#include "core/product.h"
#include "core/sample_text.h"
#include "core/text_file.h"
#include "documents/document_reader.h"
#include "platform/services.h"
#include "widgets/text_box.h"

namespace brintale {

namespace {

const QString kOpenTitle = QStringLiteral("Select single file");
const QString kOpenFilter = QStringLiteral(
    "Text Files (*.txt)|*.txt|"
    "Documents (*.docx *.odt *.html *.htm *.md *.epub *.pdf)|"
    "*.docx;*.odt;*.html;*.htm;*.md;*.epub;*.pdf|"
    "All Files (*)|*|");

// A document by its content gives its text; any other file is read as text.
std::optional<QString> ReadLoadedText(MainForm& form, const QString& fileName) {
    const auto format = documents::DetectFormat(QFile::encodeName(fileName));
    if (format == documents::Format::Text) return ReadTextFile(fileName);
    return ReadDocumentForTextBox(form, fileName, format);
}

// Statements 110 to 114 of the load, shared by the dialog and a drop.
void LoadFile(MainForm& form, ErrorTrap& trap, const QString& fileName) {
    trap(110, [&] { form.SetPointer(MainForm::Pointer::Hourglass); });
    // Read first: a file that cannot be read leaves the text as it was.
    trap(112, [&] {
        // Moved in: a second hold on the text would copy it at its first change.
        if (auto text = ReadLoadedText(form, fileName)) form.textBox()->Load(std::move(*text));
    });
    trap(114, [&] { form.SetPointer(MainForm::Pointer::Default); });
}

QString SamplePiece(const QStringList& pieces, int index) {
    if (index >= pieces.size()) throw Failure(QStringLiteral("The sample text is missing"));
    return pieces.at(index);
}

}  // namespace

void LoadTextFromFile(MainForm& form) {
    ErrorTrap trap(form, tags::kLoadTextFromFile);
    QString fileName;
    QString title;
    QString filter;
    trap(100, [&] { fileName.clear(); });
    trap(102, [&] { title = kOpenTitle; });
    trap(104, [&] { filter = kOpenFilter; });
    trap(106, [&] { fileName = AskFileToOpen(form, title, filter); });
    if (trap.test(108, [&] { return fileName.isEmpty(); })) return;
    LoadFile(form, trap, fileName);
}

void LoadDroppedFiles(MainForm& form, const QStringList& paths) {
    if (paths.isEmpty() || paths.first().isEmpty()) return;
    // The same command as the button, so the same report names it.
    ErrorTrap trap(form, tags::kLoadTextFromFile);
    LoadFile(form, trap, paths.first());
}

void ClearText(MainForm& form) {
    ErrorTrap trap(form, tags::kClearText);
    trap(100, [&] {
        // Through a cursor, so that an accidental clear can be undone, and after the whole of
        // a load, which undo then gives back.
        form.textBox()->FinishLoad();
        QTextCursor cursor(form.textBox()->document());
        cursor.select(QTextCursor::Document);
        cursor.removeSelectedText();
    });
}

void LoadSampleText(MainForm& form) {
    ErrorTrap trap(form, tags::kLoadSampleText);
    QStringList pieces;
    QString first;
    QString second;
    QString third;
    // The pieces come from one list; taking it once keeps the three statements cheap.
    const auto piece = [&](int index) {
        if (pieces.isEmpty()) pieces = SampleTextPieces();
        return SamplePiece(pieces, index);
    };
    trap(100, [&] { first = piece(0); });
    trap(102, [&] { second = piece(1); });
    trap(104, [&] { third = piece(2); });
    trap(106, [&] { form.textBox()->Load(first + second + third); });
}

}  // namespace brintale
