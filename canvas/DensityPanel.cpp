#include "canvas/DensityPanel.h"

#include "canvas/MyOpenGLView.h"
#include "edit/EditableFractal.h"
#include "widgets/DensityControls.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>

namespace attractor {

namespace {

const QString kRefineKey = QStringLiteral("canvas/refineMillions");
constexpr int kMostRefineMillions = 2000;

} // namespace

DensityPanel::DensityPanel(MyOpenGLView *canvas, EditableFractal *model, QWidget *parent)
    : QDialog(parent, Qt::Tool)
    , _canvas(canvas)
    , _model(model)
    , _controls(new DensityControls(this))
    , _preview(new QCheckBox(tr("Show density on the canvas"), this))
    , _refine(new QSpinBox(this))
    , _shown(new QLabel(this))
{
    setWindowTitle(tr("Density"));
    _preview->setObjectName(QStringLiteral("previewBox"));
    _refine->setObjectName(QStringLiteral("refineBox"));
    _refine->setRange(0, kMostRefineMillions);
    _refine->setSuffix(tr(" million"));
    _refine->setSpecialValueText(tr("Off"));
    _refine->setToolTip(tr("While the window is idle the canvas keeps adding iterations up to this many"));
    _shown->setObjectName(QStringLiteral("shownLabel"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(_preview);
    layout->addWidget(_controls);
    // In the look's own form, so the fields line up.
    if (auto *form = qobject_cast<QFormLayout *>(_controls->layout()))
        form->addRow(tr("Refine up to:"), _refine);
    layout->addWidget(_shown);

    // The limit is the user's, for every document.
    _refine->setValue(QSettings().value(kRefineKey, 0).toInt());
    if (_canvas) {
        _preview->setChecked(_canvas->densityPreview());
        _canvas->setRefineLimit(_refine->value() * 1000000);
        connect(_preview, &QCheckBox::toggled, _canvas, &MyOpenGLView::setDensityPreview);
        connect(_canvas, &MyOpenGLView::densityPreviewChanged, _preview, &QCheckBox::setChecked);
        connect(_canvas, &MyOpenGLView::pictureShown, this, &DensityPanel::showIterations);
    }
    connect(_refine, &QSpinBox::valueChanged, this, [this](int millions) {
        QSettings().setValue(kRefineKey, millions);
        if (_canvas)
            _canvas->setRefineLimit(millions * 1000000);
    });
    connect(_controls, &DensityControls::lookEdited, this, [this](const DensityOptions &look) {
        if (!_model)
            return;
        // Each change of a field is a step of its own.
        _model->beginGesture();
        _model->setDensity(look);
    });
    if (_model) {
        connect(_model, &EditableFractal::settingsChanged, this, &DensityPanel::showModel);
        connect(_model, &EditableFractal::fractalReplaced, this, &DensityPanel::showModel);
    }
    showModel();
    showIterations();
}

void DensityPanel::showModel()
{
    if (_model)
        _controls->setLook(_model->fractal().density());
}

void DensityPanel::showIterations()
{
    const int32_t shown = _canvas ? _canvas->shownIterations() : 0;
    _shown->setText(shown > 0 ? tr("Shown: %1 iterations").arg(QLocale().toString(shown)) : QString());
}

} // namespace attractor
