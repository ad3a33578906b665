#include "editor/QvIFSView.h"

#include "editor/Beep.h"
#include "editor/MapCommands.h"
#include "widgets/ColorWell.h"
#include "widgets/FloatSlider.h"
#include "model/Log.h"
#include "model/QvTransform.h"
#include "persistence/DocumentFormat.h"
#include "persistence/Report.h"
#include "renderer/MyOpenGLView.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QUndoStack>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QSaveFile>

#include <algorithm>
#include <charconv>
#include <numbers>
#include <cmath>

namespace attractor {

namespace {

constexpr double kRotationStep = 0.017453292519944444;
constexpr double kFullTurn = 6.28318530718;
constexpr double kQuarterTurn = 1.570796326795;
constexpr double kScaleStep = 0.01;
constexpr float kMinHalfSize = 0.05f;
constexpr double kCorner = 3.0;
constexpr double kCrosshairHalf = 0.05f;
constexpr double kHandleHalf = 5.0;
constexpr double kTick = 3.0;
constexpr int kMaxTransformsForNew = 10;
constexpr float kSliderSlack = 1e-6f;
// Keys pressed further apart than this start a new undo step.
constexpr qint64 kKeyPauseMs = 1000;
// Where a pasted or duplicated map goes, from its original: near, but both visible.
constexpr double kCopyOffset = 0.1;

// The shortest text that reads back as the same number at the stored width.
template <class Number>
QString shortest(Number v)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

double degreesOf(const QvTransform &t)
{
    return static_cast<double>(t.rotation()) * 180.0 / std::numbers::pi;
}

const QString kTextContext = QStringLiteral("txt");

// Colours from documents are not clamped; a painter needs 0..1 (and no NaN).
float unit(float v)
{
    if (!(v > 0.0f))
        return 0.0f;
    return v > 1.0f ? 1.0f : v;
}

QColor paintColor(_rgb_color c, float alpha)
{
    return QColor::fromRgbF(unit(c.r), unit(c.g), unit(c.b), unit(alpha));
}

// The colour blended 38 % toward opaque black, alpha included.
QColor darkened(_rgb_color c)
{
    constexpr float f = 0.38f;
    return QColor::fromRgbF(unit(c.r * (1 - f)), unit(c.g * (1 - f)), unit(c.b * (1 - f)),
                            unit(c.a * (1 - f) + f));
}

// Square ends and mitred corners, as the glyph outlines were designed with.
QPen strokePen(const QColor &color, double width)
{
    QPen pen(color, width);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

float minimumHalfSize(float v)
{
    if (v >= 0.0f && v < kMinHalfSize)
        return kMinHalfSize;
    if (v < 0.0f && v > -kMinHalfSize)
        return -kMinHalfSize;
    return v;
}

QString formatPair(QPointF p)
{
    return QString::asprintf("(%.3f, %.3f)", p.x(), p.y());
}

QString formatEntry(float v)
{
    return QLocale::c().toString(static_cast<double>(v), 'g', 6);
}

} // namespace

const QString QvIFSView::kMapMimeType = QStringLiteral("application/x-attractor-map");

QvIFSView::QvIFSView(QWidget *parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    buildInfoPanel();
}

QvIFSView::~QvIFSView() = default;

void QvIFSView::buildInfoPanel()
{
    _infoPanel = new QWidget(this, Qt::Tool);
    _infoPanel->setWindowTitle(tr("Info"));
    auto *layout = new QFormLayout(_infoPanel);
    auto field = [this, layout](const QString &label) {
        auto *edit = new QLineEdit(_infoPanel);
        edit->setReadOnly(true);
        edit->setMinimumWidth(160);
        layout->addRow(label, edit);
        return edit;
    };
    _info.translation = field(tr("Translation:"));
    _info.rotation = field(tr("Rotation:"));
    _info.scale = field(tr("Scale:"));
    _info.a = field(QStringLiteral("A:"));
    _info.b = field(QStringLiteral("B:"));
    _info.c = field(QStringLiteral("C:"));
    _info.d = field(QStringLiteral("D:"));
    auto editable = [this, field](const QString &label) {
        QLineEdit *edit = field(label);
        edit->setReadOnly(false);
        connect(edit, &QLineEdit::editingFinished, this, [this, edit] { applyInfoField(edit); });
        return edit;
    };
    _info.tx = editable(tr("Translation X:"));
    _info.ty = editable(tr("Translation Y:"));
    _info.sx = editable(tr("Scale X:"));
    _info.sy = editable(tr("Scale Y:"));
    _info.degrees = editable(tr("Rotation (°):"));
    _info.probability = editable(tr("Probability:"));
    _infoPanel->hide();
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
            connect(s, &QSlider::sliderPressed, this, &QvIFSView::beginGesture);
            connect(s, &QSlider::sliderReleased, this, &QvIFSView::beginGesture);
        }
    }
    if (auto *s = _controls.rotationSlider) {
        s->setFloatRange(0.0f, static_cast<float>(kFullTurn));
        connect(s, &FloatSlider::floatValueChanged, this, &QvIFSView::changeRotation);
    }
    if (auto *s = _controls.probabilitySlider) {
        s->setFloatRange(-2.0f, 0.0f);
        connect(s, &FloatSlider::floatValueChanged, this, &QvIFSView::changeProbability);
    }
    if (auto *w = _controls.colorWell)
        connect(w, &ColorWell::colorChanged, this, &QvIFSView::changeColor);
    updateDisplay();
}

