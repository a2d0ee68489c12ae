#include "documents/intake.h"

#include <algorithm>

#include "core/failure.h"

namespace brintale::documents {

void Intake::Declare(quint64 bytes) const {
    if (options_.inputLimit && taken_ + bytes > *options_.inputLimit)
        throw Failure(
            QStringLiteral("its content of %1 bytes does not fit in this computer's memory")
                .arg(taken_ + bytes));
}

void Intake::Take(quint64 bytes) {
    taken_ += bytes;
    if (options_.inputLimit && taken_ > *options_.inputLimit)
        throw Failure(
            QStringLiteral(
                "its content of more than %1 bytes does not fit in this computer's memory")
                .arg(*options_.inputLimit));
    if (options_.progress) options_.progress(std::min(taken_, expected_), expected_);
}

}  // namespace brintale::documents
