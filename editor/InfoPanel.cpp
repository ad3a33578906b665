#include "editor/InfoPanel.h"

#include "engine/PixelMapping.h"
#include "model/QvTransform.h"
#include "widgets/Beep.h"

#include <QApplication>
#include <QFormLayout>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>

#include <charconv>
#include <cmath>
#include <numbers>

namespace attractor {

namespace {

template <class Number>
QString shortest(Number v)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    return QString::fromLatin1(buffer, result.ptr - buffer);
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

InfoPanel::InfoPanel(QWidget *owner)
    : QWidget(owner, Qt::Tool)
    , _owner(owner)
{
    setWindowTitle(tr("Info"));
    auto *layout = new QFormLayout(this);
    auto field = [this, layout](const QString &label) {
        auto *edit = new QLineEdit(this);
        edit->setReadOnly(true);
        edit->setMinimumWidth(160);
        layout->addRow(label, edit);
        return edit;
    };
    _fields.translation = field(tr("Translation:"));
    _fields.rotation = field(tr("Rotation:"));
    _fields.scale = field(tr("Scale:"));
    _fields.a = field(QStringLiteral("A:"));
    _fields.b = field(QStringLiteral("B:"));
    _fields.c = field(QStringLiteral("C:"));
    _fields.d = field(QStringLiteral("D:"));
    auto editable = [this, field](const QString &label) {
        QLineEdit *edit = field(label);
        edit->setReadOnly(false);
        connect(edit, &QLineEdit::editingFinished, this, [this, edit] { applyField(edit); });
        connect(edit, &QLineEdit::textEdited, this, [this, edit] { setPending(edit); });
        return edit;
    };
    _fields.tx = editable(tr("Translation X:"));
    _fields.ty = editable(tr("Translation Y:"));
    _fields.sx = editable(tr("Scale X:"));
    _fields.sy = editable(tr("Scale Y:"));
    _fields.degrees = editable(tr("Rotation (°):"));
    _fields.shear = editable(tr("Shear:"));
    _fields.probability = editable(tr("Probability:"));
    hide();
    refresh();
}

InfoPanel::~InfoPanel()
{
    qApp->removeEventFilter(this);
}

void InfoPanel::setModel(EditableFractal *model)
{
    if (_model == model)
        return;
    if (_model)
        disconnect(_model, nullptr, this, nullptr);
    _model = model;
    if (_model) {
        connect(_model, &EditableFractal::selectionChanged, this, &InfoPanel::refresh);
        connect(_model, &EditableFractal::fractalChanged, this, &InfoPanel::refresh);
    }
    refresh();
}

void InfoPanel::refresh()
{
    const int count = _model ? static_cast<int>(_model->selectedIndices().size()) : 0;
    setWindowTitle(count > 1 ? tr("Info: %1 Maps").arg(count) : tr("Info"));
    for (QLineEdit *f : {_fields.translation, _fields.rotation, _fields.scale, _fields.a, _fields.b, _fields.c,
                         _fields.d})
        f->setText(sharedText(f));
    for (QLineEdit *f : {_fields.tx, _fields.ty, _fields.sx, _fields.sy, _fields.degrees, _fields.shear,
                         _fields.probability}) {
        f->setEnabled(count > 0);
        // What the user is typing stays until it is applied.
        if (f != _pending)
            f->setText(sharedText(f));
    }
}

QString InfoPanel::sharedText(const QLineEdit *field) const
{
    const QList<int> selected = _model ? _model->selectedIndices() : QList<int>();
    if (selected.isEmpty())
        return {};
    const QString first = fieldText(field, _model->map(selected.first()));
    for (int index : selected) {
        if (fieldText(field, _model->map(index)) != first)
            return {};
    }
    return first;
}

QString InfoPanel::fieldText(const QLineEdit *field, const QvTransform &t) const
{
    const _t_matrix m = t.transformMatrix();
    if (field == _fields.translation)
        return formatPair(t.translation());
    if (field == _fields.rotation)
        return QString::asprintf("%.3f radians", static_cast<double>(t.rotation()));
    if (field == _fields.scale)
        return formatPair(t.scale());
    for (const auto &[entry, value] : {std::pair{_fields.a, m.a}, {_fields.b, m.b}, {_fields.c, m.c}, {_fields.d, m.d}}) {
        if (field == entry)
            return formatEntry(value);
    }
    if (field == _fields.tx)
        return shortest(t.translation().x());
    if (field == _fields.ty)
        return shortest(t.translation().y());
    if (field == _fields.sx)
        return shortest(t.scale().x());
    if (field == _fields.sy)
        return shortest(t.scale().y());
    if (field == _fields.degrees) {
        // The fewest digits of degrees that come back as the same 32-bit radians.
        const double degrees = static_cast<double>(t.rotation()) * 180.0 / std::numbers::pi;
        for (int digits = 1; digits < 17; ++digits) {
            const QString text = QLocale::c().toString(degrees, 'g', digits);
            if (!text.contains(u'e') && static_cast<float>(text.toDouble() * std::numbers::pi / 180.0) == t.rotation())
                return text;
        }
        return shortest(degrees);
    }
    if (field == _fields.shear)
        return shortest(t.shear());
    return shortest(t.probability());
}

void InfoPanel::setPending(QLineEdit *field)
{
    if (_pending && _pending != field)
        applyField(_pending);
    _pending = field;
    // A click anywhere else applies the value, as leaving the field would.
    qApp->installEventFilter(this);
}

void InfoPanel::applyPendingEdit()
{
    if (_pending)
        applyField(_pending);
}

bool InfoPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress && _pending && watched != _pending.data()
        && watched->isWidgetType())
        applyPendingEdit();
    return QWidget::eventFilter(watched, event);
}