void QvIFSView::setFractalView(MyOpenGLView *view)
{
    _fractalView = view;
    if (_fractalView)
        _fractalView->setFractal(_fractal);
}

void QvIFSView::setFractal(FracPtr fractal)
{
    if (fractal == _fractal)
        return;
    _fractal = std::move(fractal);
    // Both references belonged to the old fractal.
    _selection = nullptr;
    _halfSelection = nullptr;
    if (_fractalView)
        _fractalView->setFractal(_fractal);
    if (_fractal)
        updateDisplayAndFractal();
    else
        updateDisplay();
}

void QvIFSView::awakeFromNib()
{
    _awoken = true;
    if (!_fractal)
        setFractal(QvFrac::defaultFractal());
    mouseEntered();
    setFocus(Qt::OtherFocusReason);
}

void QvIFSView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!_awoken)
        awakeFromNib();
}

void QvIFSView::setSelection(QvTransform *transform)
{
    if (transform == _selection)
        return;
    _selection = transform;
    updateDisplay();
}

// ---------------------------------------------------------------- geometry

namespace {

// The user square's place in a view of this size: the largest centred
// square, so that x and y share one scale whatever the view's shape.
QRectF userSquareIn(int width, int height)
{
    const double side = static_cast<float>(std::min(width, height));
    return {(width - side) / 2.0, (height - side) / 2.0, side, side};
}

} // namespace

QPointF QvIFSView::convertToUserCoords(QPointF p) const
{
    const QRectF square = userSquareIn(width(), height());
    const double xRange = _rxMax - _rxMin;
    const double yRange = _ryMax - _ryMin;
    return {(p.x() - square.x()) / square.width() * xRange + _rxMin,
            (p.y() - square.y()) / square.height() * yRange + _ryMin};
}

QPointF QvIFSView::convertFromUserCoords(QPointF u) const
{
    const QRectF square = userSquareIn(width(), height());
    const double xRange = _rxMax - _rxMin;
    const double yRange = _ryMax - _ryMin;
    return {(u.x() - _rxMin) / xRange * square.width() + square.x(),
            (u.y() - _ryMin) / yRange * square.height() + square.y()};
}

QSizeF QvIFSView::onePixelInUserCoords() const
{
    const QRectF square = userSquareIn(width(), height());
    const double xRange = _rxMax - _rxMin;
    const double yRange = _ryMax - _ryMin;
    return {static_cast<float>(xRange / square.width()), static_cast<float>(yRange / square.height())};
}

std::optional<QTransform> QvIFSView::affineTransformFromQvTransform(const QvTransform *t)
{
    if (!t)
        return std::nullopt;
    if (t->rotation() == 0.0f)
        return QTransform();
    const QPointF c = t->translation();
    QTransform transform;
    transform.translate(c.x(), c.y());
    transform.rotateRadians(-static_cast<double>(t->rotation()));
    transform.translate(-c.x(), -c.y());
    return transform;
}

void QvIFSView::rotateBezierPath(QPainterPath &path, QPointF center, float radians)
{
    if (radians == 0.0f)
        return;
    QTransform transform;
    transform.translate(center.x(), center.y());
    transform.rotateRadians(radians);
    transform.translate(-center.x(), -center.y());
    const Qt::FillRule rule = path.fillRule();
    path = transform.map(path);
    path.setFillRule(rule);
}

QPainterPath QvIFSView::pathFromTransform(const QvTransform &t) const
{
    const QPointF tr = t.translation();
    const QPointF s = t.scale();
    const double hx = minimumHalfSize(static_cast<float>(_boxWidth * s.x()));
    const double hy = minimumHalfSize(static_cast<float>(_boxWidth * s.y()));
    const double sigmaX = static_cast<float>(std::abs(hx) / hx);
    const double sigmaY = static_cast<float>(std::abs(hy) / hy);

    const QPointF a = convertFromUserCoords({tr.x() - hx, tr.y() - hy});
    const QPointF b = convertFromUserCoords({tr.x() - hx, tr.y() + hy});
    const QPointF c = convertFromUserCoords({tr.x() + hx, tr.y() + hy});
    const QPointF d = convertFromUserCoords({tr.x() + hx, tr.y() - hy});

    // The rounded corner C shows which way the map is mirrored and turned.
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.moveTo(a);
    path.lineTo(b);
    path.lineTo(c.x() - 2 * kCorner * sigmaX, c.y());
    path.cubicTo(QPointF(c.x() - kCorner * sigmaX, c.y()), QPointF(c.x(), c.y() - kCorner * sigmaY),
                 QPointF(c.x(), c.y() - 2 * kCorner * sigmaY));
    path.lineTo(d);
    path.closeSubpath();
    rotateBezierPath(path, convertFromUserCoords(tr), t.rotation());
    return path;
}

