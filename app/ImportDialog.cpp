#include "app/ImportDialog.h"

#include "engine/RasterImage.h"
#include "engine/RenderRequest.h"

#include "ui_ImportDialog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>

namespace attractor {

QImage entryThumbnail(const IfsEntry &entry, int side, QString *error, int32_t iterations)
{
    const DocumentReadResult result = fractalFromIfsEntry(entry);
    if (!result.ok()) {
        if (error)
            *error = result.error;
        return {};
    }
    RenderRequest request;
    request.tables = buildChaosTables(*result.fractal);
    request.size = QSize(side, side);
    request.iterations = iterations;
    // The same entry looks the same each time it is listed.
    request.seed = 1;
    return hiResBitmapInsideRect(request).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

ImportDialog::ImportDialog(const QString &path, std::vector<IfsEntry> entries, QWidget *parent)
    : QDialog(parent)
    , _ui(std::make_unique<Ui::ImportDialog>())
    , _entries(std::move(entries))
    , _refusals(_entries.size())
{
    _ui->setupUi(this);
    const QString file = QFileInfo(path).fileName();
    setWindowTitle(tr("Import “%1”").arg(file));
    _ui->fileLabel->setText(tr("Choose the fractals to open from “%1”; each opens in a window of its own.")
                                .arg(QDir::toNativeSeparators(path)));

    QPixmap blank(kThumbnailSide, kThumbnailSide);
    blank.fill(Qt::transparent);
    int firstOpenable = -1;
    for (size_t row = 0; row < _entries.size(); ++row) {
        const IfsEntry &entry = _entries[row];
        const int maps = static_cast<int>(entry.maps.size());
        const QString detail = entry.threeD ? tr("3D") : maps == 1 ? tr("1 map") : tr("%1 maps").arg(maps);
        auto *item = new QListWidgetItem(QIcon(blank), QStringLiteral("%1\n%2").arg(entry.name, detail), _ui->entryList);
        item->setToolTip(entry.name);
        // 3D entries are refused before anything is drawn; others only once found unbounded.
        if (entry.threeD)
            refuse(static_cast<int>(row), fractalFromIfsEntry(entry).error);
        else if (firstOpenable < 0)
            firstOpenable = static_cast<int>(row);
    }

    connect(_ui->entryList, &QListWidget::itemSelectionChanged, this, &ImportDialog::selectionChanged);
    connect(_ui->entryList, &QListWidget::itemActivated, this, [this] {
        if (!chosenRows().isEmpty())
            accept();
    });
    connect(_ui->buttonBox, &QDialogButtonBox::accepted, this, [this] {
        if (!chosenRows().isEmpty())
            accept();
    });
    if (firstOpenable >= 0)
        _ui->entryList->setCurrentRow(firstOpenable);
    selectionChanged();

    connect(&_thumbnails, &QFutureWatcherBase::resultReadyAt, this, &ImportDialog::showThumbnail);
    connect(&_thumbnails, &QFutureWatcherBase::finished, this, [this] { _thumbnailsShown = true; });
    _thumbnails.setFuture(QtConcurrent::mapped(_entries, [](const IfsEntry &entry) {
        Thumbnail thumbnail;
        thumbnail.image = entryThumbnail(entry, kThumbnailSide, &thumbnail.error);
        return thumbnail;
    }));
}

ImportDialog::~ImportDialog()
{
    _thumbnails.cancel();
    _thumbnails.waitForFinished();
}

QListWidget *ImportDialog::entryList() const
{
    return _ui->entryList;
}

QList<int> ImportDialog::chosenRows() const
{
    QList<int> rows;
    for (int row = 0; row < _ui->entryList->count(); ++row) {
        if (_ui->entryList->item(row)->isSelected() && _refusals[static_cast<size_t>(row)].isEmpty())
            rows << row;
    }
    return rows;
}

QString ImportDialog::statusText() const
{
    QStringList reasons;
    for (int row = 0; row < _ui->entryList->count(); ++row) {
        const QString &refusal = _refusals[static_cast<size_t>(row)];
        if (_ui->entryList->item(row)->isSelected() && !refusal.isEmpty())
            reasons << refusal;
    }
    return reasons.isEmpty() ? QString() : tr("Cannot be opened: %1.").arg(reasons.join(QStringLiteral("; ")));
}

void ImportDialog::waitForThumbnails()
{
    while (!_thumbnailsShown)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void ImportDialog::showThumbnail(int row)
{
    const Thumbnail thumbnail = _thumbnails.resultAt(row);
    if (!thumbnail.image.isNull())
        _ui->entryList->item(row)->setIcon(QIcon(QPixmap::fromImage(thumbnail.image)));
    else if (_refusals[static_cast<size_t>(row)].isEmpty())
        refuse(row, thumbnail.error);
    else
        return;
    selectionChanged();
}

void ImportDialog::refuse(int row, const QString &reason)
{
    _refusals[static_cast<size_t>(row)] = reason.isEmpty() ? tr("%1: cannot be drawn").arg(_entries[static_cast<size_t>(row)].name) : reason;
    QListWidgetItem *item = _ui->entryList->item(row);
    QPixmap greyed(kThumbnailSide, kThumbnailSide);
    greyed.fill(palette().color(QPalette::Disabled, QPalette::Button));
    item->setIcon(QIcon(greyed));
    item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
    item->setToolTip(_refusals[static_cast<size_t>(row)]);
}

void ImportDialog::selectionChanged()
{
    _ui->statusLabel->setText(statusText());
    _ui->buttonBox->button(QDialogButtonBox::Open)->setEnabled(!chosenRows().isEmpty());
}

} // namespace attractor
