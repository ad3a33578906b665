#include "app/MyDocument.h"

#include "app/DocumentController.h"
#include "app/DocumentWindow.h"
#include "app/Prompts.h"
#include "app/Using.h"
#include "widgets/ColorWell.h"
#include "widgets/FloatSlider.h"
#include "editor/QvIFSView.h"
#include "model/QvTransform.h"
#include "persistence/DocumentFormat.h"
#include "persistence/DocumentReader.h"
#include "renderer/MyOpenGLView.h"

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
#include <QUndoStack>

#include <cstring>

namespace attractor {

namespace {

constexpr qreal kPrintMargin = 30.0;

MyDocument::Settings settingsOf(const QvFrac &fractal)
{
    return {fractal.iterations(), fractal.bgColor()};
}

enum StepId { IterationsStep = 100, BackgroundStep };

// The renderer applies its own changes; the step is recorded after them.
class SettingsStep : public QUndoCommand
{
public:
    SettingsStep(MyDocument *document, StepId id, const MyDocument::Settings &before,
                 const MyDocument::Settings &after, int gesture)
        : QUndoCommand(id == IterationsStep ? MyDocument::tr("Change Iterations") : MyDocument::tr("Change Background"))
        , _document(document)
        , _id(id)
        , _before(before)
        , _after(after)
        , _gesture(gesture)
    {
    }
    int id() const override { return _id; }
    bool mergeWith(const QUndoCommand *other) override
    {
        const auto *next = static_cast<const SettingsStep *>(other);
        if (next->_gesture != _gesture)
            return false;
        _after = next->_after;
        return true;
    }
    void redo() override
    {
        if (_applied) {
            _applied = false;
            return;
        }
        if (_document)
            _document->applySettings(_after);
    }
    void undo() override
    {
        if (_document)
            _document->applySettings(_before);
    }

private:
    QPointer<MyDocument> _document;
    StepId _id;
    MyDocument::Settings _before;
    MyDocument::Settings _after;
    int _gesture;
    bool _applied = true;
};

// The whole fractal replaced; both sides kept as copies of their values.
class FractalStep : public QUndoCommand
{
public:
    FractalStep(MyDocument *document, const QString &name, FracPtr before, FracPtr after, int selectionBefore)
        : QUndoCommand(name)
        , _document(document)
        , _before(std::move(before))
        , _after(std::move(after))
        , _selectionBefore(selectionBefore)
    {
    }
    void redo() override
    {
        if (_document)
            _document->setFractal(_after->clone());
    }
    void undo() override
    {
        if (!_document)
            return;
        _document->setFractal(_before->clone());
        const TransformList &maps = *_document->fractal()->transforms();
        if (_document->ifsView() && _selectionBefore >= 0 && _selectionBefore < static_cast<int>(maps.size()))
            _document->ifsView()->setSelection(maps[static_cast<size_t>(_selectionBefore)].get());
    }

private:
    QPointer<MyDocument> _document;
    FracPtr _before;
    FracPtr _after;
    int _selectionBefore;
};

} // namespace

MyDocument::MyDocument(QObject *parent)
    : Document(parent)
    , _ui(std::make_unique<Ui::MyDocument>())
{
}

MyDocument::~MyDocument()
{
    // The canvases live in the window: stop listening before they go, so
    // that tearing down reports nothing to a half-destroyed document.
    if (_ifsView)
        disconnect(_ifsView, nullptr, this, nullptr);
    if (_fractalView)
        disconnect(_fractalView, nullptr, this, nullptr);
    setFractal(nullptr);
    destroyWindow();
}

void MyDocument::setFractal(FracPtr fractal)
{
    if (fractal == _fractal)
        return;
    _fractal = std::move(fractal);
    if (_fractal)
        _settings = settingsOf(*_fractal);
    if (_ifsView)
        _ifsView->setFractal(_fractal);
    showIterations();
}

void MyDocument::applySettings(const Settings &settings)
{
    if (!_fractal)
        return;
    _fractal->setIterations(settings.iterations);
    _fractal->setBgColor(settings.bgColor);
    _settings = settings;
    if (_fractalView)
        _fractalView->updateDisplay();
    if (_ifsView)
        _ifsView->updateDisplayAndFractal();
    showIterations();
}

void MyDocument::recordSettings()
{
    if (!_fractal || !_ifsView)
        return;
    const Settings now = settingsOf(*_fractal);
    // Compared bit for bit: a NaN from a file is no change.
    StepId id = IterationsStep;
    if (now.iterations == _settings.iterations) {
        if (std::memcmp(&now.bgColor, &_settings.bgColor, sizeof now.bgColor) == 0)
            return;
        id = BackgroundStep;
    }
    // A slider drag, press to release, is one step; anything else is a step of its own.
    if (id == BackgroundStep || !_ui->iterSlider->isSliderDown())
        _ifsView->beginGesture();
    undoStack()->push(new SettingsStep(this, id, _settings, now, _ifsView->gesture()));
    _settings = now;
}

void MyDocument::showIterations()
{
    if (_fractal && _ui->iterSlider)
        _ui->iterSlider->setToolTip(tr("Iterations: %1").arg(_fractal->iterations()));
}

bool MyDocument::readFromData(const QByteArray &data, const QString &, QString *error)
{
    DocumentReadResult result = readDocument(data);
    if (!result.ok()) {
        *error = result.error.isEmpty() ? tr("The file is not a fractal document.") : result.error;
        return false;
    }
    _openedFromArchive = !isDocumentText(data);
    setFractal(result.fractal);
    return true;
}

QByteArray MyDocument::dataOfType(const QString &, QString *error) const
{
    if (!_fractal) {
        *error = tr("The document holds no fractal.");
        return {};
    }
    return jsonRepresentation(*_fractal).toUtf8();
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
    // Both canvases share the top row; at this size each has a square area.
    window->resize(1040, 617);
    window->restoreLastGeometry();

    _ifsView = _ui->ifsView;
    _fractalView = _ui->fractalView;

    // The canvases connect their own controls and set the editor's slider ranges.
    _fractalView->setIterSlider(_ui->iterSlider);
    _fractalView->setBgColorWell(_ui->bgColorWell);
    _ifsView->setControls({_ui->newTransformButton, _ui->deleteTransformButton, _ui->rotationSlider,
                           _ui->colorWell, _ui->probabilitySlider, _ui->infoButton});
    _ifsView->setFractalView(_fractalView);
    _ifsView->setUndoStack(undoStack());
    connectControls();
    makeMenus(window);

    if (!_fractal)
        _fractal = QvFrac::defaultFractal();
    _ifsView->setFractal(_fractal);
    _settings = settingsOf(*_fractal);
    showIterations();
    _ifsView->awakeFromNib();
    _fractalView->setDocumentDisplayName(displayName());
    connect(this, &Document::filePathChanged, _fractalView, [this] { _fractalView->setDocumentDisplayName(displayName()); });
}

void MyDocument::connectControls()
{
    // Each canvas reports to the document of its own window, never to
    // whichever document happens to be in front. The editor's edits are
    // steps on the undo stack already; the renderer's become steps here.
    connect(_fractalView, &MyOpenGLView::changeMade, this, &MyDocument::recordSettings);
    connect(_ui->iterSlider, &QSlider::sliderPressed, _ifsView, &QvIFSView::beginGesture);
    connect(_ui->iterSlider, &QSlider::sliderReleased, _ifsView, &QvIFSView::beginGesture);
    connect(_ui->iterSlider, &QSlider::valueChanged, this, &MyDocument::showIterations);
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
    edit->addSeparator();
    add(edit, tr("&New Map"), QKeySequence(tr("Ctrl+Shift+N")), _ifsView, &QvIFSView::newTransform);
    add(edit, tr("&Delete Map"), QKeySequence::Delete, _ifsView, &QvIFSView::deleteTransform);

    QMenu *fractal = bar->addMenu(tr("F&ractal"));
    add(fractal, tr("New &Random Fractal"), QKeySequence(tr("Ctrl+R")), this, &MyDocument::makeRandomFractal);
    add(fractal, tr("Export &Options…"), QKeySequence(), this, &MyDocument::showExportOptions);

    QMenu *view = bar->addMenu(tr("&View"));
    QAction *density = add(view, tr("&Density Preview"), QKeySequence(), _fractalView, &MyOpenGLView::setDensityPreview);
    density->setCheckable(true);
    density->setChecked(_fractalView->densityPreview());

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
    if (!_fractal) {
        setFractal(fractal);
        return;
    }
    undoStack()->push(new FractalStep(this, tr("New Random Fractal"), _fractal->clone(), fractal,
                                        _ifsView ? _ifsView->selectionIndex() : -1));
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
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    const QRectF area(QPointF(0, 0), page.size());
    QSizeF picture = _fractalView ? QSizeF(_fractalView->size()) : area.size();
    if (picture.isEmpty())
        picture = area.size();
    const QSizeF fitted = picture.scaled(area.size(), Qt::KeepAspectRatio);
    const QRectF target(area.center() - QPointF(fitted.width() / 2, fitted.height() / 2), fitted);
    if (_fractalView)
        _fractalView->drawFractalAsImage(painter, target);
    return painter.end();
}

} // namespace attractor
