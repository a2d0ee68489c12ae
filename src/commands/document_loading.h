#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

#include "documents/document_format.h"

namespace brintale {

class MainForm;

// A document's text for the text box, or nothing when it is not to be loaded: a message has
// said why, or the user cancelled. The text must fit in memory as a text file's bytes must
// (LargestLoadableFile), and so must what the document inflates to, which is refused by the
// size its container declares before anything is inflated. A long reading shows its
// progress, whose Cancel stops it.
std::optional<QString> ReadDocumentForTextBox(MainForm& form, const QString& fileName,
                                              documents::Format format);

// While it lives, the window takes that many bytes and characters of a document at most,
// instead of what the memory leaves: so that tests need no gigabytes.
class DocumentLimitForTests {
  public:
    explicit DocumentLimitForTests(quint64 limit);
    ~DocumentLimitForTests();
    DocumentLimitForTests(const DocumentLimitForTests&) = delete;
    DocumentLimitForTests& operator=(const DocumentLimitForTests&) = delete;

  private:
    std::optional<quint64> previous_;
};

}  // namespace brintale
