#include "widgets/FileDialogs.h"

#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QIcon>
#include <QMimeDatabase>

#include <memory>

namespace attractor {

namespace {

const QString kKeeperName = QStringLiteral("attractor_name_only_file_types");

// Qt's own provider asks the MIME database by content whenever the name is
// not conclusive, which opens the file; this one only ever looks at names
// and at what stat() says.
class NameOnlyIconProvider : public QFileIconProvider
{
public:
    QIcon icon(IconType type) const override { return QFileIconProvider::icon(type); }

    QIcon icon(const QFileInfo &info) const override
    {
        if (info.isDir())
            return QFileIconProvider::icon(Folder);
        if (!info.isFile())
            return QFileIconProvider::icon(File);
        const QMimeType mime = typeByName(info);
        QIcon icon = QIcon::fromTheme(mime.iconName());
        if (icon.isNull())
            icon = QIcon::fromTheme(mime.genericIconName());
        return icon.isNull() ? QFileIconProvider::icon(File) : icon;
    }

    QString type(const QFileInfo &info) const override
    {
        // Folders, links and special files are told apart by stat() alone.
        if (!info.isFile())
            return QFileIconProvider::type(info);
        const QMimeType mime = typeByName(info);
        return mime.comment().isEmpty() ? mime.name() : mime.comment();
    }

private:
    QMimeType typeByName(const QFileInfo &info) const
    {
        return _mimes.mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
    }

    QMimeDatabase _mimes;
};

// Owns the provider for the dialog. Made after the dialog's model among the
// dialog's children, it is destroyed after the model, whose file-information
// thread uses the provider until the model is gone.
class ProviderKeeper : public QObject
{
public:
    explicit ProviderKeeper(QObject *parent)
        : QObject(parent)
    {
        setObjectName(kKeeperName);
    }
    QAbstractFileIconProvider *provider() { return &_provider; }

private:
    NameOnlyIconProvider _provider;
};

} // namespace

void useNameOnlyFileTypes(QFileDialog &dialog)
{
    // Only a dialog drawn by Qt has a model; a native one has nothing to set.
    if (!dialog.findChild<QFileSystemModel *>())
        return;
    if (dialog.findChild<QObject *>(kKeeperName, Qt::FindDirectChildrenOnly))
        return;
    auto *keeper = new ProviderKeeper(&dialog);
    dialog.setIconProvider(keeper->provider());
}

} // namespace attractor
