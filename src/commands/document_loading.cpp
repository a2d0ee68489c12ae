#include "commands/document_loading.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <new>

#include "commands/main_form.h"
#include "core/failure.h"
#include "core/memory_limits.h"
#include "core/product.h"
#include "documents/document_reader.h"
#include "platform/list_reading.h"
#include "platform/services.h"

namespace brintale {

namespace {

std::optional<quint64> limitForTests;

// Thrown through the reader when the user cancels.
struct Cancelled {};

constexpr int kProgressSteps = 1000;

const QString kTooLarge = QStringLiteral("its text does not fit in this computer's memory");

}  // namespace

DocumentLimitForTests::DocumentLimitForTests(quint64 limit) : previous_(limitForTests) {
    limitForTests = limit;
}

DocumentLimitForTests::~DocumentLimitForTests() { limitForTests = previous_; }

std::optional<QString> ReadDocumentForTextBox(MainForm& form, const QString& fileName,
                                              documents::Format format) {
    const quint64 largest = limitForTests.value_or(LargestLoadableFile(CurrentMemoryLimits()));
    QString text;
    QString why;
    {
        EventPump pump;
        ProgressScope progress(
            form.services().progress, form.widget(),
            QStringLiteral("Loading the document \"%1\"\u2026").arg(QFileInfo(fileName).fileName()),
            kProgressSteps, true);
        documents::ReadOptions options;
        options.inputLimit = largest;
        options.progress = [&](quint64 done, quint64 total) {
            progress(total == 0 ? 0
                                : static_cast<int>(static_cast<double>(done) /
                                                   static_cast<double>(total) * kProgressSteps));
            pump();
            if (progress.cancelled()) throw Cancelled();
        };
        try {
            documents::ReadDocument(
                QFile::encodeName(fileName), format,
                [&](QStringView piece) {
                    if (static_cast<quint64>(text.size() + piece.size()) > largest)
                        throw Failure(kTooLarge);
                    text += piece;
                },
                options);
        } catch (const Cancelled&) {
            return std::nullopt;
        } catch (const Failure& failure) {
            why = failure.description();
        } catch (const std::bad_alloc&) {
            why = kTooLarge;
        }
    }
    // The progress is gone before anything is said.
    if (why.isEmpty()) return text;
    text = QString();
    form.services().prompts.Message(form.widget(), ApplicationTitle(),
                                    QStringLiteral("The document \"%1\" was not loaded: %2.")
                                        .arg(QDir::toNativeSeparators(fileName), why),
                                    Prompts::Icon::Warning);
    return std::nullopt;
}

}  // namespace brintale
