#pragma once

#include "persistence/IfsFormat.h"

#include <QDialog>
#include <QFutureWatcher>
#include <QImage>
#include <QList>

#include <cstdint>
#include <memory>
#include <vector>

class QListWidget;

namespace Ui {
class ImportDialog;
}

namespace attractor {

// The entry drawn as it opens, fitted into the frame, on a square of side
// pixels; a null image, and the reason in *error, for an entry that cannot
// be opened (3D, or unbounded).
QImage entryThumbnail(const IfsEntry &entry, int side, QString *error = nullptr, int32_t iterations = 50000);

// Lists the entries of an .ifs file with their names, map counts and
// pictures, and lets the user choose the ones to open. 3D entries are
// listed greyed, and so is an entry found unbounded as its picture is
// drawn; choosing one says why it cannot be opened.
class ImportDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kThumbnailSide = 96;

    ImportDialog(const QString &path, std::vector<IfsEntry> entries, QWidget *parent = nullptr);
    // Waits for the picture being drawn: each takes a moment.
    ~ImportDialog() override;

    const std::vector<IfsEntry> &entries() const { return _entries; }
    QListWidget *entryList() const;
    // The selected entries that can be opened, as indices into entries(), in the file's order.
    QList<int> chosenRows() const;
    // Why the selected entries that cannot be opened are left out; empty when none is.
    QString statusText() const;
    // Returns once every picture is drawn and shown.
    void waitForThumbnails();

    struct Thumbnail {
        QImage image;
        QString error;
    };

private:
    void showThumbnail(int row);
    void refuse(int row, const QString &reason);
    void selectionChanged();

    std::unique_ptr<Ui::ImportDialog> _ui;
    std::vector<IfsEntry> _entries;
    // Why each entry cannot be opened; empty for those that can.
    std::vector<QString> _refusals;
    QFutureWatcher<Thumbnail> _thumbnails;
    bool _thumbnailsShown = false;
};

} // namespace attractor
