#pragma once

#include <QString>
#include <stdexcept>

namespace brintale {

// A failing operation, carrying the platform's description for the error report.
class Failure : public std::runtime_error {
  public:
    explicit Failure(const QString& description)
        : std::runtime_error(description.toStdString()), description_(description) {}
    const QString& description() const noexcept { return description_; }

  private:
    QString description_;
};

}  // namespace brintale
