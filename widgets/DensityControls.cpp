#include "widgets/DensityControls.h"

#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QSignalBlocker>
#include <QSpinBox>

namespace attractor {

DensityControls::DensityControls(QWidget *parent)
    : QWidget(parent)
{
    auto *form = new QFormLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    const auto number = [this, form](const char *name, const QString &label, double low, double high, double step,
                                     const QString &tip) {
        auto *box = new QDoubleSpinBox(this);
        box->setObjectName(QLatin1String(name));
        box->setRange(low, high);
        box->setSingleStep(step);
        box->setDecimals(2);
        box->setToolTip(tip);
        // A typed number is one change, made when it is complete.
        box->setKeyboardTracking(false);
        form->addRow(label, box);
        connect(box, &QDoubleSpinBox::valueChanged, this, [this] {
            if (!_showing)
                emit lookEdited(look());
        });
        return box;
    };
    _gamma = number("gammaBox", tr("Gamma:"), kMinGamma, kMaxGamma, 0.1,
                    tr("Lifts the dim parts: 1 shows the density as it is"));
    _brightness = number("brightnessBox", tr("Brightness:"), 0.0, kMaxBrightness, 0.05,
                         tr("Scales the exposure, which follows the picture's mean density"));
    _vibrancy = number("vibrancyBox", tr("Vibrancy:"), 0.0, 1.0, 0.05,
                       tr("1 keeps colours saturated; lower applies the gamma to each channel, which pales them"));
    _highlight = number("highlightBox", tr("Highlight:"), 0.0, 1.0, 0.05,
                        tr("How far overexposed parts may turn white: 0 keeps their colour"));
    _radius = new QSpinBox(this);
    _radius->setObjectName(QStringLiteral("deRadiusBox"));
    _radius->setRange(0, kMaxDeRadius);
    _radius->setKeyboardTracking(false);
    _radius->setSuffix(tr(" px"));
    _radius->setSpecialValueText(tr("Off"));
    _radius->setToolTip(tr("The widest the noise filter spreads a sparse pixel's hits; dense detail stays sharp"));
    form->addRow(tr("Noise filter:"), _radius);
    connect(_radius, &QSpinBox::valueChanged, this, [this] {
        if (!_showing)
            emit lookEdited(look());
    });
    setLook(DensityOptions{});
}

void DensityControls::setLabelWidth(int width)
{
    auto *form = static_cast<QFormLayout *>(layout());
    for (int row = 0; row < form->rowCount(); ++row)
        if (QLayoutItem *label = form->itemAt(row, QFormLayout::LabelRole); label && label->widget())
            label->widget()->setMinimumWidth(width);
}

DensityOptions DensityControls::look() const
{
    DensityOptions look;
    look.supersample = _supersample;
    look.gamma = _gamma->value();
    look.brightness = _brightness->value();
    look.vibrancy = _vibrancy->value();
    look.highlight = _highlight->value();
    look.deRadius = _radius->value();
    return look;
}

void DensityControls::setLook(const DensityOptions &look)
{
    const DensityOptions usable = clampedDensityOptions(look);
    _showing = true;
    _supersample = usable.supersample;
    _gamma->setValue(usable.gamma);
    _brightness->setValue(usable.brightness);
    _vibrancy->setValue(usable.vibrancy);
    _highlight->setValue(usable.highlight);
    _radius->setValue(usable.deRadius);
    _showing = false;
}

} // namespace attractor