QPainterPath QvIFSView::crosshairsFromTransform(const QvTransform &t) const
{
    const QPointF tr = t.translation();
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.moveTo(convertFromUserCoords({tr.x() - kCrosshairHalf, tr.y()}));
    path.lineTo(convertFromUserCoords({tr.x() + kCrosshairHalf, tr.y()}));
    path.moveTo(convertFromUserCoords({tr.x(), tr.y() + kCrosshairHalf}));
    path.lineTo(convertFromUserCoords({tr.x(), tr.y() - kCrosshairHalf}));
    rotateBezierPath(path, convertFromUserCoords(tr), t.rotation());
    return path;
}

QPainterPath QvIFSView::selectionBoxFromTransform(const QvTransform &t) const
{
    const QPointF tr = t.translation();
    const QPointF s = t.scale();
    // No minimum size here: a tiny map's handle sits where its scale says.
    const double hx = static_cast<float>(_boxWidth * s.x());
    const double hy = static_cast<float>(_boxWidth * s.y());
    const QPointF p = convertFromUserCoords({tr.x() + hx, tr.y() + hy});
    const QRectF box(p.x() - kHandleHalf, p.y() - kHandleHalf, 2 * kHandleHalf, 2 * kHandleHalf);
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    // A round handle tells the user that dragging it will turn the map.
    if (_optionKeyDown)
        path.addEllipse(box);
    else
        path.addRect(box);
    rotateBezierPath(path, convertFromUserCoords(tr), t.rotation());
    return path;
}

QvTransform *QvIFSView::transformUnderPoint(QPointF viewPoint) const
{
    if (!_fractal || !hasArea())
        return nullptr;
    const TransformList &list = *_fractal->transforms();
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        if (*it && pathFromTransform(**it).contains(viewPoint))
            return it->get();
    }
    return nullptr;
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
    if (!_fractal)
        return;

    for (const TransformPtr &t : *_fractal->transforms()) {
        if (!t)
            continue;
        const QPainterPath glyph = pathFromTransform(*t);
        const _rgb_color rgb = t->rgb();
        float alpha = rgb.a;
        if (t.get() != _halfSelection) {
            // Maps with an explicit probability show it through their opacity.
            alpha = t->autoProbability()
                        ? 0.8f
                        : static_cast<float>(0.6 + static_cast<double>((2.0f - t->probability()) / 5.0f));
        }
        painter.fillPath(glyph, paintColor(rgb, alpha));

        const bool selected = t.get() == _selection;
        painter.strokePath(crosshairsFromTransform(*t), strokePen(darkened(rgb), selected ? 2.0 : 1.0));
        const double outline = selected ? 3.0 : (t.get() == _halfSelection ? 1.5 : 1.0);
        painter.strokePath(glyph, strokePen(Qt::black, outline));
    }

    if (_selection) {
        const QPainterPath box = selectionBoxFromTransform(*_selection);
        painter.fillPath(box, Qt::white);
        painter.strokePath(box, strokePen(Qt::black, 2.0));
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
    axes.moveTo(convertFromUserCoords({_rxMin, 0}));
    axes.lineTo(convertFromUserCoords({_rxMax, 0}));
    axes.moveTo(convertFromUserCoords({0, _ryMin}));
    axes.lineTo(convertFromUserCoords({0, _ryMax}));
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
    const int count = _fractal ? static_cast<int>(_fractal->transforms()->size()) : 0;
    const Controls &c = _controls;

    if (QvTransform *s = _selection) {
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
            c.rotationSlider->setToolTip(tr("Rotation: %1°").arg(degreesOf(*s), 0, 'f', 1));
        }
        if (c.colorWell) {
            c.colorWell->setEnabled(true);
            c.colorWell->setColor(s->color());
        }
        if (c.probabilitySlider) {
            c.probabilitySlider->setEnabled(true);
            c.probabilitySlider->setFloatValue(0.0f - s->probability());
            c.probabilitySlider->setToolTip(tr("Probability: %1").arg(static_cast<double>(s->probability()), 0, 'g', 4));
        }
        if (c.infoButton)
            c.infoButton->setEnabled(true);
        if (c.deleteTransformButton)
            c.deleteTransformButton->setEnabled(count > 1);
    } else {
        for (QWidget *w : {static_cast<QWidget *>(c.deleteTransformButton),
                           static_cast<QWidget *>(c.rotationSlider), static_cast<QWidget *>(c.colorWell),
                           static_cast<QWidget *>(c.probabilitySlider),
                           static_cast<QWidget *>(c.infoButton)}) {
            if (w)
                w->setEnabled(false);
        }
    }
    if (c.newTransformButton)
        c.newTransformButton->setEnabled(count < kMaxTransformsForNew);

    if (QvTransform *s = _selection) {
        const _t_matrix m = s->transformMatrix();
        _info.translation->setText(formatPair(s->translation()));
        _info.rotation->setText(QString::asprintf("%.3f radians", static_cast<double>(s->rotation())));
        _info.scale->setText(formatPair(s->scale()));
        _info.a->setText(formatEntry(m.a));
        _info.b->setText(formatEntry(m.b));
        _info.c->setText(formatEntry(m.c));
        _info.d->setText(formatEntry(m.d));
    } else {
        for (QLineEdit *field : {_info.translation, _info.rotation, _info.scale, _info.a, _info.b,
                                 _info.c, _info.d})
            field->setText(QString());
    }
    for (QLineEdit *field : {_info.tx, _info.ty, _info.sx, _info.sy, _info.degrees, _info.probability}) {
        field->setEnabled(_selection != nullptr);
        field->setText(_selection ? fieldText(field, *_selection) : QString());
    }
}

