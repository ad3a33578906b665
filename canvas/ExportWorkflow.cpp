#include "canvas/ExportWorkflow.h"

#include "model/Log.h"
#include "canvas/ExportOptions.h"
#include "widgets/DensityControls.h"
#include "canvas/MyOpenGLView.h"
#include "engine/RasterImage.h"
#include "persistence/AtomicWrite.h"
#include "widgets/FileDialogs.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>

#include <QFileInfo>
#include <QMessageBox>

#include <limits>
#include <vector>

namespace attractor {

namespace {

ExportWorkflow::SavePanelRunner &savePanelRunner()
{
    static ExportWorkflow::SavePanelRunner runner;
    return runner;
}

bool defaultReplaceQuestion(QWidget *parent, const QString &path)
{
    const QFileInfo info(path);
    QMessageBox box(QMessageBox::Warning, QObject::tr("Export"),
                    QObject::tr("“%1” already exists. Do you want to replace it?").arg(info.fileName()),
                    QMessageBox::Yes | QMessageBox::Cancel, parent);
    box.setInformativeText(QObject::tr("A file with the same name already exists in “%1”.")
                               .arg(QDir::toNativeSeparators(info.absolutePath())));
    box.setDefaultButton(QMessageBox::Cancel);
    box.setWindowModality(Qt::WindowModal);
    return box.exec() == QMessageBox::Yes;
}

void defaultErrorReport(QWidget *parent, const QString &message)
{
    auto *box = new QMessageBox(QMessageBox::Critical, QObject::tr("Export failed"), message, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->open();
}

ExportWorkflow::ReplaceQuestion &replaceQuestion()
{
    static ExportWorkflow::ReplaceQuestion question = defaultReplaceQuestion;
    return question;
}

ExportWorkflow::ErrorReport &errorReport()
{
    static ExportWorkflow::ErrorReport report = defaultErrorReport;
    return report;
}

// Export threads whose workflow went first (their window was closed): they
// finish on their own, and the process waits for them only as it ends.
class OrphanThreads
{
public:
    ~OrphanThreads()
    {
        for (std::thread &thread : _threads)
            thread.join();
    }
    void adopt(std::thread thread)
    {
        const std::lock_guard<std::mutex> lock(_mutex);
        _threads.push_back(std::move(thread));
    }

private:
    std::mutex _mutex;
    std::vector<std::thread> _threads;
};

OrphanThreads &orphanThreads()
{
    static OrphanThreads threads;
    return threads;
}

// Logs the failure and returns the message the user sees.
QString writeFailure(const QString &path, const QString &reason)
{
    logLine(QStringLiteral("Export failed; could not write %1: %2").arg(QDir::toNativeSeparators(path), reason));
    return QStringLiteral("Cannot export: could not write %1: %2.").arg(QDir::toNativeSeparators(path), reason);
}

// Extensions that name an image format; a name ending in one of these asked
// for another format gets the right one instead.
bool isImageExtension(const QString &suffix)
{
    static const QStringList known{QStringLiteral("jpg"),  QStringLiteral("jpeg"), QStringLiteral("png"),
                                   QStringLiteral("gif"),  QStringLiteral("bmp"),  QStringLiteral("tif"),
                                   QStringLiteral("tiff"), QStringLiteral("webp"), QStringLiteral("ppm"),
                                   QStringLiteral("pgm"),  QStringLiteral("pbm"),  QStringLiteral("xpm"),
                                   QStringLiteral("xbm"),  QStringLiteral("ico"),  QStringLiteral("svg"),
                                   QStringLiteral("heic"), QStringLiteral("avif"), QStringLiteral("jp2"),
                                   QStringLiteral("tga")};
    return known.contains(suffix, Qt::CaseInsensitive);
}

// Both spellings name JPEG.
bool sameFormat(const QString &suffix, const QString &wanted)
{
    const auto canonical = [](const QString &s) {
        const QString lower = s.toLower();
        return lower == QStringLiteral("jpeg") ? QStringLiteral("jpg") : lower;
    };
    return canonical(suffix) == canonical(wanted);
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

void ExportWorkflow::setReplaceQuestion(ReplaceQuestion question)
{
    replaceQuestion() = question ? std::move(question) : ReplaceQuestion(defaultReplaceQuestion);
}

void ExportWorkflow::setErrorReport(ErrorReport report)
{
    errorReport() = report ? std::move(report) : ErrorReport(defaultErrorReport);
}

QString ExportWorkflow::pathWithExtension(const QString &path, const QString &suffix)
{
    const QFileInfo info(path);
    const QString current = info.suffix();
    if (sameFormat(current, suffix))
        return path;
    if (!info.completeBaseName().isEmpty() && isImageExtension(current))
        return path.left(path.size() - current.size()) + suffix;
    return path + QLatin1Char('.') + suffix;
}

ExportWorkflow::ExportWorkflow(MyOpenGLView &view)
    : QObject(&view)
    , _view(view)
    , _shared(std::make_shared<Shared>())
{
    _shared->owner = this;
}

ExportWorkflow::~ExportWorkflow()
{
    _shared->cancel = true;
    {
        const std::lock_guard<std::mutex> lock(_shared->ownerMutex);
        _shared->owner = nullptr;
    }
    if (_exportThread.joinable())
        orphanThreads().adopt(std::move(_exportThread));
    delete _exportOptions.data();
}

void ExportWorkflow::postToOwner(const std::shared_ptr<Shared> &shared, std::function<void(ExportWorkflow &)> call)
{
    // Posted under the lock: the owner cannot go between the check and the
    // post, and posted events die with it.
    const std::lock_guard<std::mutex> lock(shared->ownerMutex);
    if (ExportWorkflow *owner = shared->owner)
        QMetaObject::invokeMethod(owner, [owner, call = std::move(call)] { call(*owner); }, Qt::QueuedConnection);
}

QString ExportWorkflow::confirmedPath(const QString &answer, const QString &suffix, bool replaceSettled)
{
    const QString path = pathWithExtension(answer, suffix);
    // The panel settled replacing only the name it returned.
    if (QFileInfo::exists(path) && (!replaceSettled || path != answer) && !replaceQuestion()(_view.window(), path))
        return {};
    return path;
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
    useNameOnlyFileTypes(*dialog);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    // Asked afterwards, for the name with the format's extension.
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
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

// The save panel, then the name actually written (the format's extension, the
// replace question asked for it) goes on to `then`; no name is a cancel.
void ExportWorkflow::askForPath(const SavePanelRequest &request, PanelEnd then)
{
    const bool settled = static_cast<bool>(savePanelRunner());
    runSavePanel(request, [this, request, settled, then](int returnCode, const QString &answer) {
        const QString path = returnCode == 1 ? confirmedPath(answer, request.suffix, settled) : QString();
        (this->*then)(path.isEmpty() ? 0 : returnCode, path, request.contextInfo);
    });
}

std::optional<View> ExportWorkflow::exportView() const
{
    if (_standardFrame || !_view.model() || _view.model()->view().isStandard())
        return std::nullopt;
    return _view.model()->view();
}

void ExportWorkflow::exportToJPG()
{
    const SavePanelRequest request{QStringLiteral("Export as:"), QStringLiteral("Export to JPG"),
                                   QStringLiteral("jpg"), proposedExportName(), QStringLiteral("JPG")};
    askForPath(request, &ExportWorkflow::exportPanelDidEnd);
}

void ExportWorkflow::exportPanelDidEnd(int returnCode, const QString &path, const QString &contextInfo)
{
    if (returnCode == 1) {
        QByteArray data;
        const QString target = pathWithExtension(path, QStringLiteral("jpg"));
        if (contextInfo == QStringLiteral("JPG"))
            data = _view.dataOfFormat(kImageFormatJPEG, false, QRectF(QPointF(0, 0), _view.pictureSquare().size()));
        if (data.isEmpty()) {
            logLine(QStringLiteral("Export failed; export type was not supported!"));
            if (contextInfo == QStringLiteral("JPG"))
                errorReport()(_view.window(), QStringLiteral("Cannot export: the picture of %1 could not be drawn.")
                                                  .arg(QDir::toNativeSeparators(target)));
        } else {
            QString failure;
            if (!writeFileAtomically(target, data, &failure))
                errorReport()(_view.window(), writeFailure(target, failure));
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
    askForPath(request, &ExportWorkflow::exportSaveLocationDidEnd);
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
    _exportFileName = pathWithExtension(path, QStringLiteral("png"));
    ExportOptions *sheet = exportOptionsSheet();
    const FracPtr fractal = _view.fractal();
    // Width and height keep what they held; the count follows the fractal.
    sheet->itersBox()->setText(QString::number(fractal ? fractal->iterations() : 0));
    // The look is the document's, as the canvas shows it; changed here it is this export's.
    if (fractal)
        sheet->densityControls()->setLook(fractal->density());
    // At the standard frame both choices draw the same.
    const bool viewIsStandard = !_view.model() || _view.model()->view().isStandard();
    sheet->showFrameChoice(_standardFrame || viewIsStandard, !viewIsStandard);
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
    const std::optional<DensityOptions> density = sheet->densityOptions();
    if (problem.isEmpty() && density)
        problem = densitySizeError(rect, density->supersample);
    if (problem.isEmpty() && _exportFileName.isEmpty())
        problem = QStringLiteral("no file was chosen to export to");
    if (!problem.isEmpty()) {
        setExportStatus(QStringLiteral("Cannot export: %1.").arg(problem));
        return;
    }

    sheet->rememberRendering();
    if (sheet->frameBox()->isEnabled())
        _standardFrame = sheet->standardFrameChosen();
    sheet->exportButton()->setEnabled(false);
    sheet->cancelButton()->setEnabled(true);
    _exportIterations = static_cast<int32_t>(count);
    _exporting = true;
    setExportProgress(0);
    setExportStatus(QStringLiteral("Drawing fractal..."));
    // The worker draws from a copy, so edits made meanwhile cannot reach it.
    RenderRequest request;
    request.tables = buildChaosTables(*fractal);
    request.size = imageSizeOf(rect);
    request.iterations = static_cast<int32_t>(count);
    request.density = density;
    request.view = exportView();
    // One walker per core.
    request.threads = 0;
    ExportJob job{std::move(request), _exportFileName};
    _exportThread = std::thread([shared = _shared, job = std::move(job)] { doExportWithOptions(shared, job); });
}

namespace {

// The sheet's progress, status and cancel button follow the drawing from
// whatever thread draws.
ExportCallbacks sheetCallbacks(const std::shared_ptr<ExportWorkflow::Shared> &shared, int &progress,
                               const std::function<void(std::function<void(ExportWorkflow &)>)> &post)
{
    ExportCallbacks callbacks;
    callbacks.status = [post](const QString &status) {
        post([status](ExportWorkflow &workflow) { workflow.showStatus(status); });
    };
    callbacks.progressIncrement = [post, &progress] {
        if (progress >= 100)
            return;
        const int shown = ++progress;
        post([shown](ExportWorkflow &workflow) { workflow.showProgress(shown); });
    };
    callbacks.disableCancel = [post] { post([](ExportWorkflow &workflow) { workflow.disableCancel(); }); };
    callbacks.cancel = &shared->cancel;
    return callbacks;
}

} // namespace

QByteArray ExportWorkflow::hiResData(int code, const RenderRequest &request)
{
    int progress = 0;
    const std::shared_ptr<Shared> shared = _shared;
    RenderRequest everyCore = request;
    everyCore.threads = 0;
    return hiResImageData(code, everyCore,
                          sheetCallbacks(shared, progress, [shared](auto call) { postToOwner(shared, std::move(call)); }));
}

void ExportWorkflow::doExportWithOptions(const std::shared_ptr<Shared> &shared, const ExportJob &job)
{
    int progress = 0;
    const auto post = [shared](std::function<void(ExportWorkflow &)> call) { postToOwner(shared, std::move(call)); };
    QString error;
    const QByteArray data = hiResImageData(kImageFormatPNG, job.request, sheetCallbacks(shared, progress, post), &error);
    QString failure;
    // A cancel that came while encoding still leaves no file behind.
    const bool cancelled = shared->cancel.load();
    if (!cancelled && data.isEmpty()) {
        logLine(QStringLiteral("Export failed; the image of %1 could not be made: %2")
                    .arg(QDir::toNativeSeparators(job.path), error));
        failure = QStringLiteral("Cannot export: the image of %1 could not be made: %2.")
                      .arg(QDir::toNativeSeparators(job.path), error);
    } else if (!cancelled) {
        QString reason;
        if (!writeFileAtomically(job.path, data, &reason))
            failure = writeFailure(job.path, reason);
    }
    // Never waits for the main thread: the main thread may itself be waiting
    // for this thread to end.
    post([failure, cancelled](ExportWorkflow &workflow) {
        if (!failure.isEmpty()) {
            workflow.exportFailed(failure);
            return;
        }
        if (cancelled) {
            // Nothing was written: no "Done.", and no bar left part way.
            workflow.setExportProgress(0);
            workflow.setExportStatus(QString());
            workflow.exportFinished();
            return;
        }
        workflow.setExportProgress(100);
        workflow.setExportStatus(QStringLiteral("Done."));
        workflow.exportFinished();
    });
}

void ExportWorkflow::exportFailed(const QString &message)
{
    // The sheet stays open with the reason; the user may try again or cancel.
    if (_exportThread.joinable())
        _exportThread.join();
    _exporting = false;
    _shared->cancel = false;
    // The bar would stand where the drawing got to, as if it had gone on.
    setExportProgress(0);
    setExportStatus(message);
    if (_exportOptions) {
        _exportOptions->exportButton()->setEnabled(true);
        _exportOptions->cancelButton()->setEnabled(true);
    }
    _view.update();
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
    _shared->cancel = false;
}

void ExportWorkflow::cancelExport()
{
    _shared->cancel = true;
    if (!_exporting.load()) {
        // A refused or failed export may have left its reason on the sheet.
        setExportProgress(0);
        setExportStatus(QString());
        exportFinished();
    }
}

void ExportWorkflow::disableCancel()
{
    if (_exportOptions)
        _exportOptions->cancelButton()->setEnabled(false);
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
