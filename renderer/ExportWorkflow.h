#pragma once

#include "renderer/ChaosGame.h"

#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

class QDialog;

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
    // empty function restores the dialog.
    static void setSavePanelRunner(SavePanelRunner runner);

    explicit ExportWorkflow(MyOpenGLView &view);
    // Stops a running export and waits for its thread.
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
    bool shouldCancel() const { return _shouldCancel.load(); }
    int32_t exportIterations() const { return _exportIterations.load(); }
    QString exportFileName() const { return _exportFileName; }
    // Encoded high-resolution data drawn on the calling thread; progress,
    // status and the cancel button reach the sheet on the main thread.
    QByteArray hiResData(int code, const ChaosTables &tables, int32_t iterations, const QRectF &rect);

private:
    struct ExportJob {
        ChaosTables tables;
        int32_t iterations = 0;
        QRectF rect;
        QString path;
    };

    QString proposedExportName() const;
    ExportOptions *exportOptionsSheet();
    void runSavePanel(const SavePanelRequest &request, const SavePanelDone &done);
    void doExportWithOptions(const ExportJob &job);
    void exportFinished();
    void setExportStatus(const QString &status);
    void setExportProgress(int percent);

    MyOpenGLView &_view;
    QPointer<ExportOptions> _exportOptions;
    std::atomic<bool> _shouldCancel{false};
    std::atomic<bool> _exporting{false};
    std::atomic<int32_t> _exportIterations{0};
    QString _exportFileName;
    std::thread _exportThread;
};

} // namespace attractor
