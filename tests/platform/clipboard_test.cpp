#include "platform/clipboard.h"

#include <gtest/gtest.h>

#include <QStandardItemModel>

#include "core/failure.h"
#include "platform/services.h"

namespace brintale {
namespace {

TEST(ClipboardText, PadsEachColumnToItsWidestCellAndDropsTrailingSpaces) {
    QStandardItemModel model(0, 2);
    model.setHorizontalHeaderLabels({QStringLiteral("Caption"), QStringLiteral("Second")});
    // Unticked rows count for the widths; inner spaces and tabs stay.
    const std::tuple<const char*, const char*, bool> rows[] = {
        {"ab", "x", true}, {"abcdefgh", "", false}, {" a b ", "c  ", true}, {"x\ty", "   ", true}};
    for (const auto& [first, second, ticked] : rows) {
        model.appendRow({new QStandardItem(first), new QStandardItem(second)});
        model.item(model.rowCount() - 1)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    }
    EXPECT_EQ(ClipboardText(model), "Caption\r\nab      \tx\r\n a b    \tc\r\nx\ty     \t\r\n");
}

// Fails a given number of attempts, by answer or by exception, then succeeds.
struct FlakyClipboard : Clipboard {
    FlakyClipboard(int failures, bool throws) : failures(failures), throws(throws) {}
    int failures, attempts = 0;
    bool throws;
    bool TryClear() override {
        ++attempts;
        if (failures-- > 0 && throws) throw std::runtime_error("locked by another program");
        return failures < 0;
    }
    bool TrySetText(const QString&, int) override { return TryClear(); }
};

TEST(ClipboardProcedures, RetryUpToAThousandTimesAndSwallowFailures) {
    for (const auto& [failures, throws, taken] :
         {std::tuple(999, true, true), {1000, false, false}, {5000, true, false}}) {
        FlakyClipboard set(failures, throws), clear = set;
        EXPECT_EQ(SetClipboardText(set, QStringLiteral("t"), 0), taken) << failures;
        ClearClipboard(clear);
        EXPECT_EQ(std::pair(set.attempts, clear.attempts), std::pair(1000, 1000));
    }
}

}  // namespace
}  // namespace brintale
