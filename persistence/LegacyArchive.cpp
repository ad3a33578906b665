#include "persistence/LegacyArchive.h"

#include "model/QvTransform.h"
#include "persistence/TypedStream.h"

#include <QByteArray>
#include <QPointF>

#include <algorithm>
#include <initializer_list>

namespace attractor {

namespace {

using Object = TypedStream::Object;
using Value = TypedStream::Value;

[[noreturn]] void refuse(const QString &reason)
{
    throw TypedStream::Error{reason};
}

// Names come from the file: keep them printable and short in messages.
QString printable(const QByteArray &text)
{
    QString out;
    for (const char c : text.left(64))
        out += (c >= 0x20 && c < 0x7f) ? QLatin1Char(c) : QLatin1Char('?');
    return out;
}

bool hasClass(const Object &object, std::initializer_list<const char *> names)
{
    return std::any_of(names.begin(), names.end(),
                       [&](const char *name) { return object.cls->name == name; });
}

const Object &requireClass(const Object *object, std::initializer_list<const char *> names, const QString &what)
{
    if (!object)
        refuse(QStringLiteral("%1 is missing (nil)").arg(what));
    if (!hasClass(*object, names))
        refuse(QStringLiteral("unexpected class %1 where %2 was expected").arg(printable(object->cls->name), what));
    return *object;
}

// The groups an object wrote must be exactly these, in this order, with
// nothing after them: the platform's own reader refused anything else too.
void requireGroups(const Object &object, std::initializer_list<const char *> types, const QString &what)
{
    size_t i = 0;
    for (const char *type : types) {
        if (i >= object.groups.size())
            refuse(QStringLiteral("%1 ends before all its values").arg(what));
        if (object.groups[i].type != type)
            refuse(QStringLiteral("unexpected type \"%1\" in %2 where \"%3\" was expected")
                       .arg(printable(object.groups[i].type), what, QLatin1String(type)));
        ++i;
    }
    if (object.groups.size() > i)
        refuse(QStringLiteral("%1 holds more values than expected").arg(what));
}

const Value &single(const Object &object, size_t group)
{
    return object.groups[group].values.front();
}

QPointF point(const Value &value)
{
    // A struct of two floats, each already widened exactly.
    return QPointF(value.items.at(0).real, value.items.at(1).real);
}

float narrowed(double component)
{
    return static_cast<float>(component);
}

_rgb_color colourFrom(const Object *colour)
{
    const QString what = QStringLiteral("a colour");
    // Named colours carry the colour they stood for; follow them in a loop, not
    // by recursion. References only name finished objects, so this ends.
    while (true) {
        if (!colour)
            return {0.0f, 0.0f, 0.0f, 0.0f};
        const Object &c = requireClass(colour, {"NSColor"}, what);
        if (c.groups.empty() || c.groups.front().type != "c")
            refuse(QStringLiteral("a colour without its kind"));
        const int64_t kind = single(c, 0).integer;
        switch (kind) {
        case 1:
        case 2: {
            requireGroups(c, {"c", "ffff"}, what);
            const std::vector<Value> &v = c.groups[1].values;
            return {narrowed(v[0].real), narrowed(v[1].real), narrowed(v[2].real), narrowed(v[3].real)};
        }
        case 3:
        case 4: {
            requireGroups(c, {"c", "ff"}, what);
            const std::vector<Value> &v = c.groups[1].values;
            const float w = narrowed(v[0].real);
            return {w, w, w, narrowed(v[1].real)};
        }
        case 5: {
            requireGroups(c, {"c", "fffff"}, what);
            const std::vector<Value> &v = c.groups[1].values;
            const double white = 1.0 - v[3].real;
            return {narrowed(std::max(0.0, white - v[0].real)), narrowed(std::max(0.0, white - v[1].real)),
                    narrowed(std::max(0.0, white - v[2].real)), narrowed(v[4].real)};
        }
        case 6: {
            requireGroups(c, {"c", "@@@"}, what);
            const std::vector<Value> &v = c.groups[1].values;
            for (int i = 0; i < 2; ++i) {
                if (v[i].object)
                    requireClass(v[i].object, {"NSString", "NSMutableString"}, QStringLiteral("a colour name"));
            }
            colour = v[2].object;
            break;
        }
        default:
            // Pattern and custom-space colours have no RGB value of their own.
            return {0.0f, 0.0f, 0.0f, 0.0f};
        }
    }
}

TransformPtr transformFrom(const Object *object)
{
    const QString what = QStringLiteral("a map");
    const Object &t = requireClass(object, {"QvTransform"}, what);
    requireGroups(t, {"{_NSPoint=ff}", "f", "{_NSPoint=ff}", "@", "f"}, what);
    auto transform = std::make_shared<QvTransform>(point(single(t, 0)), narrowed(single(t, 1).real),
                                                   point(single(t, 2)), colourFrom(single(t, 3).object));
    transform->setProbability(narrowed(single(t, 4).real));
    return transform;
}

TransformListPtr transformsFrom(const Object *object)
{
    const Object &array = requireClass(object, {"NSMutableArray", "NSArray"}, QStringLiteral("a list of maps"));
    if (array.groups.empty() || array.groups.front().type != "i")
        refuse(QStringLiteral("the list of maps has no count"));
    const int64_t count = single(array, 0).integer;
    if (count < 0)
        refuse(QStringLiteral("the list of maps has a negative count"));
    const size_t held = array.groups.size() - 1;
    if (static_cast<uint64_t>(count) != held)
        refuse(QStringLiteral("the list of maps says it holds %1 maps but holds %2").arg(count).arg(held));
    auto list = std::make_shared<TransformList>();
    for (size_t i = 1; i < array.groups.size(); ++i) {
        if (array.groups[i].type != "@")
            refuse(QStringLiteral("unexpected type \"%1\" in the list of maps where \"@\" was expected")
                       .arg(printable(array.groups[i].type)));
        // An element written twice comes back as a second, independent map:
        // the document keeps one list entry per map, as the saved text will.
        list->push_back(transformFrom(array.groups[i].values.front().object));
    }
    return list;
}

FracPtr fractalFrom(TypedStream &stream)
{
    stream.readHeader();
    if (stream.atEnd())
        refuse(QStringLiteral("the archive holds no object"));
    const TypedStream::Group root = stream.readGroup();
    if (root.type != "@")
        refuse(QStringLiteral("the archive does not begin with an object"));
    // Bytes after the root object are ignored, as the platform's unarchiver
    // ignored them: a file padded by an old transfer tool still opens, and
    // nothing after the root can belong to the fractal.
    const QString what = QStringLiteral("a fractal");
    const Object &frac = requireClass(root.values.front().object, {"QvFrac"}, what);
    requireGroups(frac, {"@", "i", "@"}, what);
    TransformListPtr transforms = transformsFrom(single(frac, 0).object);
    const auto iterations = static_cast<int32_t>(single(frac, 1).integer);
    return std::make_shared<QvFrac>(transforms, iterations, colourFrom(single(frac, 2).object));
}

} // namespace

DocumentReadResult readLegacyArchive(const QByteArray &bytes)
{
    const QString prefix = QStringLiteral("not a fractal document: ");
    if (bytes.isEmpty())
        return {nullptr, prefix + QStringLiteral("the file is empty")};
    try {
        TypedStream stream(bytes);
        return {fractalFrom(stream), QString()};
    } catch (const TypedStream::Error &error) {
        return {nullptr, prefix + error.reason};
    }
}

} // namespace attractor
