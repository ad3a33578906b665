#pragma once

#include "app/Document.h"
#include "edit/EditableFractal.h"
#include "model/QvFrac.h"

#include <memory>

class QPainter;
class QPrinter;

namespace Ui {
class MyDocument;
}

namespace attractor {

class DensityPanel;
class MyOpenGLView;
class QvIFSView;
class Using;
class ViewNavigator;
namespace interchange {
enum class Format;
}

// A fractal document: its edit model, which both canvases of its window
// observe and change, and the commands on the whole document.
class MyDocument : public Document
{
    Q_OBJECT

public:
    explicit MyDocument(QObject *parent = nullptr);
    ~MyDocument() override;

    // The one owner of the fractal, its selection and its undo history.
    EditableFractal *model() const { return _model; }
    // The fractal as it is now; read only.
    FracPtr fractal() const { return _model->sharedFractal(); }

    QvIFSView *ifsView() const { return _ifsView; }
    MyOpenGLView *fractalView() const { return _fractalView; }
    Using *helpWindow() const { return _helpWindow; }
    // The renderer canvas's density panel, made on first use.
    DensityPanel *densityPanel();
    // Zoom and pan of both canvases; made with the window.
    ViewNavigator *navigator() const { return _navigator; }
    // The print settings, kept for the life of the document.
    QPrinter &printInfo();
    // True when the file was read as a legacy archive and not yet saved as text.
    bool openedFromArchive() const { return _openedFromArchive; }

    // Paints the attractor on printer's page, fitted and centred; false
    // (and the user told why) when the printer cannot be drawn on.
    bool printFractal(QPrinter &printer);
    // The printed picture on an area of this size, from the painter's origin.
    void drawPage(QPainter &painter, QSizeF area);
    QImage picture(int side) const override;

public slots:
    void showHelp();
    void makeRandomFractal();
    void exportQuickly();
    void exportHighResolution();
    void exportText();
    void exportIfs();
    void exportFlame();
    void showExportOptions();
    void showDensityPanel();
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
    void makeMenus(DocumentWindow *window);
    void exportAs(interchange::Format format);

    std::unique_ptr<Ui::MyDocument> _ui;
    EditableFractal *_model;
    QvIFSView *_ifsView = nullptr;
    MyOpenGLView *_fractalView = nullptr;
    Using *_helpWindow = nullptr;
    DensityPanel *_densityPanel = nullptr;
    ViewNavigator *_navigator = nullptr;
    std::unique_ptr<QPrinter> _printInfo;
    bool _openedFromArchive = false;
};

} // namespace attractor
