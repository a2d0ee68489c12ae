#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

#include "documents/document_format.h"
#include "documents/intake.h"
#include "documents/text_out.h"

struct zip;
struct zip_file;

namespace brintale::documents {

// A ZIP container, read in place; nothing is ever written to it. Throws Failure naming the
// cause when it is no ZIP, or cut short, or corrupt. With an intake, what its entries
// inflate to is counted there (the intake must outlive it).
class ZipArchive {
  public:
    static ZipArchive OpenFile(const QByteArray& nativePath, Intake* intake = nullptr);
    // The bytes must outlive it.
    static ZipArchive OpenBytes(QByteArrayView bytes, Intake* intake = nullptr);
    ~ZipArchive();
    ZipArchive(ZipArchive&& other) noexcept;
    ZipArchive& operator=(ZipArchive&&) = delete;

    bool Contains(const QString& name) const;
    // An entry's bytes, inflated a block at a time. Throws Failure when missing, encrypted
    // ("protected by a password") or corrupt.
    std::unique_ptr<ByteStream> Open(const QString& name) const;
    // A small entry whole; refuses one larger than limit bytes.
    QByteArray ReadSmall(const QString& name, qsizetype limit = 4 * 1024 * 1024) const;

  private:
    ZipArchive(zip* archive, Intake* intake);
    zip* archive_ = nullptr;
    Intake* intake_ = nullptr;
};

}  // namespace brintale::documents
