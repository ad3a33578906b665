#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

int main(int argc, char **argv)
{
    // Widget tests that need no OpenGL can still run without a display.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Each test process gets its own settings folder: never the user's, never
    // one shared with a process beside it (as Qt's test mode would).
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("AttractorTests"));
    QCoreApplication::setApplicationName(QStringLiteral("attractor-tests"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
