#include "renderer/ExportWorkflow.h"

#include "model/Log.h"
#include "renderer/ExportOptions.h"
#include "renderer/MyOpenGLView.h"
#include "renderer/RasterImage.h"

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>

#include <limits>

namespace attractor {

namespace {

ExportWorkflow::SavePanelRunner &savePanelRunner()
{
    static ExportWorkflow::SavePanelRunner runner;
    return runner;
}

// Empty on success, otherwise the reason. QSaveFile leaves an existing file
// untouched unless the whole new content was written.
QString writeFileAtomically(const QString &path, const QByteArray &data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (file.write(data) != data.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

void logWriteFailure(const QString &path, const QString &reason)
{
    logLine(QStringLiteral("Export failed; could not write %1: %2").arg(QDir::toNativeSeparators(path), reason));
}

// A positive whole number typed in a field, or 0 when the text is not one.
qint64 fieldValue(const QLineEdit *box)
{
    const QString text = box->text().trimmed();
    bool ok = false;
    qint64 value = QLocale::c().toLongLong(text, &ok);
    if (!ok)
        value = QLocale().toLongLong(text, &ok);
    return ok ? value : 0;
}

} // namespace

void ExportWorkflow::setSavePanelRunner(SavePanelRunner runner)
{
    savePanelRunner() = std::move(runner);
}

ExportWorkflow::ExportWorkflow(MyOpenGLView &view)
    : QObject(&view)
    , _view(view)
{
}

ExportWorkflow::~ExportWorkflow()
{
    _shouldCancel = true;
    if (_exportThread.joinable())
        _exportThread.join();
    delete _exportOptions.data();
}

QString ExportWorkflow::proposedExportName() const
{
    QString name = _view.documentDisplayName();
    if (name.isEmpty()) {
        name = _view.window()->windowTitle();
        name.remove(QStringLiteral("[*]"));
        name = name.trimmed();
    }
    if (name.endsWith(QStringLiteral(".frac"), Qt::CaseInsensitive))
        name.chop(5);
    return name.isEmpty() ? QStringLiteral("Untitled") : name;
}

void ExportWorkflow::runSavePanel(const SavePanelRequest &request, const SavePanelDone &done)
{
    if (savePanelRunner()) {
        savePanelRunner()(_view, request, done);
        return;
    }
    auto *dialog = new QFileDialog(_view.window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setLabelText(QFileDialog::FileName, request.nameFieldLabel);
    dialog->setLabelText(QFileDialog::Accept, request.acceptLabel);
    dialog->setNameFilter(QStringLiteral("*.%1").arg(request.suffix));
    dialog->setDefaultSuffix(request.suffix);
    dialog->selectFile(request.proposedName + QLatin1Char('.') + request.suffix);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QFileDialog::finished, this, [dialog, done](int result) {
        const bool confirmed = result == QDialog::Accepted;
        done(confirmed ? 1 : 0, confirmed ? dialog->selectedFiles().value(0) : QString());
    });
    dialog->open();
}

void ExportWorkflow::exportToJPG()
{
    const SavePanelRequest request{QStringLiteral("Export as:"), QStringLiteral("Export to JPG"),
                                   QStringLiteral("jpg"), proposedExportName(), QStringLiteral("JPG")};
    runSavePanel(request, [this, context = request.contextInfo](int returnCode, const QString &path) {
        exportPanelDidEnd(returnCode, path, context);
    });
}

void ExportWorkflow::exportPanelDidEnd(int returnCode, const QString &path, const QString &contextInfo)
{
    if (returnCode == 1) {
        QByteArray data;
        if (contextInfo == QStringLiteral("JPG"))
            data = _view.dataOfFormat(kImageFormatJPEG, false, QRectF(_view.rect()));
        if (data.isEmpty()) {
            logLine(QStringLiteral("Export failed; export type was not supported!"));
        } else {
            const QString failure = writeFileAtomically(path, data);
            if (!failure.isEmpty())
                logWriteFailure(path, failure);
        }
    }
    // A high-resolution export may be drawing meanwhile; its flag is its own.
    if (!_exportThread.joinable())
        _exporting = false;
    _view.update();
}

void ExportWorkflow::exportToHiRes()
{
    const SavePanelRequest request{QStringLiteral("Export as:"), QStringLiteral("Export Options..."),
                                   QStringLiteral("png"), proposedExportName(), QStringLiteral("PNG")};
    runSavePanel(request, [this, context = request.contextInfo](int returnCode, const QString &path) {
        exportSaveLocationDidEnd(returnCode, path, context);
    });
}

ExportOptions *ExportWorkflow::exportOptionsSheet()
{
    if (!_exportOptions) {
        _exportOptions = new ExportOptions(_view.window());
        connect(_exportOptions, &ExportOptions::exportRequested, this, &ExportWorkflow::startExport);
        connect(_exportOptions, &ExportOptions::cancelRequested, this, &ExportWorkflow::cancelExport);
        connect(_exportOptions, &QDialog::finished, this, &ExportWorkflow::exportOptionsDidEnd);
    }
    return _exportOptions;
}

QDialog *ExportWorkflow::exportOptionsWindow()
{
    return exportOptionsSheet();
}

void ExportWorkflow::exportSaveLocationDidEnd(int returnCode, const QString &path, const QString &)
{
    if (returnCode != 1 || _exporting.load() || _exportThread.joinable())
        return;
    _exportFileName = path;
    ExportOptions *sheet = exportOptionsSheet();
    const FracPtr fractal = _view.fractal();
    // Width and height keep what they held; the count follows the fractal.
    sheet->itersBox()->setText(QString::number(fractal ? fractal->iterations() : 0));
    sheet->progressIndicator()->setValue(0);
    sheet->progressText()->clear();
    sheet->cancelButton()->setEnabled(true);
    sheet->exportButton()->setEnabled(true);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->open();
}

void ExportWorkflow::startExport()
{
    const FracPtr fractal = _view.fractal();
    if (_exporting.load() || _exportThread.joinable() || !fractal)
        return;
    ExportOptions *sheet = exportOptionsSheet();
    const qint64 width = fieldValue(sheet->widthBox());
    const qint64 height = fieldValue(sheet->heightBox());
    const qint64 count = fieldValue(sheet->itersBox());
    const QRectF rect(0, 0, static_cast<double>(width), static_cast<double>(height));
    QString problem = imageSizeError(rect);
    if (problem.isEmpty() && (count < 1 || count > std::numeric_limits<int32_t>::max()))
        problem = QStringLiteral("the iteration count must be between 1 and %1")
                      .arg(std::numeric_limits<int32_t>::max());
    if (problem.isEmpty() && _exportFileName.isEmpty())
        problem = QStringLiteral("no file was chosen to export to");
    if (!problem.isEmpty()) {
        setExportStatus(QStringLiteral("Cannot export: %1.").arg(problem));
        return;
    }

    sheet->exportButton()->setEnabled(false);
    sheet->cancelButton()->setEnabled(true);
    _exportIterations = static_cast<int32_t>(count);
    _exporting = true;
    setExportProgress(0);
    setExportStatus(QStringLiteral("Drawing fractal..."));
    // The worker draws from a copy, so edits made meanwhile cannot reach it.
    ExportJob job{buildChaosTables(*fractal), static_cast<int32_t>(count), rect, _exportFileName};
    _exportThread = std::thread([this, job = std::move(job)] { doExportWithOptions(job); });
}

QByteArray ExportWorkflow::hiResData(int code, const ChaosTables &tables, int32_t iterations, const QRectF &rect)
{
    // Called on the export thread: everything that touches a widget is handed
    // to the main thread.
    int progress = 0;
    ExportCallbacks callbacks;
    callbacks.status = [this](const QString &status) {
        QMetaObject::invokeMethod(this, [this, status] { setExportStatus(status); });
    };
    callbacks.progressIncrement = [this, &progress] {
        if (progress >= 100)
            return;
        const int shown = ++progress;
        QMetaObject::invokeMethod(this, [this, shown] { setExportProgress(shown); });
    };
    callbacks.disableCancel = [this] {
        QMetaObject::invokeMethod(this, [this] {
            if (_exportOptions)
                _exportOptions->cancelButton()->setEnabled(false);
        });
    };
    callbacks.cancel = &_shouldCancel;
    return hiResImageData(code, tables, iterations, rect, callbacks);
}

void ExportWorkflow::doExportWithOptions(const ExportJob &job)
{
    const QByteArray data = hiResData(kImageFormatPNG, job.tables, job.iterations, job.rect);
    if (!data.isEmpty()) {
        const QString failure = writeFileAtomically(job.path, data);
        if (!failure.isEmpty())
            logWriteFailure(job.path, failure);
    } else if (!_shouldCancel.load()) {
        logLine(QStringLiteral("Export failed; the image of %1 could not be made.")
                    .arg(QDir::toNativeSeparators(job.path)));
    }
    // Never waits for the main thread: the main thread may itself be waiting
    // for this thread to end (closing the window).
    QMetaObject::invokeMethod(
        this,
        [this] {
            setExportProgress(100);
            setExportStatus(QStringLiteral("Done."));
            exportFinished();
        },
        Qt::QueuedConnection);
}

void ExportWorkflow::exportFinished()
{
    if (_exportThread.joinable())
        _exportThread.join();
    _exporting = false;
    if (_exportOptions)
        _exportOptions->done(QDialog::Accepted);
    else
        exportOptionsDidEnd(QDialog::Accepted);
    _view.update();
}

void ExportWorkflow::exportOptionsDidEnd(int)
{
    if (_exportOptions)
        _exportOptions->hide();
    _exportFileName.clear();
    _shouldCancel = false;
}

void ExportWorkflow::cancelExport()
{
    _shouldCancel = true;
    if (!_exporting.load())
        exportFinished();
}

void ExportWorkflow::setExportStatus(const QString &status)
{
    if (_exportOptions)
        _exportOptions->progressText()->setText(status);
    emit _view.exportStatusChanged(status);
}

void ExportWorkflow::setExportProgress(int percent)
{
    if (_exportOptions)
        _exportOptions->progressIndicator()->setValue(percent);
    emit _view.exportProgressChanged(percent);
}

} // namespace attractor
