#pragma once

#include "app/Document.h"
#include "model/QvFrac.h"

#include <memory>

class QPrinter;

namespace Ui {
class MyDocument;
}

namespace attractor {

class MyOpenGLView;
class QvIFSView;
class Using;

// A fractal document: one fractal, shared with the editor canvas and the
// renderer canvas of its window, and the commands on the whole document.
class MyDocument : public Document
{
    Q_OBJECT

public:
    explicit MyDocument(QObject *parent = nullptr);
    ~MyDocument() override;

    FracPtr fractal() const { return _fractal; }
    void setFractal(FracPtr fractal);

    // The fractal's own settings, as the renderer's controls edit them.
    struct Settings {
        int32_t iterations = 0;
        _rgb_color bgColor;
    };
    // For undo steps: sets them and shows them through the one notification path.
    void applySettings(const Settings &settings);

    QvIFSView *ifsView() const { return _ifsView; }
    MyOpenGLView *fractalView() const { return _fractalView; }
    Using *helpWindow() const { return _helpWindow; }
    // The print settings, kept for the life of the document.
    QPrinter &printInfo();
    // True when the file was read as a legacy archive and not yet saved as text.
    bool openedFromArchive() const { return _openedFromArchive; }

    // Paints the attractor on printer's page, fitted and centred; false
    // (and the user told why) when the printer cannot be drawn on.
    bool printFractal(QPrinter &printer);

public slots:
    void showHelp();
    void makeRandomFractal();
    void exportQuickly();
    void exportHighResolution();
    void exportText();
    void showExportOptions();
    void printDocument();
    void runPageLayout();

protected:
    bool readFromData(const QByteArray &data, const QString &typeName, QString *error) override;
    QByteArray dataOfType(const QString &typeName, QString *error) const override;
    void windowControllerDidLoadNib(DocumentWindow *window) override;
    bool savesInPlace() const override { return !_openedFromArchive; }
    bool hasRunningExport() const override;
    void stopExport() override;
    QString proposedSavePath() const override;
    void didSave() override { _openedFromArchive = false; }

private:
    void connectControls();
    // Makes the renderer's last change to the settings an undo step.
    void recordSettings();
    void showIterations();
    void makeMenus(DocumentWindow *window);

    std::unique_ptr<Ui::MyDocument> _ui;
    FracPtr _fractal;
    QvIFSView *_ifsView = nullptr;
    MyOpenGLView *_fractalView = nullptr;
    Using *_helpWindow = nullptr;
    std::unique_ptr<QPrinter> _printInfo;
    bool _openedFromArchive = false;
    // The settings as the undo stack last knew them.
    Settings _settings;
};

} // namespace attractor
