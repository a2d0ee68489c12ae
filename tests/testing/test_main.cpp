#include <gtest/gtest.h>

#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <memory>

#if defined(BRINTALE_TEST_Widgets)
#include <QApplication>
using TestApplication = QApplication;
#elif defined(BRINTALE_TEST_Gui)
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

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
    TestApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new FreshSettingsStore);
    return RUN_ALL_TESTS();
}
