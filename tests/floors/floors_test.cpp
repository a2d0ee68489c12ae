// The folders of src/ are floors: a file includes headers of its own floor or of a lower one,
// and the two programs know nothing of each other. Tests keep to their own floor as well.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <map>
#include <optional>

namespace {

// Lowest first. The command-line counter stands on the core and the readers of documents.
const std::map<QString, int> kFloors = {
    {QStringLiteral("core"), 0},     {QStringLiteral("documents"), 1},
    {QStringLiteral("platform"), 1}, {QStringLiteral("widgets"), 2},
    {QStringLiteral("commands"), 3}, {QStringLiteral("windows"), 4},
    {QStringLiteral("app"), 5},      {QStringLiteral("cli"), 5},
};

// Why a file in the folder (relative to the source root, "src/commands/x.cpp" gives
// "src/commands") may not include the header; nothing when it may. Headers of the
// system and of libraries (no folder of ours) are always allowed.
std::optional<QString> Violation(const QString& folder, const QString& header) {
    const QString target = header.section(u'/', 0, 0);
    const bool test = folder.startsWith(u"tests/");
    QString floor = folder.section(u'/', 1, 1);
    if (test && target == u"testing") return std::nullopt;
    if (test && floor == u"testing") floor = QStringLiteral("commands");  // fakes of the forms
    if (!kFloors.contains(target)) return std::nullopt;
    if (!kFloors.contains(floor)) return QStringLiteral("%1 is no floor").arg(folder);
    if (target == floor) return std::nullopt;
    if (floor == u"cli" && target != u"core" && target != u"documents")
        return QStringLiteral("the counter links core and documents only");
    if (kFloors.at(target) >= kFloors.at(floor))
        return QStringLiteral("%1 is not below %2").arg(target, floor);
    return std::nullopt;
}

TEST(Floors, IncludesPointOnlyDownward) {
    const struct {
        const char* folder;
        const char* header;
        bool allowed;
    } cases[] = {
        {"src/core", "core/failure.h", true},
        {"src/core", "platform/services.h", false},
        {"src/core/splitter", "core/product.h", true},
        {"src/platform", "core/failure.h", true},
        {"src/platform", "widgets/look.h", false},
        {"src/widgets", "platform/services.h", true},
        {"src/widgets", "commands/main_form.h", false},
        {"src/commands", "widgets/text_box.h", true},
        {"src/commands", "windows/main_window.h", false},
        {"src/windows", "commands/counting.h", true},
        {"src/app", "windows/main_window.h", true},
        {"src/app", "cli/anything.h", false},
        {"src/cli", "core/splitter/splitter.h", true},
        {"src/cli", "platform/services.h", false},
        {"src/cli", "documents/document_format.h", true},
        {"src/commands", "documents/document_reader.h", true},
        {"src/documents", "core/failure.h", true},
        {"src/documents", "platform/services.h", false},
        {"src/platform", "documents/document_reader.h", false},
        {"src/core", "documents/text_out.h", false},
        {"src/cli", "app/anything.h", false},
        {"src/commands", "QWidget", true},
        {"src/core", "gtest/gtest.h", true},
        {"tests/core", "testing/fakes.h", true},
        {"tests/core", "widgets/look.h", false},
        {"tests/commands", "windows/main_window.h", false},
        {"tests/windows", "commands/counting.h", true},
        {"tests/testing", "commands/main_form.h", true},
        {"tests/testing", "windows/main_window.h", false},
    };
    for (const auto& c : cases) {
        const auto why = Violation(QString::fromLatin1(c.folder), QString::fromLatin1(c.header));
        EXPECT_EQ(!why.has_value(), c.allowed) << c.folder << " includes " << c.header;
    }
}

// Every include of every source and test file, against the rule above.
TEST(Floors, TheTreeKeepsToThem) {
    const QString root = qEnvironmentVariable("BRINTALE_SOURCE_DIR");
    ASSERT_FALSE(root.isEmpty());
    const QRegularExpression include(QStringLiteral(R"(^\s*#\s*include\s*[<"]([^>"]+)[>"])"),
                                     QRegularExpression::MultilineOption);
    int files = 0;
    for (const QString& top : {QStringLiteral("src"), QStringLiteral("tests")}) {
        QDirIterator it(root + u'/' + top, {QStringLiteral("*.h"), QStringLiteral("*.cpp")},
                        QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString relative = path.mid(root.size() + 1);
            const QString folder = relative.section(u'/', 0, -2);
            if (folder.count(u'/') == 0) continue;  // nothing lies loose in src/ or tests/
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << relative.toStdString();
            const QString text = QString::fromUtf8(file.readAll());
            ++files;
            for (auto match = include.globalMatch(text); match.hasNext();) {
                const QString header = match.next().captured(1);
                const auto why = Violation(folder, header);
                EXPECT_FALSE(why.has_value())
                    << relative.toStdString() << " includes " << header.toStdString() << ": "
                    << why.value_or(QString()).toStdString();
            }
        }
    }
    EXPECT_GT(files, 50);
}

}  // namespace
