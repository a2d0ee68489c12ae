#include "core/error_report.h"

#include <new>

#include "core/failure.h"

namespace brintale {

QString ProcedureTag(const QString& moduleAndProcedure) {
    return QStringLiteral("Brintale2021/08/31.") + moduleAndProcedure;
}

QString ErrorReportText(const QString& description, const QString& tag, int line) {
    return description + QStringLiteral("\r\nin ") + tag + QStringLiteral(" at line ") +
           QString::number(line) +
           QStringLiteral("\r\rPlease email screenshot of this message to ") + kSupportAddress;
}

QString DescribeFailure(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const Failure& f) {
        return f.description();
    } catch (const std::bad_alloc&) {
        return QStringLiteral("Out of memory");
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("Unknown failure");
    }
}

void ErrorTrap::report(int line, std::exception_ptr failure) {
    ++failures_;
    QString description;
    try {
        description = DescribeFailure(failure);
    } catch (...) {
        // Describing may itself run out of memory; the report still goes out.
    }
    reporter_.ShowErrorReport(description, tag_, line);
}

}  // namespace brintale