void QvIFSView::madeAChange()
{
    emit changeMade();
}

void QvIFSView::updateDisplayAndFractal()
{
    updateDisplay();
    if (_fractalView)
        _fractalView->update();
    madeAChange();
}

void QvIFSView::showInfo()
{
    _infoPanel->show();
    _infoPanel->raise();
    _infoPanel->activateWindow();
}

// ---------------------------------------------------------------- mouse

void QvIFSView::mouseEntered()
{
    _mouseExited = false;
}

void QvIFSView::mouseExited()
{
    _mouseExited = true;
}

void QvIFSView::flagsChanged(Qt::KeyboardModifiers modifiers)
{
    _optionKeyDown = modifiers.testFlag(Qt::AltModifier);
    update();
}

void QvIFSView::mouseMoved(QPointF viewPoint)
{
    _mouseMovedPoint = viewPoint;
    QvTransform *t = transformUnderPoint(viewPoint);
    if (!t && _halfSelection) {
        _halfSelection = nullptr;
        update();
    } else if (t && t != _halfSelection) {
        _halfSelection = t;
        update();
    }
}

void QvIFSView::mouseDown(QPointF viewPoint)
{
    beginGesture();
    mouseEntered();
    _mouseDownPoint = viewPoint;
    if (_selection) {
        _mouseDownScale = _selection->scale();
        // The handle wins over any glyph drawn above it.
        if (selectionBoxFromTransform(*_selection).contains(viewPoint)) {
            _scalingSelection = true;
            return;
        }
    }
    QvTransform *t = transformUnderPoint(viewPoint);
    if (!t) {
        if (_selection) {
            _selection = nullptr;
            updateDisplay();
        }
        return;
    }
    _mouseDownScale = t->scale();
    if (t != _selection) {
        _selection = t;
        updateDisplay();
    }
    // Keeps the grabbed point of the glyph under the pointer while moving.
    _offset = convertToUserCoords(viewPoint) - t->translation();
}

void QvIFSView::mouseDragged(QPointF viewPoint, Qt::KeyboardModifiers modifiers, bool rightButton)
{
    _optionKeyDown = modifiers.testFlag(Qt::AltModifier) || rightButton;
    _mouseDraggedPoint = viewPoint;
    if (!_selection || !hasArea())
        return;

    QvTransform next = *_selection;
    int kind = MapEditCommand::Move;
    if (!_scalingSelection) {
        QPointF p = convertToUserCoords(viewPoint) - _offset;
        // The centre stays inside the visible square so the map can always be grabbed again.
        if (p.x() > _rxMax)
            p.setX(_rxMax);
        if (p.x() < _rxMin)
            p.setX(_rxMin);
        if (p.y() > _ryMax)
            p.setY(_ryMax);
        if (p.y() < _ryMin)
            p.setY(_ryMin);
        next.setTranslation(p);
    } else {
        kind = MapEditCommand::Scale;
        if (_optionKeyDown) {
            kind = MapEditCommand::Rotate;
            const QPointF d = convertToUserCoords(viewPoint) - next.translation();
            const QPointF s = _mouseDownScale;
            float c = static_cast<float>((s.x() * d.x() + s.y() * d.y())
                                         / (std::sqrt(s.x() * s.x() + s.y() * s.y())
                                            * std::sqrt(d.x() * d.x() + d.y() * d.y())));
            // A pointer on the centre or a zero scale has no direction: keep
            // the rotation. Rounding can push a parallel pair just past 1.
            if (!std::isnan(c)) {
                c = std::clamp(c, -1.0f, 1.0f);
                float phi = std::acos(c);
                const float z = static_cast<float>(s.x() * d.y() - s.y() * d.x());
                if (z < 0.0f)
                    phi = -phi;
                next.setRotation(phi);
            }
        }
        const std::optional<QTransform> unturn = affineTransformFromQvTransform(&next);
        const QTransform a = unturn.value_or(QTransform());
        const QPointF pa = convertToUserCoords(a.map(viewPoint));
        const QPointF pb = convertToUserCoords(a.map(convertFromUserCoords(next.translation())));
        next.setScale(pa - pb);
    }
    commitMapEdit(kind, next);
}

