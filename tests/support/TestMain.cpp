#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Window positions go to a folder of the test run's own, emptied after every test, so no test sees
// where another left its windows and the user's own settings are never touched.
class FreshPlacements : public ::testing::EmptyTestEventListener {
public:
    explicit FreshPlacements(QString folder) : folder_(std::move(folder)) {}
    void OnTestEnd(const ::testing::TestInfo&) override { QDir(folder_).removeRecursively(); }

private:
    QString folder_;
};

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    // The program speaks the desktop's language until one is stored; the tests expect the Russian it
    // always spoke unless they say otherwise. Set after Qt has read the locale for itself.
    qunsetenv("LC_ALL");
    qunsetenv("LC_MESSAGES");
    qputenv("LANG", "ru_RU.UTF-8");
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshPlacements(config.path()));
    return RUN_ALL_TESTS();
}
