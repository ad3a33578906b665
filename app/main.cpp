#include "app/DocumentController.h"
#include "app/MyDocument.h"
#include "app/Recovery.h"
#include "app/SingleInstance.h"
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

    QStringList files = QCoreApplication::arguments();
    files.removeFirst();
    // --new-instance: a program of its own even while another runs.
    const bool own = files.removeAll(QStringLiteral("--new-instance")) > 0;
    const QString instanceName = attractor::SingleInstance::defaultName();
    if (!own && attractor::SingleInstance::sendToRunning(instanceName, files))
        return 0;

    // Declared first: it outlives the documents, whose copies it keeps while they are edited.
    attractor::RecoveryStore recovery(attractor::RecoveryStore::defaultFolder());
    attractor::DocumentController controller([] { return std::make_unique<attractor::MyDocument>(); });
    controller.setRecoveryStore(&recovery);
    controller.recoverDocuments();
    attractor::SingleInstance instance;
    if (!own)
        instance.listen(instanceName);
    QObject::connect(&instance, &attractor::SingleInstance::openRequested, &controller, [&controller](const QStringList &paths) {
        if (paths.isEmpty())
            controller.newDocument();
        else
            controller.openDocuments(paths);
    });
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
