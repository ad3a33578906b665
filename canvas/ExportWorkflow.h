#pragma once

#include "engine/RenderRequest.h"

#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class QDialog;
class QWidget;

namespace attractor {

class ExportOptions;
class MyOpenGLView;

// The two image exports of a canvas: the save panels, the options sheet, the
// export thread and the file writing. The canvas draws the pictures; this
// object asks for names, runs the thread and reports to the user.
class ExportWorkflow : public QObject
{
    Q_OBJECT

public:
    // What a save panel is asked to show; the answer goes to `done` with
    // return code 1 and the chosen path, or 0.
    struct SavePanelRequest {
        QString nameFieldLabel;
        QString acceptLabel;
        QString suffix;
        QString proposedName;
        QString contextInfo;
    };
    using SavePanelDone = std::function<void(int returnCode, const QString &path)>;
    using SavePanelRunner = std::function<void(MyOpenGLView &view, const SavePanelRequest &request,
                                               const SavePanelDone &done)>;
    // Replaces the window-modal file dialog (tests answer without one); an
    // empty function restores the dialog. A runner that is set has settled
    // replacing the path it answers with; the dialog leaves that question to
    // the workflow, which asks it for the name actually written.
    static void setSavePanelRunner(SavePanelRunner runner);
    // Whether to replace the existing file path; the default asks in a dialog.
    using ReplaceQuestion = std::function<bool(QWidget *parent, const QString &path)>;
    static void setReplaceQuestion(ReplaceQuestion question);
    // Tells the user why an export failed; the default shows an error dialog.
    using ErrorReport = std::function<void(QWidget *parent, const QString &message)>;
    static void setErrorReport(ErrorReport report);

    // The path with the format's extension: another image extension is
    // replaced, any other name gets it appended.
    static QString pathWithExtension(const QString &path, const QString &suffix);

    explicit ExportWorkflow(MyOpenGLView &view);
    // Stops a running export without waiting for it: a thread that is
    // encoding finishes on its own, writes nothing and reports to no one.
    ~ExportWorkflow() override;

    void exportToJPG();
    void exportToHiRes();
    void exportPanelDidEnd(int returnCode, const QString &path, const QString &contextInfo);
    void exportSaveLocationDidEnd(int returnCode, const QString &path, const QString &contextInfo);
    void exportOptionsDidEnd(int returnCode);
    void startExport();
    void cancelExport();

    // The options sheet, made on first use.
    QDialog *exportOptionsWindow();
    bool exporting() const { return _exporting.load(); }
    bool shouldCancel() const { return _shared->cancel.load(); }
    int32_t exportIterations() const { return _exportIterations.load(); }
    QString exportFileName() const { return _exportFileName; }
    // What the exports and printing draw: the canvas's view (the default) or
    // the standard frame. The sheet's choice, kept for the window.
    bool exportsStandardFrame() const { return _standardFrame; }
    void setExportsStandardFrame(bool standard) { _standardFrame = standard; }
    // The view they draw; none for the standard frame, drawn as it always was.
    std::optional<View> exportView() const;
    // Encoded high-resolution data drawn on the calling thread; progress,
    // status and the cancel button reach the sheet on the main thread.
    QByteArray hiResData(int code, const RenderRequest &request);

    // What the export thread shares with this object; the thread keeps it
    // alive, so the workflow may go while the thread still encodes.
    struct Shared {
        std::atomic<bool> cancel{false};
        std::mutex ownerMutex;
        ExportWorkflow *owner = nullptr;
    };
    // The sheet's reports, on the main thread.
    void showStatus(const QString &status) { setExportStatus(status); }
    void showProgress(int percent) { setExportProgress(percent); }
    void disableCancel();

private:
    struct ExportJob {
        RenderRequest request;
        QString path;
    };

    QString proposedExportName() const;
    ExportOptions *exportOptionsSheet();
    void runSavePanel(const SavePanelRequest &request, const SavePanelDone &done);
    using PanelEnd = void (ExportWorkflow::*)(int returnCode, const QString &path, const QString &contextInfo);
    void askForPath(const SavePanelRequest &request, PanelEnd then);
    static void doExportWithOptions(const std::shared_ptr<Shared> &shared, const ExportJob &job);
    // Runs call on the workflow's thread, unless the workflow is gone.
    static void postToOwner(const std::shared_ptr<Shared> &shared, std::function<void(ExportWorkflow &)> call);
    void exportFinished();
    void exportFailed(const QString &message);
    // The path to write for the panel's answer, or empty when the user
    // declines to replace it.
    QString confirmedPath(const QString &answer, const QString &suffix, bool replaceSettled);
    void setExportStatus(const QString &status);
    void setExportProgress(int percent);

    MyOpenGLView &_view;
    QPointer<ExportOptions> _exportOptions;
    std::shared_ptr<Shared> _shared;
    std::atomic<bool> _exporting{false};
    std::atomic<int32_t> _exportIterations{0};
    QString _exportFileName;
    bool _standardFrame = false;
    std::thread _exportThread;
};

} // namespace attractor
