#include "editor/TextExport.h"

#include "model/Log.h"
#include "model/QvFrac.h"
#include "persistence/AtomicWrite.h"
#include "persistence/Report.h"
#include "widgets/FileDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace attractor::text_export {

const QString kContext = QStringLiteral("txt");

void runPanel(QWidget *window, const std::function<void(int, const QString &)> &done)
{
    auto *dialog = new QFileDialog(window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    useNameOnlyFileTypes(*dialog);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setDefaultSuffix(kContext);
    dialog->setNameFilter(QFileDialog::tr("Text (*.txt)"));
    dialog->setLabelText(QFileDialog::FileName, QFileDialog::tr("Export as:"));
    dialog->setLabelText(QFileDialog::Accept, QFileDialog::tr("Export to Text"));
    dialog->setWindowModality(Qt::WindowModal);
    // Propose the document's own name with the report's extension.
    const QString documentPath = window ? window->windowFilePath() : QString();
    if (!documentPath.isEmpty()) {
        const QFileInfo info(documentPath);
        dialog->setDirectory(info.absolutePath());
        dialog->selectFile(info.completeBaseName() + QStringLiteral(".txt"));
    }
    QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, done](int result) {
        done(result == QDialog::Accepted ? 1 : 0, dialog->selectedFiles().value(0));
    });
    dialog->open();
}

bool panelDidEnd(const QvFrac *fractal, int returnCode, const QString &path, const QString &contextInfo)
{
    if (returnCode != 1)
        return false;
    if (contextInfo != kContext) {
        logLine(QStringLiteral("Export failed; export type was not supported!"));
        return false;
    }
    if (path.isEmpty()) {
        logLine(QStringLiteral("Could not export the text report: no file was chosen."));
        return false;
    }
    const QByteArray report = fractal ? textReport(*fractal).toUtf8() : QByteArray();
    QString error;
    if (!writeFileAtomically(path, report, &error)) {
        logLine(QStringLiteral("Could not export the text report to \"%1\": %2")
                    .arg(QDir::toNativeSeparators(path), error));
        return false;
    }
    return true;
}

} // namespace attractor::text_export
