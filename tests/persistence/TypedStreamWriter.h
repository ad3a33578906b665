#pragma once

// Writes typed streams laid out as NSArchiver wrote them, so that tests can
// build valid archives and break them on purpose. Pinned byte for byte
// against a known archive.

#include <QByteArray>
#include <QList>

#include <bit>
#include <cmath>
#include <functional>
#include <map>
#include <variant>
#include <vector>

namespace attractor::testing {

class TypedStreamWriter
{
public:
    explicit TypedStreamWriter(bool bigEndian = false) : _bytes("\x04\x0b"), _bigEndian(bigEndian)
    {
        _bytes += bigEndian ? "typedstream" : "streamtyped";
        integer(1000);
    }

    const QByteArray &bytes() const { return _bytes; }
    void byte(uint8_t b) { _bytes.append(static_cast<char>(b)); }
    void append(const QByteArray &raw) { _bytes.append(raw); }
    void nil() { byte(0x85); }
    void reference(int index) { integer(int64_t(index) - 110); }

    // The shortest form, as the original writer chose it.
    void integer(int64_t v)
    {
        if (v >= -110 && v <= 127)
            return byte(static_cast<uint8_t>(v));
        const bool shortForm = v >= -32767 && v <= 32767;
        byte(shortForm ? 0x81 : 0x82);
        ordered(static_cast<uint32_t>(v), shortForm ? 2 : 4);
    }

    // A float slot with the integer shortcut.
    void real(float value)
    {
        const bool whole = std::isfinite(value) && std::fabs(value) < 2147483648.0f;
        if (whole && static_cast<float>(static_cast<int32_t>(value)) == value)
            return integer(static_cast<int32_t>(value));
        byte(0x83);
        ordered(std::bit_cast<uint32_t>(value), 4);
    }

    // Shared by content: the second use of a text is a reference.
    void typeString(const QByteArray &text)
    {
        if (const auto found = _strings.find(text); found != _strings.end())
            return integer(found->second - 110);
        _strings.emplace(text, int(_strings.size()));
        byte(0x84);
        integer(text.size());
        _bytes.append(text);
    }

    // A new object of the class chain, subclass first; a class already written
    // becomes one reference. Returns the object's number.
    int beginObject(const QList<QByteArray> &chain)
    {
        byte(0x84);
        const int number = _nextObject++;
        for (const QByteArray &name : chain) {
            if (const auto found = _classes.find(name); found != _classes.end()) {
                reference(found->second);
                return number;
            }
            byte(0x84);
            _classes.emplace(name, _nextObject++);
            typeString(name);
            integer(0);
        }
        nil();
        return number;
    }

private:
    void ordered(uint32_t v, int size)
    {
        for (int i = 0; i < size; ++i)
            byte(static_cast<uint8_t>(v >> (8 * (_bigEndian ? size - 1 - i : i))));
    }

    QByteArray _bytes;
    bool _bigEndian;
    std::map<QByteArray, int> _strings, _classes;
    int _nextObject = 0;
};

// Writes one object slot.
using SlotWriter = std::function<void(TypedStreamWriter &)>;
// A value of a group: a number (whole ones take the integer form) or an object.
using Item = std::variant<float, SlotWriter>;
using Groups = std::vector<std::pair<QByteArray, std::vector<Item>>>;

inline SlotWriter nilSlot() { return [](TypedStreamWriter &w) { w.nil(); }; }

inline SlotWriter objectSlot(const QList<QByteArray> &chain, const Groups &groups)
{
    return [=](TypedStreamWriter &w) {
        w.beginObject(chain);
        for (const auto &[type, items] : groups) {
            w.typeString(type);
            for (const Item &item : items)
                item.index() == 0 ? w.real(std::get<float>(item)) : std::get<SlotWriter>(item)(w);
        }
        w.byte(0x86);
    };
}

// The kind is a raw byte; the components follow unless `types` is empty.
inline SlotWriter colourSlot(uint8_t kind, const QByteArray &types, std::vector<Item> components)
{
    const SlotWriter kindByte = [=](TypedStreamWriter &w) { w.byte(kind); };
    if (types.isEmpty())
        return objectSlot({"NSColor", "NSObject"}, {{"c", {kindByte}}});
    return objectSlot({"NSColor", "NSObject"}, {{"c", {kindByte}}, {types, components}});
}
inline SlotWriter rgbColour(float r, float g, float b, float a, int kind = 1)
{
    return colourSlot(kind, "ffff", {r, g, b, a});
}
inline SlotWriter whiteColour(float white, float alpha, int kind = 3) { return colourSlot(kind, "ff", {white, alpha}); }

inline SlotWriter stringObject(const QByteArray &text, const QByteArray &cls = "NSString")
{
    const SlotWriter bytes = [=](TypedStreamWriter &w) { w.integer(text.size()), w.append(text); };
    return objectSlot({cls, "NSObject"}, {{"+", {bytes}}});
}

inline SlotWriter namedColour(const QByteArray &name, SlotWriter embedded, const QByteArray &nameClass = "NSString")
{
    return colourSlot(6, "@@@", {stringObject("System"), stringObject(name, nameClass), embedded});
}

struct MapValues {
    float sx = 0.5f, sy = 0.5f, rotation = 0.0f, tx = 0.0f, ty = 0.0f;
    SlotWriter colour = rgbColour(0, 0, 0, 1);
    float probability = 1.0f;
};

inline SlotWriter mapSlot(const MapValues &m)
{
    return objectSlot({"QvTransform", "NSObject"}, {{"{_NSPoint=ff}", {m.sx, m.sy}}, {"f", {m.rotation}},
                                                    {"{_NSPoint=ff}", {m.tx, m.ty}}, {"@", {m.colour}},
                                                    {"f", {m.probability}}});
}

// A list of maps whose count says `count`, by default the true one.
inline SlotWriter arraySlot(const std::vector<SlotWriter> &elements, float count = NAN)
{
    Groups groups{{"i", {std::isnan(count) ? elements.size() : count}}};
    for (const SlotWriter &e : elements)
        groups.push_back({"@", {e}});
    return objectSlot({"NSMutableArray", "NSArray", "NSObject"}, groups);
}

inline SlotWriter fractalSlot(SlotWriter maps, int32_t iterations, SlotWriter background)
{
    return objectSlot({"QvFrac", "NSObject"}, {{"@", {maps}}, {"i", {float(iterations)}}, {"@", {background}}});
}

// A whole archive: header, then the root object's group.
inline QByteArray archiveOf(SlotWriter root, bool bigEndian = false)
{
    TypedStreamWriter w(bigEndian);
    w.typeString("@");
    root(w);
    return w.bytes();
}

inline QByteArray fractalArchive(const std::vector<MapValues> &maps, int32_t iterations, SlotWriter background,
                                 bool bigEndian = false)
{
    std::vector<SlotWriter> elements;
    for (const MapValues &m : maps)
        elements.push_back(mapSlot(m));
    return archiveOf(fractalSlot(arraySlot(elements), iterations, background), bigEndian);
}

} // namespace attractor::testing
