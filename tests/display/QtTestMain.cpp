// GoogleTest main for tests that paint: fonts and painting need a GUI application, and test
// discovery runs the binary outside CTest's environment, so the offscreen platform is chosen
// here when nothing else is set.
#include <QApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    // What the tests keep in settings files goes to a folder of the test run's own.
    QStandardPaths::setTestModeEnabled(true);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
