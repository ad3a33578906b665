#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdlib>

int main(int argc, char **argv)
{
    // Widget tests that need no OpenGL can still run without a display.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Settings written by tests must never touch the user's own, nor those of
    // another test process running beside this one: each process gets its own
    // configuration folder. (Qt's test mode would share one folder for all.)
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("AttractorTests"));
    QCoreApplication::setApplicationName(QStringLiteral("attractor-tests"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
