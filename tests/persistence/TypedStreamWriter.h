#pragma once

// Writes typed streams the way NSArchiver laid them out, so that tests can
// build valid archives and break them on purpose. Checked byte for byte
// against a known archive.

#include <QByteArray>
#include <QList>

#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <type_traits>
#include <vector>

namespace attractor::testing {

class TypedStreamWriter
{
public:
    explicit TypedStreamWriter(bool bigEndian = false) : _bigEndian(bigEndian)
    {
        _bytes.append("\x04\x0b");
        _bytes.append(bigEndian ? "typedstream" : "streamtyped");
        integer(1000);
    }

    const QByteArray &bytes() const { return _bytes; }
    void byte(uint8_t b) { _bytes.append(static_cast<char>(b)); }

    // The shortest form, as the original writer chose it.
    void integer(int64_t v)
    {
        if (v >= -110 && v <= 127) {
            byte(static_cast<uint8_t>(v));
        } else if (v >= -32767 && v <= 32767) {
            byte(0x81);
            ordered(static_cast<uint16_t>(v), 2);
        } else {
            byte(0x82);
            ordered(static_cast<uint32_t>(v), 4);
        }
    }

    // A float or double slot with the integer shortcut.
    template <typename Real>
    void real(Real value)
    {
        int32_t truncated = 0;
        if (std::isfinite(value) && value > Real(-2147483648.0) && value < Real(2147483648.0))
            truncated = static_cast<int32_t>(value);
        if (static_cast<Real>(truncated) == value) {
            integer(truncated);
        } else {
            byte(0x83);
            ordered(std::bit_cast<std::conditional_t<sizeof(Real) == 4, uint32_t, uint64_t>>(value), sizeof(Real));
        }
    }

    // Shared by content: the second use of a text is a reference.
    void sharedString(const QByteArray &text)
    {
        if (const auto found = _strings.find(text); found != _strings.end())
            return integer(found->second - 110);
        _strings.emplace(text, _nextString++);
        byte(0x84);
        integer(text.size());
        _bytes.append(text);
    }
    void typeString(const QByteArray &type) { sharedString(type); }

    // A new object of the class chain given subclass first, ending at the root
    // class; classes already written become one reference. Returns its number.
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
            sharedString(name);
            integer(0);
        }
        nil();
        return number;
    }
    void endObject() { byte(0x86); }
    void reference(int index) { integer(int64_t(index) - 110); }
    void nil() { byte(0x85); }

private:
    void ordered(uint64_t v, int size)
    {
        for (int i = 0; i < size; ++i)
            byte(static_cast<uint8_t>(v >> (8 * (_bigEndian ? size - 1 - i : i))));
    }

    QByteArray _bytes;
    bool _bigEndian;
    std::map<QByteArray, int> _strings, _classes;
    int _nextString = 0;
    int _nextObject = 0;
};

// Writers of the objects a fractal archive holds, each writing one object slot.
using SlotWriter = std::function<void(TypedStreamWriter &)>;

inline const QList<QByteArray> colourChain{"NSColor", "NSObject"};

inline SlotWriter nilSlot()
{
    return [](TypedStreamWriter &w) { w.nil(); };
}

inline SlotWriter colourSlot(int kind, const QByteArray &types, std::vector<float> components)
{
    return [=](TypedStreamWriter &w) {
        w.beginObject(colourChain);
        w.typeString("c");
        w.byte(static_cast<uint8_t>(kind));
        if (!types.isEmpty()) {
            w.typeString(types);
            for (float c : components)
                w.real(c);
        }
        w.endObject();
    };
}

inline SlotWriter rgbColour(float r, float g, float b, float a, int kind = 1)
{
    return colourSlot(kind, "ffff", {r, g, b, a});
}
inline SlotWriter whiteColour(float white, float alpha, int kind = 3)
{
    return colourSlot(kind, "ff", {white, alpha});
}
inline SlotWriter cmykColour(float c, float m, float y, float k, float alpha)
{
    return colourSlot(5, "fffff", {c, m, y, k, alpha});
}

inline SlotWriter stringObject(const QByteArray &text, const QByteArray &cls = "NSString")
{
    return [=](TypedStreamWriter &w) {
        w.beginObject({cls, "NSObject"});
        w.typeString("+");
        w.integer(text.size());
        for (char c : text)
            w.byte(static_cast<uint8_t>(c));
        w.endObject();
    };
}

inline SlotWriter namedColour(const QByteArray &catalog, const QByteArray &name, SlotWriter embedded)
{
    return [=](TypedStreamWriter &w) {
        w.beginObject(colourChain);
        w.typeString("c");
        w.byte(6);
        w.typeString("@@@");
        stringObject(catalog)(w);
        stringObject(name)(w);
        embedded(w);
        w.endObject();
    };
}

struct MapValues {
    float sx = 0.5f, sy = 0.5f, rotation = 0.0f, tx = 0.0f, ty = 0.0f;
    SlotWriter colour = rgbColour(0, 0, 0, 1);
    float probability = 1.0f;
};

inline void writePoint(TypedStreamWriter &w, float x, float y)
{
    w.typeString("{_NSPoint=ff}");
    w.real(x);
    w.real(y);
}

inline SlotWriter mapSlot(const MapValues &m)
{
    return [=](TypedStreamWriter &w) {
        w.beginObject({"QvTransform", "NSObject"});
        writePoint(w, m.sx, m.sy);
        w.typeString("f");
        w.real(m.rotation);
        writePoint(w, m.tx, m.ty);
        w.typeString("@");
        m.colour(w);
        w.typeString("f");
        w.real(m.probability);
        w.endObject();
    };
}

inline SlotWriter arraySlot(const std::vector<SlotWriter> &elements, const QByteArray &cls = "NSMutableArray")
{
    return [=](TypedStreamWriter &w) {
        QList<QByteArray> chain{cls};
        if (cls == "NSMutableArray")
            chain.append("NSArray");
        chain.append("NSObject");
        w.beginObject(chain);
        w.typeString("i");
        w.integer(static_cast<int64_t>(elements.size()));
        for (const SlotWriter &e : elements) {
            w.typeString("@");
            e(w);
        }
        w.endObject();
    };
}

inline SlotWriter fractalSlot(SlotWriter maps, int32_t iterations, SlotWriter background)
{
    return [=](TypedStreamWriter &w) {
        w.beginObject({"QvFrac", "NSObject"});
        w.typeString("@");
        maps(w);
        w.typeString("i");
        w.integer(iterations);
        w.typeString("@");
        background(w);
        w.endObject();
    };
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
