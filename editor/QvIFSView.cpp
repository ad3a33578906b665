#include "editor/QvIFSView.h"

#include "editor/GlyphGeometry.h"
#include "model/QvTransform.h"
#include "widgets/ColorWell.h"
#include "widgets/FloatSlider.h"

#include <QAbstractButton>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace attractor {

namespace {

constexpr double kTick = 3.0;
constexpr float kSliderSlack = 1e-6f;

// Colours from documents are not clamped; a painter needs 0..1 (and no NaN).
QColor paintColor(_rgb_color c, float alpha)
{
    return QColor::fromRgbF(clampedUnit(c.r), clampedUnit(c.g), clampedUnit(c.b), clampedUnit(alpha));
}

// The colour blended 38 % toward opaque black, alpha included.
QColor darkened(_rgb_color c)
{
    constexpr float f = 0.38f;
    return QColor::fromRgbF(clampedUnit(c.r * (1 - f)), clampedUnit(c.g * (1 - f)), clampedUnit(c.b * (1 - f)),
                            clampedUnit(c.a * (1 - f) + f));
}

// Square ends and mitred corners, as the glyph outlines were designed with.
QPen strokePen(const QColor &color, double width)
{
    QPen pen(color, width);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

} // namespace

QvIFSView::QvIFSView(QWidget *parent)
    : QWidget(parent)
    , _infoPanel(new InfoPanel(this))
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QvIFSView::~QvIFSView()
{
    if (_model)
        disconnect(_model, nullptr, this, nullptr);
}

void QvIFSView::setControls(const Controls &controls)
{
    auto forget = [this](QObject *control) {
        if (control)
            disconnect(control, nullptr, this, nullptr);
    };
    forget(_controls.newTransformButton);
    forget(_controls.deleteTransformButton);
    forget(_controls.rotationSlider);
    forget(_controls.colorWell);
    forget(_controls.probabilitySlider);
    forget(_controls.infoButton);

    _controls = controls;
    if (auto *b = _controls.newTransformButton)
        connect(b, &QAbstractButton::clicked, this, &QvIFSView::newTransform);
    if (auto *b = _controls.deleteTransformButton)
        connect(b, &QAbstractButton::clicked, this, &QvIFSView::deleteTransform);
    if (auto *b = _controls.infoButton)
        connect(b, &QAbstractButton::clicked, this, &QvIFSView::showInfo);
    // A slider drag, press to release, is one undo step.
    for (FloatSlider *s : {_controls.rotationSlider, _controls.probabilitySlider}) {
        if (s) {
            connect(s, &QSlider::sliderPressed, this, [this] {
                if (_model)
                    _model->beginGesture();
            });
            connect(s, &QSlider::sliderReleased, this, [this] {
                if (_model)
                    _model->beginGesture();
            });
        }
    }
    if (auto *s = _controls.rotationSlider) {
        s->setFloatRange(0.0f, static_cast<float>(kFullTurn));
        connect(s, &FloatSlider::floatValueChanged, this, &QvIFSView::changeRotation);
    }
    if (auto *s = _controls.probabilitySlider) {
        // Left is less likely, right more.
        s->setFloatRange(0.0f, kMaxProbability);
        connect(s, &FloatSlider::floatValueChanged, this, &QvIFSView::changeProbability);
    }
    if (auto *w = _controls.colorWell)
        connect(w, &ColorWell::colorChanged, this, &QvIFSView::changeColor);
    showControls();
}

void QvIFSView::setModel(EditableFractal *model)
{
    if (model == _model)
        return;
    if (_model)
        disconnect(_model, nullptr, this, nullptr);
    _model = model;
    _hover = -1;
    _infoPanel->setModel(model);
    if (_model) {
        connect(_model, &EditableFractal::fractalChanged, this, &QvIFSView::modelChanged);
        connect(_model, &EditableFractal::selectionChanged, this, &QvIFSView::updateDisplay);
        connect(_model, &EditableFractal::mapRemoved, this, &QvIFSView::mapRemoved);
        connect(_model, &EditableFractal::mapInserted, this, &QvIFSView::mapInserted);
        connect(_model, &EditableFractal::fractalReplaced, this, [this] { _hover = -1; });
        connect(_model, &EditableFractal::viewChanged, this, qOverload<>(&QWidget::update));
    }
    updateDisplay();
}

void QvIFSView::setFractal(FracPtr fractal)
{
    if (!_ownModel)
        _ownModel = std::make_unique<EditableFractal>();
    setModel(fractal ? _ownModel.get() : nullptr);
    if (fractal)
        _ownModel->resetFractal(std::move(fractal));
}

FracPtr QvIFSView::fractal() const
{
    return _model ? _model->sharedFractal() : nullptr;
}

void QvIFSView::modelChanged()
{
    updateDisplay();
    emit changeMade();
}

void QvIFSView::mapRemoved(int index)
{
    if (_hover == index)
        _hover = -1;
    else if (_hover > index)
        --_hover;
}

void QvIFSView::mapInserted(int index)
{
    if (_hover >= index)
        ++_hover;
}

void QvIFSView::awakeFromNib()
{
    _awoken = true;
    mouseEntered();
    setFocus(Qt::OtherFocusReason);
}

void QvIFSView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!_awoken)
        awakeFromNib();
}

