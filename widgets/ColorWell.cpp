#include "widgets/ColorWell.h"

#include <QColorDialog>
#include <QPainter>
#include <QStyleOptionButton>

namespace attractor {

ColorWell::ColorWell(QWidget *parent)
    : QPushButton(parent)
{
    setMinimumSize(44, 24);
    connect(this, &QPushButton::clicked, this, &ColorWell::openDialog);
}

void ColorWell::setColor(const QColor &color)
{
    if (_color == color)
        return;
    _color = color;
    update();
}

void ColorWell::chooseColor(const QColor &color)
{
    if (!color.isValid())
        return;
    setColor(color);
    emit colorChanged(_color);
}

void ColorWell::openDialog()
{
    auto *dialog = new QColorDialog(_color, window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setOption(QColorDialog::ShowAlphaChannel, false);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QColorDialog::colorSelected, this, &ColorWell::chooseColor);
    dialog->open();
}

void ColorWell::paintEvent(QPaintEvent *event)
{
    QPushButton::paintEvent(event);
    QPainter painter(this);
    const QRect swatch = rect().adjusted(6, 5, -6, -5);
    // No colour (nothing to show) leaves the swatch empty.
    if (_color.isValid()) {
        QColor shown = _color;
        if (!isEnabled())
            shown.setAlphaF(shown.alphaF() * 0.4f);
        painter.fillRect(swatch, shown);
    }
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                   QPalette::WindowText));
    painter.drawRect(swatch.adjusted(0, 0, -1, -1));
}

} // namespace attractor
