#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace attractor {

// A generic decoder of the typed stream that NSArchiver wrote: header, typed
// groups, shared strings, objects and classes with their tables. It knows no
// class's contents; it turns bytes into groups of values that a reader of a
// particular document checks afterwards.
//
// The bytes may be hostile. Every read is checked against the bytes left,
// nesting is bounded, counts never size an allocation, and any fault throws
// TypedStream::Error with a reason a person can read.
class TypedStream
{
public:
    struct Error {
        QString reason;
    };

    struct Object;

    struct Class {
        QByteArray name;
        int64_t version = 0;
        const Class *superclass = nullptr;
    };

    struct Value {
        enum class Kind {
            Integer, // c C B s S i I l L (unsigned ones as their bit pattern)
            Real, // f d; a float is widened exactly
            Object, // @, possibly nil
            Class, // #, possibly nil
            CString, // *, possibly nil
            SharedString, // : %, possibly nil
            Bytes, // + and [Nc], isNil for a nil +
            Struct, // {...}: the fields in items
            Array, // [Nt] of a type other than chars: the elements in items
        };
        Kind kind = Kind::Integer;
        int64_t integer = 0;
        double real = 0.0;
        const Object *object = nullptr;
        const Class *cls = nullptr;
        QByteArray bytes;
        bool isNil = false;
        std::vector<Value> items;
    };

    struct Group {
        QByteArray type;
        std::vector<Value> values;
    };

    struct Object {
        const Class *cls = nullptr;
        std::vector<Group> groups;
    };

    explicit TypedStream(const QByteArray &data);
    ~TypedStream();
    TypedStream(const TypedStream &) = delete;
    TypedStream &operator=(const TypedStream &) = delete;

    // Reads the version, signature and system version; sets the byte order.
    void readHeader();
    bool bigEndian() const { return _bigEndian; }
    int64_t systemVersion() const { return _systemVersion; }

    bool atEnd() const { return _pos >= _data.size(); }
    qsizetype position() const { return _pos; }
    // One top-level group. The objects its values point to live as long as this stream.
    Group readGroup();

    // The deepest nesting of objects inside one another that a stream may hold,
    // and of brackets inside one type string.
    static constexpr int maxObjectDepth = 32;
    static constexpr int maxTypeDepth = 8;
    static constexpr int maxClassChain = 64;
    // A decoded value costs about a hundred times its smallest encoding, so
    // their number is bounded rather than left to the file's size. A map takes
    // about fifteen values; no real fractal comes near this.
    static constexpr int64_t maxValues = 250'000;

    // A parsed type of a type string; defined where it is parsed.
    struct Type;

private:
    struct Entry;

    [[noreturn]] void fail(const QString &reason) const;
    [[noreturn]] void truncated() const;
    void need(qsizetype count) const;
    uint8_t readByte();
    int8_t readHead();
    uint16_t readUInt16();
    uint32_t readUInt32();
    uint64_t readUInt64();
    int64_t integerAfterHead(int8_t head, const char *what);
    int64_t readCompactInteger(const char *what);
    QByteArray readCountedBytes(const char *what);
    std::optional<QByteArray> readSharedString();
    int readSharedStringIndex();
    const std::vector<Type> &typesOf(int sharedIndex);
    Group readGroupAt(int depth);
    void readValue(const Type &type, std::vector<Value> &out, int depth);
    double readReal(bool isDouble);
    const Object *readObject(int depth);
    const Class *readClass();
    const Entry &referencedEntry(int64_t reference, const char *what) const;
    void countValue();

    QByteArray _data;
    qsizetype _pos = 0;
    // Where the item being read began, for error messages.
    qsizetype _headPos = 0;
    bool _bigEndian = false;
    int64_t _systemVersion = 0;
    int64_t _valueCount = 0;

    std::vector<QByteArray> _strings;
    std::vector<std::unique_ptr<std::vector<Type>>> _parsedTypes;
    std::vector<Entry> _entries;
    // Owners of everything decoded; values point into these, never at each other
    // through owning pointers, so no input can build a chain deep enough to
    // overflow the stack when it is destroyed.
    std::vector<std::unique_ptr<Object>> _objects;
    std::vector<std::unique_ptr<Class>> _classes;
};

} // namespace attractor