int QvIFSView::selectionIndex() const
{
    return _model ? _model->selectedIndex() : -1;
}

const QvTransform *QvIFSView::selection() const
{
    return _model ? _model->selectedMap() : nullptr;
}

void QvIFSView::setSelection(const QvTransform *transform)
{
    if (!_model)
        return;
    int index = -1;
    for (int i = 0; transform && i < _model->mapCount(); ++i) {
        if (&_model->map(i) == transform)
            index = i;
    }
    _model->select(index);
}

const QvTransform *QvIFSView::halfSelection() const
{
    return _model && _hover >= 0 && _hover < _model->mapCount() ? &_model->map(_hover) : nullptr;
}

// ---------------------------------------------------------------- geometry

PixelMapping QvIFSView::frame() const
{
    return viewFrame(QSizeF(width(), height()), _model ? _model->view() : View());
}

QPointF QvIFSView::convertToUserCoords(QPointF p) const
{
    return frame().toDocument(p);
}

QPointF QvIFSView::convertFromUserCoords(QPointF u) const
{
    return frame().toPixels(u);
}

QSizeF QvIFSView::onePixelInUserCoords() const
{
    const PixelMapping f = frame();
    return {static_cast<float>(1.0 / f.scaleX), static_cast<float>(1.0 / f.scaleY)};
}

QPainterPath QvIFSView::pathFromTransform(const QvTransform &t) const
{
    return glyph::mapPath(t, frame());
}

QPainterPath QvIFSView::crosshairsFromTransform(const QvTransform &t) const
{
    return glyph::crosshairs(t, frame());
}

QPainterPath QvIFSView::selectionBoxFromTransform(const QvTransform &t) const
{
    // A round handle tells the user that dragging it will turn the map.
    return glyph::handle(t, frame(), _optionKeyDown);
}

QPainterPath QvIFSView::shearBoxFromTransform(const QvTransform &t) const
{
    return glyph::shearHandle(t, frame());
}

const QvTransform *QvIFSView::transformUnderPoint(QPointF viewPoint) const
{
    if (!_model || !hasArea())
        return nullptr;
    const int index = glyph::mapUnder(_model->fractal(), frame(), viewPoint);
    return index >= 0 ? &_model->map(index) : nullptr;
}

// ---------------------------------------------------------------- drawing

void QvIFSView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // View coordinates have y upward from the bottom-left corner.
    painter.translate(0, height());
    painter.scale(1, -1);
    drawRect(painter, QRectF(0, 0, width(), height()));
}

void QvIFSView::drawRect(QPainter &painter, const QRectF &) const
{
    painter.fillRect(QRectF(0, 0, width(), height()), Qt::white);
    if (!hasArea())
        return;
    drawGridBoxOnly(painter);
    drawAxes(painter);
    if (!_model)
        return;

    const QvTransform *hover = halfSelection();
    const QvTransform *selected = selection();
    int index = -1;
    for (const TransformPtr &t : *_model->fractal().transforms()) {
        ++index;
        if (!t)
            continue;
        const QPainterPath glyph = pathFromTransform(*t);
        const _rgb_color rgb = t->rgb();
        float alpha = rgb.a;
        if (t.get() != hover) {
            // Maps with an explicit probability show it through their opacity.
            alpha = t->autoProbability()
                        ? 0.8f
                        : static_cast<float>(0.6 + static_cast<double>((2.0f - t->probability()) / 5.0f));
        }
        painter.fillPath(glyph, paintColor(rgb, alpha));

        const bool isSelected = _model->isSelected(index);
        painter.strokePath(crosshairsFromTransform(*t), strokePen(darkened(rgb), isSelected ? 2.0 : 1.0));
        const double outline = isSelected ? 3.0 : (t.get() == hover ? 1.5 : 1.0);
        painter.strokePath(glyph, strokePen(Qt::black, outline));
    }

    if (selected) {
        for (const QPainterPath &box : {shearBoxFromTransform(*selected), selectionBoxFromTransform(*selected)}) {
            painter.fillPath(box, Qt::white);
            painter.strokePath(box, strokePen(Qt::black, 2.0));
        }
    }
    if (_banding) {
        QPen dashed = strokePen(Qt::black, 1.0);
        dashed.setStyle(Qt::DashLine);
        painter.setPen(dashed);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rubberBand());
    }
}