void QvIFSView::mouseUp(int clickCount)
{
    _scalingSelection = false;
    beginGesture();
    if (clickCount == 2)
        showInfo();
}

void QvIFSView::rightMouseDown(QPointF viewPoint)
{
    _optionKeyDown = true;
    mouseDown(viewPoint);
}

void QvIFSView::rightMouseDragged(QPointF viewPoint, Qt::KeyboardModifiers modifiers)
{
    mouseDragged(viewPoint, modifiers, true);
}

void QvIFSView::rightMouseUp(Qt::KeyboardModifiers modifiers, int clickCount)
{
    _optionKeyDown = modifiers.testFlag(Qt::AltModifier);
    update();
    mouseUp(clickCount);
}

QPointF QvIFSView::viewPointFromEvent(const QMouseEvent *event) const
{
    const QPointF p = event->position();
    return {p.x(), height() - p.y()};
}

void QvIFSView::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    mouseEntered();
}

void QvIFSView::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    mouseExited();
}

void QvIFSView::mousePressEvent(QMouseEvent *event)
{
    // A second button during a gesture belongs to that gesture.
    if (_gestureButton != Qt::NoButton
        || (event->button() != Qt::LeftButton && event->button() != Qt::RightButton)) {
        event->ignore();
        return;
    }
    // The Option key may have changed while another widget had the keyboard.
    if (event->modifiers().testFlag(Qt::AltModifier) != _optionKeyDown)
        flagsChanged(event->modifiers());
    _gestureButton = event->button();
    _clickCount = 1;
    if (_gestureButton == Qt::RightButton)
        rightMouseDown(viewPointFromEvent(event));
    else
        mouseDown(viewPointFromEvent(event));
    event->accept();
}

void QvIFSView::mouseDoubleClickEvent(QMouseEvent *event)
{
    // Qt sends the second press of a double click as this event; when a plain
    // press is already under way, only the count changes.
    if (_gestureButton == Qt::NoButton)
        mousePressEvent(event);
    if (_gestureButton == event->button())
        _clickCount = 2;
    event->accept();
}

void QvIFSView::mouseMoveEvent(QMouseEvent *event)
{
    // The release went elsewhere (a modal dialog opened mid-gesture): the
    // gesture ended when the button came up, so this is a plain move.
    if (_gestureButton != Qt::NoButton && !event->buttons().testFlag(_gestureButton))
        endGesture(event->modifiers());
    if (_gestureButton == Qt::NoButton) {
        mouseMoved(viewPointFromEvent(event));
        return;
    }
    if (_gestureButton == Qt::RightButton)
        rightMouseDragged(viewPointFromEvent(event), event->modifiers());
    else
        mouseDragged(viewPointFromEvent(event), event->modifiers());
}

void QvIFSView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != _gestureButton || _gestureButton == Qt::NoButton) {
        event->ignore();
        return;
    }
    endGesture(event->modifiers(), _clickCount);
}

void QvIFSView::endGesture(Qt::KeyboardModifiers modifiers, int clickCount)
{
    const Qt::MouseButton button = _gestureButton;
    _gestureButton = Qt::NoButton;
    _clickCount = 0;
    if (button == Qt::RightButton)
        rightMouseUp(modifiers, clickCount);
    else
        mouseUp(clickCount);
}

// ---------------------------------------------------------------- keyboard

void QvIFSView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Alt) {
        flagsChanged(event->modifiers() | Qt::AltModifier);
        return;
    }
    if (!interpretKeyEvent(event))
        QWidget::keyPressEvent(event);
}

void QvIFSView::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Alt) {
        flagsChanged(event->modifiers() & ~Qt::AltModifier);
        return;
    }
    QWidget::keyReleaseEvent(event);
}

