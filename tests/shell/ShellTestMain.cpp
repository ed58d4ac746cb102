// The shell tests run in one QApplication on the offscreen platform, with
// the standard folders of Qt's test mode so that no user's settings are read.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStandardPaths>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Movigram"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
