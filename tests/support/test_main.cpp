#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <memory>

namespace {

// Every test starts on an empty settings store of its own.
class FreshSettingsStore : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override {
        dir_ = std::make_unique<QTemporaryDir>();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_->path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_->path());
    }
    void OnTestEnd(const testing::TestInfo&) override { dir_.reset(); }

    std::unique_ptr<QTemporaryDir> dir_;
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new FreshSettingsStore);
    return RUN_ALL_TESTS();
}
