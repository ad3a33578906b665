#include "app/DocumentWindow.h"

#include "app/Document.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QSettings>
#include <QUrl>

namespace attractor {

namespace {

const QString kGeometryKey = QStringLiteral("DocumentWindow/geometry");

QStringList localFiles(const QMimeData *mime)
{
    QStringList paths;
    if (!mime || !mime->hasUrls())
        return paths;
    const QList<QUrl> urls = mime->urls();
    for (const QUrl &url : urls) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

} // namespace

DocumentWindow::DocumentWindow(Document *document)
    : _document(document)
{
    setAcceptDrops(true);
}

void DocumentWindow::closeEvent(QCloseEvent *event)
{
    if (!_document->shouldClose()) {
        event->ignore();
        return;
    }
    event->accept();
    rememberGeometry();
    _document->windowDidClose();
}

void DocumentWindow::restoreLastGeometry()
{
    const QByteArray geometry = QSettings().value(kGeometryKey).toByteArray();
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
}

void DocumentWindow::rememberGeometry() const
{
    QSettings().setValue(kGeometryKey, saveGeometry());
}

void DocumentWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void DocumentWindow::dropEvent(QDropEvent *event)
{
    const QStringList paths = localFiles(event->mimeData());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    emit filesDropped(paths);
}

} // namespace attractor
