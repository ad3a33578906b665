#pragma once

#include <QColor>
#include <QPushButton>

namespace attractor {

// A colour well: a button showing a colour swatch that opens a colour dialog
// (without alpha). Emits colorChanged only for a colour the user chose.
class ColorWell : public QPushButton
{
    Q_OBJECT
    Q_PROPERTY(QColor color READ color WRITE setColor)

public:
    explicit ColorWell(QWidget *parent = nullptr);

    QColor color() const { return _color; }
    // Shows a colour (an invalid one: none); does not emit colorChanged.
    void setColor(const QColor &color);

    // Sets the colour as if the user had chosen it in the dialog.
    void chooseColor(const QColor &color);

signals:
    void colorChanged(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void openDialog();

    QColor _color = Qt::black;
};

} // namespace attractor
