#include "platform/services.h"

#include <QStringList>

#include "core/error_report.h"
#include "core/product.h"

namespace brintale {

QString QtFileFilter(const QString& filter) {
    const QStringList parts = filter.split(QChar(u'|'));
    QStringList names;
    // Pairs of name and pattern; the name already shows its pattern.
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (!parts[i].isEmpty()) names << parts[i];
    }
    return names.join(QStringLiteral(";;"));
}

void MaybeOpenHomePage(RandomSource& random, Desktop& desktop) {
    if (HomePageDraw(random.Draw()) == kHomePageNumber) desktop.OpenUrl(QUrl(kHomePage));
}

void ShowErrorReportBox(Prompts& prompts, QWidget* parent, const QString& description,
                        const QString& tag, int line) {
    prompts.Message(parent, kErrorReportTitle, ErrorReportText(description, tag, line),
                    Prompts::Icon::Warning);
}

}  // namespace brintale
