#include "core/product.h"

#include <gtest/gtest.h>

namespace brintale {
namespace {

TEST(ApplicationTitle, CutsTheLastWordThenMoreUntilFortyCharactersAtMost) {
    // The product name; 41 characters after one cut; no space left to cut at.
    const std::pair<QString, QString> cases[] = {
        {"Brintale Software", "Brintale"},
        {"Sentence counting for long, winding texts end", "Sentence counting for long, winding"},
        {QString(45, u'x') + " y", QString(40, u'x')}};
    for (const auto& [name, title] : cases)
        EXPECT_EQ(CutApplicationTitle(name), title) << name.toStdString();
}

}  // namespace
}  // namespace brintale
