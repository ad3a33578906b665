#include "app/Examples.h"

#include "app/DocumentController.h"
#include "app/Interchange.h"
#include "model/Log.h"

#include <QFile>
#include <QMenu>

// The resources are compiled into a static library: register them before use.
static void initAttractorResources()
{
    Q_INIT_RESOURCE(attractor);
}

namespace attractor::examples {

const QString kResource = QStringLiteral(":/examples.ifs");

const std::vector<IfsEntry> &entries()
{
    static const std::vector<IfsEntry> read = [] {
        initAttractorResources();
        QFile file(kResource);
        IfsReadResult result = file.open(QIODevice::ReadOnly) ? readIfs(file.readAll())
                                                              : IfsReadResult{{}, file.errorString()};
        if (!result.ok())
            logLine(QStringLiteral("The examples could not be read: %1").arg(result.error));
        return std::move(result.entries);
    }();
    return read;
}

QString readableName(const IfsEntry &entry)
{
    return QString(entry.name).replace(u'_', u' ');
}

void fillMenu(QMenu *menu, DocumentController *controller, QWidget *parent)
{
    const std::vector<IfsEntry> &list = entries();
    for (size_t i = 0; i < list.size(); ++i) {
        QAction *action = menu->addAction(readableName(list[i]));
        QObject::connect(action, &QAction::triggered, menu, [controller, parent, i] {
            if (controller)
                interchange::openEntry(*controller, kResource, entries()[i], parent);
        });
    }
    menu->setEnabled(!list.empty());
}

} // namespace attractor::examples
