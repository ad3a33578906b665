#include "app/DocumentController.h"
#include "app/MyDocument.h"
#include "app/Recovery.h"
#include "app/Using.h"

#include <QApplication>
#include <QIcon>
#include <QStringList>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Attractor"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("attractor.org"));
    QCoreApplication::setApplicationName(QStringLiteral("Attractor"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ATTRACTOR_VERSION));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Attractor"));
    QGuiApplication::setDesktopFileName(QStringLiteral("attractor"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("attractor"), QIcon(QStringLiteral(":/icons/attractor.svg"))));
    // Quitting goes through the controller, which asks about edited documents.
    QApplication::setQuitOnLastWindowClosed(true);

    // Declared first: it outlives the documents, whose copies it keeps while they are edited.
    attractor::RecoveryStore recovery(attractor::RecoveryStore::defaultFolder());
    attractor::DocumentController controller([] { return std::make_unique<attractor::MyDocument>(); });
    controller.setRecoveryStore(&recovery);
    controller.recoverDocuments();

    QStringList files = QCoreApplication::arguments();
    files.removeFirst();
    // Files that all fail to open leave nothing to show: their errors have been shown.
    if (!controller.openAtLaunch(files))
        return 1;

    // Tips come up once per start until the user closes a tips window.
    if (attractor::Using::showTipsOnLaunch()) {
        if (auto *document = qobject_cast<attractor::MyDocument *>(controller.documents().constFirst()))
            document->showHelp();
    }
    return app.exec();
}