void QvIFSView::drawGridBoxOnly(QPainter &painter) const
{
    QPainterPath path;
    path.moveTo(convertFromUserCoords({-1, -1}));
    path.lineTo(convertFromUserCoords({-1, 1}));
    path.lineTo(convertFromUserCoords({1, 1}));
    path.lineTo(convertFromUserCoords({1, -1}));
    path.closeSubpath();
    painter.strokePath(path, strokePen(QColor::fromRgbF(0.6181f, 0.6181f, 0.6181f, 1.0f), 1.0));
}

void QvIFSView::drawAxes(QPainter &painter) const
{
    QPainterPath axes;
    axes.moveTo(convertFromUserCoords({kFrameMin, 0}));
    axes.lineTo(convertFromUserCoords({kFrameMax, 0}));
    axes.moveTo(convertFromUserCoords({0, kFrameMin}));
    axes.lineTo(convertFromUserCoords({0, kFrameMax}));
    painter.strokePath(axes, strokePen(Qt::black, 1.0));

    QPainterPath ticks;
    for (int i = -2; i <= 2; ++i) {
        const QPointF p = convertFromUserCoords({static_cast<double>(i), 0});
        ticks.moveTo(p.x(), p.y() + kTick);
        ticks.lineTo(p.x(), p.y() - kTick);
    }
    for (int j = -2; j <= 2; ++j) {
        const QPointF p = convertFromUserCoords({0, static_cast<double>(j)});
        ticks.moveTo(p.x() + kTick, p.y());
        ticks.lineTo(p.x() - kTick, p.y());
    }
    painter.strokePath(ticks, strokePen(Qt::black, 1.0));
}

void QvIFSView::updateDisplay()
{
    update();
    showControls();
}

void QvIFSView::showControls()
{
    const int count = _model ? _model->mapCount() : 0;
    const Controls &c = _controls;

    if (const QvTransform *s = selection()) {
        if (c.rotationSlider) {
            c.rotationSlider->setEnabled(true);
            float v = static_cast<float>(kQuarterTurn - static_cast<double>(s->rotation()));
            // The left end gives a quarter turn rounded to 32 bits, a hair past
            // it: that is still the left end, not a wrap to the right one.
            if (v < 0.0f && v > -kSliderSlack)
                v = 0.0f;
            else if (v < 0.0f)
                v = static_cast<float>(static_cast<double>(v) + kFullTurn);
            c.rotationSlider->setFloatValue(v);
            const double degrees = static_cast<double>(s->rotation()) * 180.0 / std::numbers::pi;
            c.rotationSlider->setToolTip(tr("Rotation: %1°").arg(degrees, 0, 'f', 1));
        }
        if (c.colorWell) {
            c.colorWell->setEnabled(true);
            c.colorWell->setColor(s->color());
        }
        if (c.probabilitySlider) {
            c.probabilitySlider->setEnabled(true);
            c.probabilitySlider->setFloatValue(s->probability());
            c.probabilitySlider->setToolTip(
                tr("Probability: %1").arg(static_cast<double>(s->probability()), 0, 'g', 4));
        }
        if (c.infoButton)
            c.infoButton->setEnabled(true);
        if (c.deleteTransformButton)
            c.deleteTransformButton->setEnabled(count > _model->selectedIndices().size());
    } else {
        for (QWidget *w : {static_cast<QWidget *>(c.deleteTransformButton),
                           static_cast<QWidget *>(c.rotationSlider), static_cast<QWidget *>(c.colorWell),
                           static_cast<QWidget *>(c.probabilitySlider),
                           static_cast<QWidget *>(c.infoButton)}) {
            if (w)
                w->setEnabled(false);
        }
        // Nothing selected shows no map's values.
        for (FloatSlider *s : {c.rotationSlider, c.probabilitySlider}) {
            if (s) {
                s->setFloatValue(s->floatMinimum());
                s->setToolTip(QString());
            }
        }
        if (c.colorWell)
            c.colorWell->setColor(QColor());
    }
    if (c.newTransformButton)
        c.newTransformButton->setEnabled(count < kMaxTransformsForNew);
}

void QvIFSView::showInfo()
{
    _infoPanel->show();
    _infoPanel->raise();
    _infoPanel->activateWindow();
}

} // namespace attractor
