#include "canvas/ExportOptions.h"

#include "ui_ExportOptions.h"

#include <QLabel>
#include <QSettings>

#include <algorithm>

namespace attractor {

namespace {

const QString kRenderingKey = QStringLiteral("export/rendering");
const QString kSupersampleKey = QStringLiteral("export/supersample");
const QString kDensity = QStringLiteral("density");

} // namespace

ExportOptions::ExportOptions(QWidget *parent)
    : QDialog(parent)
    , _ui(std::make_unique<Ui::ExportOptions>())
{
    _ui->setupUi(this);
    // The look's fields sit in a form of their own; its labels take the
    // sheet's label column, so that all the fields line up.
    int labels = 0;
    for (const QLabel *label : {_ui->widthLabel, _ui->heightLabel, _ui->itersLabel, _ui->frameLabel,
                                _ui->renderingLabel, _ui->supersampleLabel})
        labels = std::max(labels, label->sizeHint().width());
    _ui->densityControls->setLabelWidth(labels);
    connect(_ui->exportButton, &QPushButton::clicked, this, &ExportOptions::exportRequested);
    connect(_ui->cancelButton, &QPushButton::clicked, this, &ExportOptions::cancelRequested);

    // The spin boxes clamp what a stale or hand-edited setting holds.
    const QSettings settings;
    const DensityOptions defaults;
    _ui->renderingBox->setCurrentIndex(settings.value(kRenderingKey).toString() == kDensity ? 1 : 0);
    _ui->supersampleBox->setValue(settings.value(kSupersampleKey, defaults.supersample).toInt());
    showDensityFields();
    connect(_ui->renderingBox, &QComboBox::currentIndexChanged, this, &ExportOptions::showDensityFields);
}

std::optional<DensityOptions> ExportOptions::densityOptions() const
{
    if (_ui->renderingBox->currentIndex() != 1)
        return std::nullopt;
    DensityOptions options = _ui->densityControls->look();
    options.supersample = _ui->supersampleBox->value();
    return options;
}

void ExportOptions::rememberRendering() const
{
    QSettings settings;
    settings.setValue(kRenderingKey, _ui->renderingBox->currentIndex() == 1 ? kDensity : QStringLiteral("points"));
    settings.setValue(kSupersampleKey, _ui->supersampleBox->value());
}

bool ExportOptions::standardFrameChosen() const
{
    return _ui->frameBox->currentIndex() == 1;
}

void ExportOptions::showFrameChoice(bool standard, bool offered)
{
    _ui->frameBox->setCurrentIndex(standard ? 1 : 0);
    _ui->frameBox->setEnabled(offered);
}

void ExportOptions::showDensityFields()
{
    // The density settings mean nothing to a points picture.
    const bool density = _ui->renderingBox->currentIndex() == 1;
    _ui->supersampleBox->setEnabled(density);
    _ui->densityControls->setEnabled(density);
}

ExportOptions::~ExportOptions() = default;

QLineEdit *ExportOptions::widthBox() const { return _ui->widthBox; }
QLineEdit *ExportOptions::heightBox() const { return _ui->heightBox; }
QLineEdit *ExportOptions::itersBox() const { return _ui->itersBox; }
QProgressBar *ExportOptions::progressIndicator() const { return _ui->progressIndicator; }
QLabel *ExportOptions::progressText() const { return _ui->progressText; }
QPushButton *ExportOptions::exportButton() const { return _ui->exportButton; }
QPushButton *ExportOptions::cancelButton() const { return _ui->cancelButton; }
QComboBox *ExportOptions::renderingBox() const { return _ui->renderingBox; }
QSpinBox *ExportOptions::supersampleBox() const { return _ui->supersampleBox; }
DensityControls *ExportOptions::densityControls() const { return _ui->densityControls; }
QComboBox *ExportOptions::frameBox() const { return _ui->frameBox; }

void ExportOptions::reject()
{
    // Once the image is being written, cancelling is no longer offered.
    if (_ui->cancelButton->isEnabled())
        emit cancelRequested();
}

} // namespace attractor