bool QvIFSView::interpretKeyEvent(const QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    const bool arrow = key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up
                       || key == Qt::Key_Down;

    if (arrow && mods == Qt::NoModifier) {
        switch (key) {
        case Qt::Key_Up: moveUp(); break;
        case Qt::Key_Down: moveDown(); break;
        case Qt::Key_Left: moveLeft(); break;
        default: moveRight(); break;
        }
        return true;
    }
    if (arrow && mods == Qt::ShiftModifier) {
        switch (key) {
        case Qt::Key_Up: moveUpAndModifySelection(); break;
        case Qt::Key_Down: moveDownAndModifySelection(); break;
        case Qt::Key_Left: moveLeftAndModifySelection(); break;
        default: moveRightAndModifySelection(); break;
        }
        return true;
    }
    if (mods == Qt::AltModifier || mods == Qt::ControlModifier) {
        if (key == Qt::Key_Left) {
            moveWordLeft();
            return true;
        }
        if (key == Qt::Key_Right) {
            moveWordRight();
            return true;
        }
    }
    if (mods == Qt::ControlModifier) {
        switch (key) {
        case Qt::Key_Up: moveToBeginningOfParagraph(); return true;
        case Qt::Key_Down: moveToEndOfParagraph(); return true;
        case Qt::Key_B: moveBackward(); return true;
        case Qt::Key_F: moveForward(); return true;
        default: break;
        }
    }
    if (mods == Qt::NoModifier && key == Qt::Key_Backspace) {
        deleteBackward();
        return true;
    }
    if (mods == Qt::NoModifier && key == Qt::Key_Delete) {
        deleteForward();
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- commands

void QvIFSView::moveUp()
{
    moveSelectionYBy(static_cast<float>(onePixelInUserCoords().height()));
}

void QvIFSView::moveDown()
{
    moveSelectionYBy(-static_cast<float>(onePixelInUserCoords().height()));
}

void QvIFSView::moveLeft()
{
    moveSelectionXBy(-static_cast<float>(onePixelInUserCoords().width()));
}

void QvIFSView::moveRight()
{
    moveSelectionXBy(static_cast<float>(onePixelInUserCoords().width()));
}

void QvIFSView::moveSelectionXBy(float dx)
{
    if (!_selection)
        return;
    const QPointF t = _selection->translation();
    const double x = t.x() + static_cast<double>(dx);
    // Also refuses a NaN step (a view without area).
    if (!(x <= static_cast<double>(_rxMax) && x >= static_cast<double>(_rxMin))) {
        beep();
        return;
    }
    QvTransform next = *_selection;
    next.setTranslation({x, t.y()});
    commitKeyEdit(MapEditCommand::Move, next);
}

void QvIFSView::moveSelectionYBy(float dy)
{
    if (!_selection)
        return;
    const QPointF t = _selection->translation();
    const double y = t.y() + static_cast<double>(dy);
    if (!(y <= static_cast<double>(_ryMax) && y >= static_cast<double>(_ryMin))) {
        beep();
        return;
    }
    QvTransform next = *_selection;
    next.setTranslation({t.x(), y});
    commitKeyEdit(MapEditCommand::Move, next);
}

void QvIFSView::moveWordLeft()
{
    rotateSelectionBy(kRotationStep);
}

void QvIFSView::moveWordRight()
{
    rotateSelectionBy(-kRotationStep);
}

void QvIFSView::rotateSelectionBy(double step)
{
    if (!_selection)
        return;
    float r = static_cast<float>(static_cast<double>(_selection->rotation()) + step);
    // One wrap per key press, so a far-out angle from a document comes back gradually.
    if (step > 0 && static_cast<double>(r) > kFullTurn)
        r = static_cast<float>(static_cast<double>(r) - kFullTurn);
    else if (step < 0 && r < 0.0f)
        r = static_cast<float>(static_cast<double>(r) + kFullTurn);
    QvTransform next = *_selection;
    next.setRotation(r);
    commitKeyEdit(MapEditCommand::Rotate, next);
}

void QvIFSView::moveLeftAndModifySelection()
{
    changeSelectionScaleBy(-kScaleStep, 0);
}

void QvIFSView::moveRightAndModifySelection()
{
    changeSelectionScaleBy(kScaleStep, 0);
}

void QvIFSView::moveDownAndModifySelection()
{
    changeSelectionScaleBy(0, -kScaleStep);
}

void QvIFSView::moveUpAndModifySelection()
{
    changeSelectionScaleBy(0, kScaleStep);
}

void QvIFSView::changeSelectionScaleBy(double dx, double dy)
{
    if (!_selection)
        return;
    const QPointF s = _selection->scale();
    QvTransform next = *_selection;
    next.setScale({dx != 0 ? s.x() + dx : s.x(), dy != 0 ? s.y() + dy : s.y()});
    commitKeyEdit(MapEditCommand::Scale, next);
}

void QvIFSView::newTransform()
{
    if (!_fractal)
        return;
    TransformList &list = *_fractal->transforms();
    if (list.size() >= static_cast<size_t>(kMaxTransformsForNew)) {
        beep();
        return;
    }
    // Selected, so the user sees where it went and can recolour it at once.
    perform(new InsertMapCommand(this, tr("New Map"), static_cast<int>(list.size()), QvTransform(),
                                 selectionIndex()));
}

void QvIFSView::deleteTransform()
{
    if (!_fractal)
        return;
    TransformList &list = *_fractal->transforms();
    const auto it = std::find_if(list.begin(), list.end(),
                                 [this](const TransformPtr &t) { return t.get() == _selection; });
    // Nothing selected, or the last map (never deleted): refused, nothing changes.
    if (it == list.end() || list.size() < 2) {
        beep();
        return;
    }
    perform(new InsertMapCommand(this, tr("Delete Map"), static_cast<int>(it - list.begin()), **it, -1, true));
}

void QvIFSView::changeRotation()
{
    if (!_selection || !_controls.rotationSlider)
        return;
    const double value = _controls.rotationSlider->floatValue();
    if (!_controls.rotationSlider->isSliderDown())
        beginGesture();
    QvTransform next = *_selection;
    next.setRotation(static_cast<float>(kQuarterTurn - value));
    commitMapEdit(MapEditCommand::Rotate, next);
}

void QvIFSView::changeColor()
{
    if (!_selection)
        return;
    // The sender may be the well itself or any other colour source.
    const ColorWell *well = qobject_cast<const ColorWell *>(sender());
    if (!well)
        well = _controls.colorWell;
    if (!well)
        return;
    beginGesture();
    QvTransform next = *_selection;
    next.setColor(well->color().toRgb());
    commitMapEdit(MapEditCommand::Colour, next);
}

void QvIFSView::changeProbability()
{
    if (!_selection || !_controls.probabilitySlider)
        return;
    if (!_controls.probabilitySlider->isSliderDown())
        beginGesture();
    QvTransform next = *_selection;
    next.setProbability(0.0f - _controls.probabilitySlider->floatValue());
    commitMapEdit(MapEditCommand::Probability, next);
}

// ---------------------------------------------------------------- undoable edits

void QvIFSView::perform(QUndoCommand *command)
{
    if (_undoStack) {
        _undoStack->push(command);
        return;
    }
    command->redo();
    delete command;
}

void QvIFSView::commitMapEdit(int kind, const QvTransform &next)
{
    const int index = selectionIndex();
    if (index < 0)
        return;
    perform(new MapEditCommand(this, static_cast<MapEditCommand::Kind>(kind), index, *_selection, next, _gesture));
}

void QvIFSView::commitKeyEdit(int kind, const QvTransform &next)
{
    if (kind != _lastKeyKind || _keyGesture != _gesture || !_keyTimer.isValid()
        || _keyTimer.elapsed() > kKeyPauseMs)
        beginGesture();
    commitMapEdit(kind, next);
    _lastKeyKind = kind;
    _keyGesture = _gesture;
    _keyTimer.start();
}

int QvIFSView::selectionIndex() const
{
    if (!_fractal || !_selection)
        return -1;
    const TransformList &list = *_fractal->transforms();
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].get() == _selection)
            return static_cast<int>(i);
    }
    return -1;
}

