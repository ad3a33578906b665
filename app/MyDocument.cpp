#include "app/MyDocument.h"

#include "app/DocumentController.h"
#include "app/DocumentWindow.h"
#include "app/Examples.h"
#include "app/Interchange.h"
#include "app/Prompts.h"
#include "app/Using.h"
#include "widgets/ColorWell.h"
#include "widgets/FloatSlider.h"
#include "widgets/ViewNavigator.h"
#include "editor/QvIFSView.h"
#include "model/QvTransform.h"
#include "persistence/DocumentFormat.h"
#include "persistence/DocumentReader.h"
#include "canvas/DensityPanel.h"
#include "canvas/MyOpenGLView.h"
#include "engine/PixelMapping.h"
#include "engine/RasterImage.h"
#include "engine/RenderRequest.h"

#include "ui_MyDocument.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPrinter>
#include <QStatusBar>
#include <QUndoStack>

namespace attractor {

namespace {

constexpr qreal kPrintMargin = 30.0;

} // namespace

MyDocument::MyDocument(QObject *parent)
    : Document(parent)
    , _ui(std::make_unique<Ui::MyDocument>())
    , _model(new EditableFractal(this))
{
    setUndoStack(_model->undoStack());
}

MyDocument::~MyDocument()
{
    // The canvases live in the window and observe the model: they go first.
    destroyWindow();
}

bool MyDocument::readFromData(const QByteArray &data, const QString &, QString *error)
{
    DocumentReadResult result = readDocument(data);
    if (!result.ok()) {
        *error = result.error.isEmpty() ? tr("The file is not a fractal document.") : result.error;
        return false;
    }
    _openedFromArchive = !isDocumentText(data);
    _model->resetFractal(result.fractal);
    if (!isReloading())
        _model->setView(result.view);
    return true;
}

QImage MyDocument::picture(int side) const
{
    RenderRequest request;
    request.tables = buildChaosTables(_model->fractal());
    request.size = QSize(side, side);
    request.view = _model->view();
    // Enough to recognise a fractal by at this size, in a moment.
    request.iterations = std::min(_model->fractal().iterations(), 50 * side * side);
    request.seed = 1;
    return hiResBitmapInsideRect(request).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QByteArray MyDocument::dataOfType(const QString &, QString *error) const
{
    Q_UNUSED(error);
    // The view as the user left it goes with the document, though changing it was no edit.
    return jsonRepresentation(_model->fractal(), _model->view()).toUtf8();
}

bool MyDocument::hasRunningExport() const
{
    return _fractalView && _fractalView->exporting();
}

void MyDocument::stopExport()
{
    // Only the cancel request: the export thread ends on its own and writes nothing.
    if (_fractalView)
        _fractalView->cancelExport();
}

QString MyDocument::proposedSavePath() const
{
    // An archive is never overwritten with text: the proposal is a .frac
    // beside it, under another name if the archive itself ends in .frac.
    const QString proposed = Document::proposedSavePath();
    if (!_openedFromArchive || proposed != filePath())
        return proposed;
    const QFileInfo info(proposed);
    return info.dir().filePath(info.completeBaseName() + tr(" converted") + QStringLiteral(".frac"));
}

void MyDocument::windowControllerDidLoadNib(DocumentWindow *window)
{
    auto *central = new QWidget(window);
    _ui->setupUi(central);
    window->setCentralWidget(central);
    // Where a refused edit says why.
    QStatusBar *status = window->statusBar();
    // Both canvases share the top row; at this size each has a square area.
    window->resize(1040, 617 + status->sizeHint().height());
    window->restoreLastGeometry();

    _ifsView = _ui->ifsView;
    _fractalView = _ui->fractalView;

    // Each canvas connects its own controls and observes the model.
    _fractalView->setIterSlider(_ui->iterSlider);
    _fractalView->setIterField(_ui->iterField);
    _fractalView->setBgColorWell(_ui->bgColorWell);
    _fractalView->setModel(_model);
    _ifsView->setControls({_ui->newTransformButton, _ui->deleteTransformButton, _ui->rotationSlider,
                           _ui->colorWell, _ui->probabilitySlider, _ui->infoButton});
    _ifsView->setModel(_model);
    _navigator = new ViewNavigator(_model, window);
    _navigator->addCanvas(_ifsView, [view = _ifsView] { return view->frame(); });
    _navigator->addCanvas(_fractalView, [view = _fractalView] { return view->frame(); });
    makeMenus(window);

    _ifsView->awakeFromNib();
    _fractalView->setDocumentDisplayName(displayName());
    connect(this, &Document::filePathChanged, _fractalView, [this] { _fractalView->setDocumentDisplayName(displayName()); });
}

void MyDocument::makeMenus(DocumentWindow *window)
{
    QMenuBar *bar = window->menuBar();
    auto add = [window](QMenu *menu, const QString &text, const QKeySequence &shortcut, auto receiver, auto slot) {
        QAction *action = menu->addAction(text);
        action->setShortcut(shortcut);
        connect(action, &QAction::triggered, receiver, slot);
        window->addAction(action);
        return action;
    };
    auto withController = [this](auto call) {
        return [this, call] {
            if (DocumentController *c = controller())
                call(c);
        };
    };

    QMenu *file = bar->addMenu(tr("&File"));
    add(file, tr("&New"), QKeySequence::New, this, withController([](DocumentController *c) { c->newDocument(); }));
    add(file, tr("&Open…"), QKeySequence::Open, this,
        withController([window](DocumentController *c) { c->openWithDialog(window); }));
    QMenu *recent = file->addMenu(tr("Open &Recent"));
    if (controller())
        controller()->attachRecentMenu(recent);
    add(file, tr("&Import…"), QKeySequence(), this,
        withController([window](DocumentController *c) { interchange::importWithDialog(*c, window); }));
    examples::fillMenu(file->addMenu(tr("E&xamples")), controller(), window);
    file->addSeparator();
    add(file, tr("&Close"), QKeySequence(tr("Ctrl+W")), window, &QWidget::close);
    add(file, tr("&Save"), QKeySequence(tr("Ctrl+S")), this, &Document::save);
    add(file, tr("Save &As…"), QKeySequence(tr("Ctrl+Shift+S")), this, &Document::saveAs);
    QAction *revertAction = add(file, tr("Re&vert to Saved"), QKeySequence(), this, &Document::revert);
    auto updateRevert = [this, revertAction] { revertAction->setEnabled(!filePath().isEmpty() && isDocumentEdited()); };
    connect(this, &Document::editedChanged, revertAction, updateRevert);
    connect(this, &Document::filePathChanged, revertAction, updateRevert);
    updateRevert();
    file->addSeparator();
    add(file, tr("Export as &JPEG…"), QKeySequence(tr("Ctrl+E")), this, &MyDocument::exportQuickly);
    add(file, tr("Export &High Resolution…"), QKeySequence(tr("Ctrl+Shift+E")), this, &MyDocument::exportHighResolution);
    add(file, tr("Export &Text…"), QKeySequence(), this, &MyDocument::exportText);
    add(file, tr("Export as I&FS…"), QKeySequence(), this, &MyDocument::exportIfs);
    add(file, tr("Export as flam3 Fla&me…"), QKeySequence(), this, &MyDocument::exportFlame);
    file->addSeparator();
    add(file, tr("Page Set&up…"), QKeySequence(tr("Ctrl+Shift+P")), this, &MyDocument::runPageLayout);
    add(file, tr("&Print…"), QKeySequence::Print, this, &MyDocument::printDocument);
    file->addSeparator();
    add(file, tr("&Quit"), QKeySequence(tr("Ctrl+Q")), this, withController([](DocumentController *c) { c->quit(); }));

    QMenu *edit = bar->addMenu(tr("&Edit"));
    QAction *undo = undoStack()->createUndoAction(window);
    undo->setShortcut(QKeySequence::Undo);
    QAction *redo = undoStack()->createRedoAction(window);
    redo->setShortcuts({QKeySequence(tr("Ctrl+Shift+Z")), QKeySequence(tr("Ctrl+Y"))});
    for (QAction *action : {undo, redo}) {
        edit->addAction(action);
        window->addAction(action);
    }
    edit->addSeparator();
    add(edit, tr("Cu&t"), QKeySequence::Cut, _ifsView, &QvIFSView::cut);
    add(edit, tr("&Copy"), QKeySequence::Copy, _ifsView, &QvIFSView::copy);
    add(edit, tr("&Paste"), QKeySequence::Paste, _ifsView, &QvIFSView::paste);
    add(edit, tr("D&uplicate"), QKeySequence(tr("Ctrl+D")), _ifsView, &QvIFSView::duplicate);
    add(edit, tr("Select &All"), QKeySequence::SelectAll, _ifsView, &QvIFSView::selectAll);
    edit->addSeparator();
    add(edit, tr("&New Map"), QKeySequence(tr("Ctrl+Shift+N")), _ifsView, &QvIFSView::newTransform);
    add(edit, tr("&Delete Map"), QKeySequence::Delete, _ifsView, &QvIFSView::deleteTransform);

    QMenu *fractal = bar->addMenu(tr("F&ractal"));
    add(fractal, tr("New &Random Fractal"), QKeySequence(tr("Ctrl+R")), this, &MyDocument::makeRandomFractal);
    add(fractal, tr("Export &Options…"), QKeySequence(), this, &MyDocument::showExportOptions);

    QMenu *view = bar->addMenu(tr("&View"));
    QAction *zoomIn = add(view, tr("Zoom &In"), QKeySequence(), _navigator, &ViewNavigator::zoomIn);
    // Ctrl+= needs no Shift where + shares its key.
    zoomIn->setShortcuts({QKeySequence(tr("Ctrl+=")), QKeySequence(tr("Ctrl++"))});
    add(view, tr("Zoom &Out"), QKeySequence(tr("Ctrl+-")), _navigator, &ViewNavigator::zoomOut);
    add(view, tr("&Fit Attractor"), QKeySequence(tr("Ctrl+0")), _navigator, &ViewNavigator::fitAttractor);
    add(view, tr("&Standard Frame"), QKeySequence(tr("Ctrl+1")), _navigator, &ViewNavigator::showStandardFrame);
    view->addSeparator();
    QAction *density = add(view, tr("&Density Preview"), QKeySequence(), _fractalView, &MyOpenGLView::setDensityPreview);
    density->setCheckable(true);
    density->setChecked(_fractalView->densityPreview());
    connect(_fractalView, &MyOpenGLView::densityPreviewChanged, density, &QAction::setChecked);
    add(view, tr("Density &Panel…"), QKeySequence(tr("Ctrl+Shift+D")), this, &MyDocument::showDensityPanel);

    QMenu *help = bar->addMenu(tr("&Help"));
    add(help, tr("&Tips"), QKeySequence::HelpContents, this, &MyDocument::showHelp);
    add(help, tr("&About Attractor"), QKeySequence(), this, [window] {
        QMessageBox::about(window, tr("About Attractor"),
                           tr("<h3>Attractor %1</h3><p>An editor for iterated-function-system fractals.</p>")
                               .arg(QCoreApplication::applicationVersion()));
    });
}

void MyDocument::showHelp()
{
    if (!_helpWindow)
        _helpWindow = new Using(window());
    _helpWindow->showWindow();
}

void MyDocument::makeRandomFractal()
{
    FracPtr fractal = QvFrac::randomFractal();
    for (const TransformPtr &map : *fractal->transforms())
        map->setRgb(_rgb_color{1, 1, 1, 1});
    _model->replaceFractal(*fractal, tr("New Random Fractal"));
}

void MyDocument::exportQuickly()
{
    if (_fractalView)
        _fractalView->exportToJPG();
}

void MyDocument::exportHighResolution()
{
    if (_fractalView)
        _fractalView->exportToHiRes();
}

void MyDocument::exportText()
{
    if (_ifsView)
        _ifsView->exportToText();
}

void MyDocument::exportIfs()
{
    exportAs(interchange::Format::Ifs);
}

void MyDocument::exportFlame()
{
    exportAs(interchange::Format::Flame);
}

void MyDocument::exportAs(interchange::Format format)
{
    // Named and placed as the document would be saved, with the format's extension.
    interchange::exportWithDialog(_model->fractal(), QFileInfo(displayName()).completeBaseName(), format,
                                  Document::proposedSavePath(), window());
}

DensityPanel *MyDocument::densityPanel()
{
    if (!_densityPanel && _fractalView)
        _densityPanel = new DensityPanel(_fractalView, _model, window());
    return _densityPanel;
}

void MyDocument::showDensityPanel()
{
    if (DensityPanel *panel = densityPanel()) {
        panel->show();
        panel->raise();
        panel->activateWindow();
    }
}

void MyDocument::showExportOptions()
{
    if (!_fractalView)
        return;
    // The options belong to an export: ask where it goes first, then show them.
    _fractalView->exportToHiRes();
}

QPrinter &MyDocument::printInfo()
{
    if (!_printInfo)
        _printInfo = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *_printInfo;
}

void MyDocument::runPageLayout()
{
    Prompts::pageSetup(window(), printInfo());
}

void MyDocument::printDocument()
{
    if (!_fractalView)
        return;
    QPrinter &printer = printInfo();
    printer.setFullPage(false);
    printer.setPageMargins(QMarginsF(kPrintMargin, kPrintMargin, kPrintMargin, kPrintMargin), QPageLayout::Point);
    _fractalView->setPrinting(true);
    if (Prompts::print(window(), printer))
        printFractal(printer);
    // Cancelled or printed, the canvas draws for the screen again.
    _fractalView->setPrinting(false);
}

bool MyDocument::printFractal(QPrinter &printer)
{
    QPainter painter;
    if (!painter.begin(&printer)) {
        const QString where = printer.outputFileName().isEmpty()
                                  ? printer.printerName()
                                  : QDir::toNativeSeparators(printer.outputFileName());
        Prompts::showError(window(), tr("Print failed"),
                           tr("“%1” could not be printed to “%2”.").arg(displayName(), where));
        return false;
    }
    // The painter starts at the corner of the area inside the margins.
    drawPage(painter, printer.pageRect(QPrinter::DevicePixel).size());
    return painter.end();
}

void MyDocument::drawPage(QPainter &painter, QSizeF area)
{
    // One scale for x and y, as on screen and in the quick export: the
    // largest centred square, whatever the shape of the window.
    const QRectF target = centredSquare(area);
    if (_fractalView)
        _fractalView->drawFractalAsImage(painter, target);
}

} // namespace attractor