void InfoPanel::applyField(QLineEdit *field)
{
    if (field == _pending) {
        _pending = nullptr;
        qApp->removeEventFilter(this);
    }
    if (!_model || _model->selectedIndices().isEmpty())
        return;
    const QString shown = sharedText(field);
    const QString text = field->text().trimmed();
    // Leaving a field untouched is no edit, even where the shown text rounds.
    if (text == shown)
        return;
    bool ok = false;
    const double v = QLocale::c().toDouble(text, &ok);
    const bool narrow = field == _fields.degrees || field == _fields.shear || field == _fields.probability;
    QString reason;
    if (!ok || !std::isfinite(narrow ? static_cast<double>(static_cast<float>(v)) : v))
        reason = tr("“%1” is not a number").arg(text);
    // The centre stays inside the frame, as when dragged.
    else if ((field == _fields.tx || field == _fields.ty) && !(v >= kFrameMin && v <= kFrameMax))
        reason = tr("Translation must be between -2 and 2");
    else if (field == _fields.probability && !(v >= 0.0 && v <= static_cast<double>(kMaxProbability)))
        reason = tr("Probability must be between 0 and 2");
    if (!reason.isEmpty()) {
        field->setText(shown);
        refuse(_owner, reason);
        return;
    }
    MapEdit kind = MapEdit::SetProbability;
    QList<EditableFractal::MapValue> values;
    for (int index : _model->selectedIndices()) {
        QvTransform next = _model->map(index);
        const QPointF t = next.translation();
        const QPointF s = next.scale();
        if (field == _fields.tx)
            next.setTranslation({v, t.y()}), kind = MapEdit::SetTranslationX;
        else if (field == _fields.ty)
            next.setTranslation({t.x(), v}), kind = MapEdit::SetTranslationY;
        else if (field == _fields.sx)
            next.setScale({v, s.y()}), kind = MapEdit::SetScaleX;
        else if (field == _fields.sy)
            next.setScale({s.x(), v}), kind = MapEdit::SetScaleY;
        else if (field == _fields.degrees)
            next.setRotation(static_cast<float>(v * std::numbers::pi / 180.0)), kind = MapEdit::SetRotation;
        else if (field == _fields.shear)
            next.setShear(static_cast<float>(v)), kind = MapEdit::SetShear;
        else
            next.setProbability(static_cast<float>(v));
        values.append({index, next});
    }
    // A typed value is a step of its own.
    _model->beginGesture();
    _model->setMaps(values, kind);
    _model->beginGesture();
}

} // namespace attractor