void QvIFSView::setMapValue(int index, const QvTransform &value)
{
    if (!_fractal || index < 0 || index >= static_cast<int>(_fractal->transforms()->size()))
        return;
    QvTransform &map = *(*_fractal->transforms())[static_cast<size_t>(index)];
    map = value;
    _selection = &map;
    updateDisplayAndFractal();
}

void QvIFSView::insertMap(int index, const QvTransform &value)
{
    if (!_fractal)
        return;
    TransformList &list = *_fractal->transforms();
    const auto at = list.begin() + std::clamp<std::ptrdiff_t>(index, 0, static_cast<std::ptrdiff_t>(list.size()));
    _selection = list.insert(at, std::make_shared<QvTransform>(value))->get();
    updateDisplayAndFractal();
}

void QvIFSView::removeMap(int index, int select)
{
    if (!_fractal || index < 0 || index >= static_cast<int>(_fractal->transforms()->size()))
        return;
    TransformList &list = *_fractal->transforms();
    if (list[static_cast<size_t>(index)].get() == _halfSelection)
        _halfSelection = nullptr;
    list.erase(list.begin() + index);
    _selection = select >= 0 && select < static_cast<int>(list.size()) ? list[static_cast<size_t>(select)].get()
                                                                        : nullptr;
    updateDisplayAndFractal();
}

QString QvIFSView::fieldText(const QLineEdit *field, const QvTransform &t) const
{
    if (field == _info.tx)
        return shortest(t.translation().x());
    if (field == _info.ty)
        return shortest(t.translation().y());
    if (field == _info.sx)
        return shortest(t.scale().x());
    if (field == _info.sy)
        return shortest(t.scale().y());
    if (field == _info.degrees) {
        // The fewest digits of degrees that come back as the same 32-bit radians.
        const double degrees = degreesOf(t);
        for (int digits = 1; digits < 17; ++digits) {
            const QString text = QLocale::c().toString(degrees, 'g', digits);
            if (!text.contains(u'e')
                && static_cast<float>(text.toDouble() * std::numbers::pi / 180.0) == t.rotation())
                return text;
        }
        return shortest(degrees);
    }
    return shortest(t.probability());
}

