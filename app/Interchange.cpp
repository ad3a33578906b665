#include "app/Interchange.h"

#include "app/DocumentController.h"
#include "app/ImportDialog.h"
#include "app/MyDocument.h"
#include "app/Prompts.h"
#include "persistence/AtomicWrite.h"
#include "persistence/FlameFormat.h"
#include "widgets/FileDialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

namespace attractor::interchange {

namespace {

// Far beyond any real .ifs file: a larger one is not read into memory at all.
constexpr qint64 kMaxIfsBytes = 16 * 1024 * 1024;

QString tr(const char *text)
{
    return QCoreApplication::translate("Interchange", text);
}

QString defaultImportPath(QWidget *parent)
{
    QFileDialog dialog(parent, tr("Import"), QString(), nameFilter(Format::Ifs));
    useNameOnlyFileTypes(dialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setSupportedSchemes({QStringLiteral("file")});
    dialog.setLabelText(QFileDialog::Accept, tr("Import"));
    dialog.setWindowModality(Qt::WindowModal);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

QString defaultExportPath(QWidget *parent, const QString &proposedPath, Format format)
{
    QFileDialog dialog(parent, format == Format::Ifs ? tr("Export as IFS") : tr("Export as flam3 Flame"));
    useNameOnlyFileTypes(dialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(nameFilter(format));
    dialog.setDefaultSuffix(suffix(format));
    dialog.setLabelText(QFileDialog::Accept, tr("Export"));
    dialog.setDirectory(QFileInfo(proposedPath).absolutePath());
    dialog.selectFile(QFileInfo(proposedPath).fileName());
    dialog.setWindowModality(Qt::WindowModal);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

QList<int> defaultChooseEntries(ImportDialog &dialog)
{
    dialog.setWindowModality(Qt::WindowModal);
    return dialog.exec() == QDialog::Accepted ? dialog.chosenRows() : QList<int>();
}

Questions &current()
{
    static Questions questions = defaultQuestions();
    return questions;
}

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

void reportImportFailure(QWidget *parent, const QString &path, const QString &reason)
{
    Prompts::showError(parent, tr("Import failed"), tr("“%1” could not be imported: %2").arg(nativePath(path), reason));
}

// Opens each entry; one message for all that were refused, after those that
// could open have.
QList<MyDocument *> openChosen(DocumentController &controller, const QString &path,
                               const std::vector<const IfsEntry *> &chosen, QStringList refused, QWidget *parent)
{
    QList<MyDocument *> opened;
    for (const IfsEntry *entry : chosen) {
        const DocumentReadResult result = fractalFromIfsEntry(*entry);
        if (!result.ok())
            refused << result.error;
        else if (MyDocument *document = openUntitled(controller, result.fractal))
            opened << document;
    }
    if (!refused.isEmpty())
        reportImportFailure(parent, path, refused.join(QStringLiteral("; ")));
    return opened;
}

} // namespace

Questions defaultQuestions()
{
    return {defaultImportPath, defaultExportPath, defaultChooseEntries};
}

void installQuestions(const Questions &questions)
{
    Questions &installed = current();
    if (questions.importPath)
        installed.importPath = questions.importPath;
    if (questions.exportPath)
        installed.exportPath = questions.exportPath;
    if (questions.chooseEntries)
        installed.chooseEntries = questions.chooseEntries;
}

QString suffix(Format format)
{
    return format == Format::Ifs ? QStringLiteral("ifs") : QStringLiteral("flame");
}

QString nameFilter(Format format)
{
    return format == Format::Ifs ? tr("Fractint IFS files (*.ifs);;All files (*)")
                                 : tr("flam3 flames (*.flame);;All files (*)");
}

std::optional<std::vector<IfsEntry>> readIfsFile(const QString &path, QWidget *parent)
{
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        reportImportFailure(parent, path, QFileInfo(path).isDir() ? tr("it is a folder") : file.errorString());
        return std::nullopt;
    }
    const QByteArray bytes = file.read(kMaxIfsBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        reportImportFailure(parent, path, file.errorString());
        return std::nullopt;
    }
    if (bytes.size() > kMaxIfsBytes) {
        reportImportFailure(parent, path, tr("it is larger than %1 MB, too large for an .ifs file").arg(kMaxIfsBytes >> 20));
        return std::nullopt;
    }
    IfsReadResult result = readIfs(bytes);
    if (!result.ok()) {
        reportImportFailure(parent, path, result.error);
        return std::nullopt;
    }
    return std::move(result.entries);
}

MyDocument *openUntitled(DocumentController &controller, FracPtr fractal)
{
    return qobject_cast<MyDocument *>(controller.newUntitledDocument([&fractal](Document &document) {
        if (auto *fractalDocument = qobject_cast<MyDocument *>(&document))
            fractalDocument->model()->resetFractal(std::move(fractal));
    }));
}

MyDocument *openEntry(DocumentController &controller, const QString &path, const IfsEntry &entry, QWidget *parent)
{
    return openChosen(controller, path, {&entry}, {}, parent).value(0);
}

QList<MyDocument *> importEntries(DocumentController &controller, const QString &path, const QStringList &names,
                                  QWidget *parent)
{
    const std::optional<std::vector<IfsEntry>> entries = readIfsFile(path, parent);
    if (!entries)
        return {};
    std::vector<const IfsEntry *> chosen;
    QStringList refused;
    for (const QString &name : names) {
        if (const IfsEntry *entry = name.isEmpty() ? nullptr : findIfsEntry(*entries, name))
            chosen.push_back(entry);
        else
            refused << tr("%1: there is no such entry").arg(name);
    }
    return openChosen(controller, path, chosen, refused, parent);
}

void importWithDialog(DocumentController &controller, QWidget *parent)
{
    const QString path = current().importPath(parent);
    if (path.isEmpty())
        return;
    std::optional<std::vector<IfsEntry>> entries = readIfsFile(path, parent);
    if (!entries)
        return;
    // Rows, not names: a file may use one name twice. The dialog goes (and
    // stops drawing) before the documents open.
    std::vector<IfsEntry> chosen;
    {
        ImportDialog dialog(path, std::move(*entries), parent);
        for (int row : current().chooseEntries(dialog))
            chosen.push_back(dialog.entries().at(static_cast<size_t>(row)));
    }
    std::vector<const IfsEntry *> pointers;
    for (const IfsEntry &entry : chosen)
        pointers.push_back(&entry);
    openChosen(controller, path, pointers, {}, parent);
}

bool exportFractal(const QvFrac &fractal, const QString &name, Format format, const QString &path, QWidget *parent)
{
    const QByteArray bytes = format == Format::Ifs ? ifsText(fractal, name) : flameText(fractal, name);
    QString error;
    if (!writeFileAtomically(path, bytes, &error)) {
        Prompts::showError(parent, tr("Export failed"),
                           tr("“%1” could not be exported to “%2”: %3").arg(name, nativePath(path), error));
        return false;
    }
    return true;
}

bool exportWithDialog(const QvFrac &fractal, const QString &name, Format format, const QString &proposedPath,
                      QWidget *parent)
{
    const QFileInfo proposed(proposedPath);
    const QString path = current().exportPath(
        parent, proposed.dir().filePath(proposed.completeBaseName() + u'.' + suffix(format)), format);
    if (path.isEmpty())
        return false;
    return exportFractal(fractal, name, format, path, parent);
}

} // namespace attractor::interchange