void QvIFSView::applyInfoField(QLineEdit *field)
{
    if (!_selection)
        return;
    const QString shown = fieldText(field, *_selection);
    const QString text = field->text().trimmed();
    // Leaving a field untouched is no edit, even where the shown text rounds.
    if (text == shown)
        return;
    bool ok = false;
    const double v = QLocale::c().toDouble(text, &ok);
    const bool narrow = field == _info.degrees || field == _info.probability;
    const bool fits = ok && std::isfinite(narrow ? static_cast<double>(static_cast<float>(v)) : v);
    // The centre stays inside the visible square, as when dragged.
    const bool inside = (field != _info.tx || (v >= _rxMin && v <= _rxMax))
                        && (field != _info.ty || (v >= _ryMin && v <= _ryMax));
    if (!fits || !inside) {
        beep();
        field->setText(shown);
        return;
    }
    QvTransform next = *_selection;
    const QPointF t = next.translation();
    const QPointF s = next.scale();
    if (field == _info.tx)
        next.setTranslation({v, t.y()});
    else if (field == _info.ty)
        next.setTranslation({t.x(), v});
    else if (field == _info.sx)
        next.setScale({v, s.y()});
    else if (field == _info.sy)
        next.setScale({s.x(), v});
    else if (field == _info.degrees)
        next.setRotation(static_cast<float>(v * std::numbers::pi / 180.0));
    else
        next.setProbability(static_cast<float>(v));
    beginGesture();
    commitMapEdit(MapEditCommand::Value, next);
    beginGesture();
}

// ---------------------------------------------------------------- clipboard

bool QvIFSView::copySelection()
{
    if (!_selection) {
        beep();
        return false;
    }
    const QString text = jsonRepresentation(*_selection);
    auto *mime = new QMimeData;
    mime->setData(kMapMimeType, text.toUtf8());
    mime->setText(text);
    QGuiApplication::clipboard()->setMimeData(mime);
    return true;
}

void QvIFSView::copy()
{
    copySelection();
}

void QvIFSView::cut()
{
    if (!_fractal || (_selection && _fractal->transforms()->size() < 2)) {
        beep();
        return;
    }
    if (!copySelection())
        return;
    perform(new InsertMapCommand(this, tr("Cut Map"), selectionIndex(), *_selection, -1, true));
}

void QvIFSView::paste()
{
    const QMimeData *mime = QGuiApplication::clipboard()->mimeData();
    QString text;
    if (mime && mime->hasFormat(kMapMimeType))
        text = QString::fromUtf8(mime->data(kMapMimeType));
    else if (mime)
        text = mime->text();
    const TransformPtr map = transformFromText(text);
    if (!map) {
        beep();
        return;
    }
    addMapCopy(*map, tr("Paste Map"));
}

void QvIFSView::duplicate()
{
    if (!_selection) {
        beep();
        return;
    }
    addMapCopy(*_selection, tr("Duplicate Map"));
}

void QvIFSView::addMapCopy(const QvTransform &value, const QString &name)
{
    if (!_fractal)
        return;
    QvTransform copy = value;
    copy.setTranslation(value.translation() + QPointF(kCopyOffset, -kCopyOffset));
    perform(new InsertMapCommand(this, name, static_cast<int>(_fractal->transforms()->size()), copy,
                                 selectionIndex()));
}

// ---------------------------------------------------------------- text export

void QvIFSView::exportToText()
{
    auto *dialog = new QFileDialog(window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setDefaultSuffix(kTextContext);
    dialog->setNameFilter(tr("Text (*.txt)"));
    dialog->setLabelText(QFileDialog::FileName, tr("Export as:"));
    dialog->setLabelText(QFileDialog::Accept, tr("Export to Text"));
    dialog->setWindowModality(Qt::WindowModal);
    // Propose the document's own name with the report's extension.
    const QString documentPath = window()->windowFilePath();
    if (!documentPath.isEmpty()) {
        const QFileInfo info(documentPath);
        dialog->setDirectory(info.absolutePath());
        dialog->selectFile(info.completeBaseName() + QStringLiteral(".txt"));
    }
    connect(dialog, &QFileDialog::finished, this, [this, dialog](int result) {
        exportPanelDidEnd(result == QDialog::Accepted ? 1 : 0, dialog->selectedFiles().value(0),
                          kTextContext);
    });
    dialog->open();
}

bool QvIFSView::exportPanelDidEnd(int returnCode, const QString &path, const QString &contextInfo)
{
    if (returnCode != 1)
        return false;
    if (contextInfo != kTextContext) {
        logLine(QStringLiteral("Export failed; export type was not supported!"));
        return false;
    }
    const QString shownPath = QDir::toNativeSeparators(path);
    if (path.isEmpty()) {
        logLine(QStringLiteral("Could not export the text report: no file was chosen."));
        return false;
    }
    const QByteArray report = _fractal ? textReport(*_fractal).toUtf8() : QByteArray();
    // Written aside and put in place in one step, so a failure never leaves half a file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        logLine(QStringLiteral("Could not export the text report to \"%1\": %2")
                    .arg(shownPath, file.errorString()));
        return false;
    }
    if (file.write(report) != report.size() || !file.commit()) {
        logLine(QStringLiteral("Could not export the text report to \"%1\": %2")
                    .arg(shownPath, file.errorString()));
        return false;
    }
    return true;
}

} // namespace attractor
