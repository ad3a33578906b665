#include "persistence/TypedStream.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace attractor {

namespace {

// Tags are head bytes read as signed 8-bit values.
constexpr int8_t tagInt16 = -127;
constexpr int8_t tagInt32 = -126;
constexpr int8_t tagReal = -125;
constexpr int8_t tagNew = -124;
constexpr int8_t tagNil = -123;
constexpr int8_t tagEndOfObject = -122;
constexpr int8_t smallestLiteral = -110;
constexpr uint8_t endOfObjectByte = 0x86;
// References count from the first byte that is not a tag.
constexpr int64_t referenceBase = 110;

constexpr int64_t sizeCap = int64_t(1) << 40;

int64_t saturatingAdd(int64_t a, int64_t b)
{
    return std::min(sizeCap, a + b);
}

int64_t saturatingMul(int64_t a, int64_t b)
{
    if (a == 0 || b == 0)
        return 0;
    return a > sizeCap / b ? sizeCap : std::min(sizeCap, a * b);
}

QString hexByte(uint8_t byte)
{
    return QStringLiteral("0x%1").arg(byte, 2, 16, QLatin1Char('0'));
}

QString describeTag(int8_t head)
{
    switch (head) {
    case tagInt32:
        return QStringLiteral("a 4-byte integer");
    case tagReal:
        return QStringLiteral("a real number");
    case tagNew:
        return QStringLiteral("a new entry");
    case tagNil:
        return QStringLiteral("nil");
    case tagEndOfObject:
        return QStringLiteral("the end of an object");
    default:
        return QStringLiteral("the reserved tag %1").arg(hexByte(static_cast<uint8_t>(head)));
    }
}

QString quoted(const QByteArray &text)
{
    return QLatin1Char('"') + QString::fromLatin1(text.left(64)) + QLatin1Char('"');
}

} // namespace

// One parsed type of a type string. Types that occupy no bytes ('!', structs of
// nothing) are dropped while parsing, so every kept type consumes at least one
// byte and decoding work stays proportional to the bytes read.
struct TypedStream::Type {
    char code = 0; // c s i f d @ # * : + { [ and 'b' for an array of chars
    bool isUnsigned = false;
    int64_t count = 0;
    int64_t minSize = 1;
    std::vector<Type> items;
};

struct TypedStream::Entry {
    enum class Kind { Object, Class, CString };
    Kind kind = Kind::Object;
    const Object *object = nullptr;
    const Class *cls = nullptr;
    bool inProgress = false;
};

namespace {

using Type = TypedStream::Type;

class TypeParser
{
public:
    explicit TypeParser(const QByteArray &text)
        : _text(text)
    {
    }

    std::vector<Type> parse()
    {
        return parseList(0, '\0');
    }

private:
    [[noreturn]] void fail(const QString &what) const
    {
        throw TypedStream::Error{QStringLiteral("the type string %1 has %2").arg(quoted(_text), what)};
    }

    char peek() const { return _pos < _text.size() ? _text.at(_pos) : '\0'; }

    std::vector<Type> parseList(int depth, char terminator)
    {
        std::vector<Type> types;
        while (_pos < _text.size() && _text.at(_pos) != terminator) {
            if (std::optional<Type> t = parseOne(depth))
                types.push_back(std::move(*t));
        }
        return types;
    }

    std::optional<Type> parseOne(int depth)
    {
        const char c = _text.at(_pos++);
        Type t;
        switch (c) {
        case 'c': case 'C': case 'B':
            t.code = 'c';
            t.isUnsigned = c != 'c';
            return t;
        case 's': case 'S':
            t.code = 's';
            t.isUnsigned = c == 'S';
            return t;
        case 'i': case 'I': case 'l': case 'L':
            t.code = 'i';
            t.isUnsigned = c == 'I' || c == 'L';
            return t;
        case 'f': case 'd': case '@': case '#': case '*': case ':': case '+':
            t.code = c;
            return t;
        case '%':
            t.code = ':';
            return t;
        case '!':
            return std::nullopt;
        case '}':
        case ']':
            fail(QStringLiteral("an unmatched '%1'").arg(QLatin1Char(c)));
        case '{':
            return parseStruct(depth + 1);
        case '[':
            return parseArray(depth + 1);
        default:
            fail(QStringLiteral("the unsupported type code '%1'").arg(QString::fromLatin1(&c, 1)));
        }
    }

    std::optional<Type> parseStruct(int depth)
    {
        if (depth > TypedStream::maxTypeDepth)
            fail(QStringLiteral("brackets nested deeper than %1").arg(TypedStream::maxTypeDepth));
        qsizetype nameEnd = _pos;
        while (nameEnd < _text.size() && !QByteArrayView("={}[]()").contains(_text.at(nameEnd)))
            ++nameEnd;
        if (nameEnd < _text.size() && _text.at(nameEnd) == '=')
            _pos = nameEnd + 1;
        Type t;
        t.code = '{';
        t.minSize = 0;
        t.items = parseList(depth, '}');
        if (peek() != '}')
            fail(QStringLiteral("an unterminated struct"));
        ++_pos;
        for (const Type &field : t.items)
            t.minSize = saturatingAdd(t.minSize, field.minSize);
        if (t.items.empty())
            return std::nullopt;
        return t;
    }

    std::optional<Type> parseArray(int depth)
    {
        if (depth > TypedStream::maxTypeDepth)
            fail(QStringLiteral("brackets nested deeper than %1").arg(TypedStream::maxTypeDepth));
        int64_t count = 0;
        const qsizetype digitsStart = _pos;
        while (peek() >= '0' && peek() <= '9') {
            count = count * 10 + (peek() - '0');
            if (count > std::numeric_limits<int32_t>::max())
                fail(QStringLiteral("an absurd array length"));
            ++_pos;
        }
        if (_pos == digitsStart)
            fail(QStringLiteral("an array without a length"));
        if (peek() == ']' || peek() == '\0')
            fail(QStringLiteral("an array without an element type"));
        std::optional<Type> element = parseOne(depth);
        if (peek() != ']')
            fail(QStringLiteral("an unterminated array"));
        ++_pos;
        if (!element || count == 0)
            return std::nullopt;
        Type t;
        t.count = count;
        if (element->code == 'c') {
            t.code = 'b';
            t.minSize = count;
        } else {
            t.code = '[';
            t.minSize = saturatingMul(count, element->minSize);
            t.items.push_back(std::move(*element));
        }
        return t;
    }

    const QByteArray &_text;
    qsizetype _pos = 0;
};

} // namespace

TypedStream::TypedStream(const QByteArray &data)
    : _data(data)
{
}

TypedStream::~TypedStream() = default;

void TypedStream::fail(const QString &reason) const
{
    throw Error{QStringLiteral("%1 at byte %2").arg(reason).arg(_headPos)};
}

void TypedStream::truncated() const
{
    throw Error{QStringLiteral("the archive is truncated")};
}

void TypedStream::need(qsizetype count) const
{
    if (count < 0 || count > _data.size() - _pos)
        truncated();
}

uint8_t TypedStream::readByte()
{
    need(1);
    return static_cast<uint8_t>(_data.at(_pos++));
}

int8_t TypedStream::readHead()
{
    _headPos = _pos;
    return static_cast<int8_t>(readByte());
}

uint16_t TypedStream::readUInt16()
{
    need(2);
    const auto *p = reinterpret_cast<const uint8_t *>(_data.constData() + _pos);
    _pos += 2;
    return _bigEndian ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]);
}

uint32_t TypedStream::readUInt32()
{
    need(4);
    const auto *p = reinterpret_cast<const uint8_t *>(_data.constData() + _pos);
    _pos += 4;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v = v << 8 | p[_bigEndian ? i : 3 - i];
    return v;
}

uint64_t TypedStream::readUInt64()
{
    need(8);
    const auto *p = reinterpret_cast<const uint8_t *>(_data.constData() + _pos);
    _pos += 8;
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i)
        v = v << 8 | p[_bigEndian ? i : 7 - i];
    return v;
}

int64_t TypedStream::integerAfterHead(int8_t head, const char *what)
{
    if (head == tagInt16)
        return static_cast<int16_t>(readUInt16());
    if (head == tagInt32)
        return static_cast<int32_t>(readUInt32());
    if (head >= smallestLiteral)
        return head;
    fail(QStringLiteral("unexpected %1 where %2 was expected").arg(describeTag(head), QLatin1String(what)));
}

int64_t TypedStream::readCompactInteger(const char *what)
{
    return integerAfterHead(readHead(), what);
}

QByteArray TypedStream::readCountedBytes(const char *what)
{
    const int64_t length = readCompactInteger(what);
    if (length < 0)
        fail(QStringLiteral("a negative length"));
    if (length > _data.size() - _pos)
        truncated();
    QByteArray bytes = _data.mid(_pos, static_cast<qsizetype>(length));
    _pos += static_cast<qsizetype>(length);
    return bytes;
}

void TypedStream::readHeader()
{
    if (readByte() != 4)
        throw Error{QStringLiteral("the data is not a typed-stream archive")};
    _headPos = _pos;
    if (readByte() != 11)
        throw Error{QStringLiteral("the data is not a typed-stream archive")};
    need(11);
    const QByteArray signature = _data.mid(_pos, 11);
    _pos += 11;
    if (signature == "streamtyped")
        _bigEndian = false;
    else if (signature == "typedstream")
        _bigEndian = true;
    else
        throw Error{QStringLiteral("the archive has an unknown signature")};
    _systemVersion = readCompactInteger("the system version");
}

int TypedStream::readSharedStringIndex()
{
    const int8_t head = readHead();
    if (head == tagNil)
        return -1;
    if (head == tagNew) {
        QByteArray text = readCountedBytes("a string length");
        _strings.push_back(std::move(text));
        _parsedTypes.push_back(nullptr);
        return static_cast<int>(_strings.size() - 1);
    }
    const int64_t index = integerAfterHead(head, "a string") + referenceBase;
    if (index < 0 || index >= static_cast<int64_t>(_strings.size()))
        fail(QStringLiteral("a reference to string %1, which has not been read").arg(index));
    return static_cast<int>(index);
}

std::optional<QByteArray> TypedStream::readSharedString()
{
    const int index = readSharedStringIndex();
    if (index < 0)
        return std::nullopt;
    return _strings[static_cast<size_t>(index)];
}

const std::vector<TypedStream::Type> &TypedStream::typesOf(int sharedIndex)
{
    std::unique_ptr<std::vector<Type>> &parsed = _parsedTypes[static_cast<size_t>(sharedIndex)];
    if (!parsed)
        parsed = std::make_unique<std::vector<Type>>(TypeParser(_strings[static_cast<size_t>(sharedIndex)]).parse());
    return *parsed;
}

void TypedStream::countValue()
{
    if (++_valueCount > maxValues)
        fail(QStringLiteral("more values than an archive of a fractal can hold"));
}

TypedStream::Group TypedStream::readGroup()
{
    return readGroupAt(0);
}

TypedStream::Group TypedStream::readGroupAt(int depth)
{
    const int index = readSharedStringIndex();
    if (index < 0)
        fail(QStringLiteral("a nil type string"));
    Group group;
    group.type = _strings[static_cast<size_t>(index)];
    if (group.type.isEmpty())
        fail(QStringLiteral("an empty type string"));
    for (const Type &type : typesOf(index))
        readValue(type, group.values, depth);
    return group;
}

const TypedStream::Entry &TypedStream::referencedEntry(int64_t reference, const char *what) const
{
    const int64_t index = reference + referenceBase;
    if (index < 0 || index >= static_cast<int64_t>(_entries.size()))
        fail(QStringLiteral("a reference to %1 %2, which has not been read").arg(QLatin1String(what)).arg(index));
    return _entries[static_cast<size_t>(index)];
}

double TypedStream::readReal(bool isDouble)
{
    const int8_t head = readHead();
    if (head == tagReal)
        return isDouble ? std::bit_cast<double>(readUInt64()) : double(std::bit_cast<float>(readUInt32()));
    const int64_t integer = integerAfterHead(head, "a number");
    return isDouble ? double(integer) : double(float(integer));
}

void TypedStream::readValue(const Type &type, std::vector<Value> &out, int depth)
{
    countValue();
    Value v;
    switch (type.code) {
    case 'c': {
        const uint8_t byte = readByte();
        v.integer = type.isUnsigned ? int64_t(byte) : int64_t(static_cast<int8_t>(byte));
        break;
    }
    case 's': {
        const int8_t head = readHead();
        if (head != tagInt16 && head < smallestLiteral)
            fail(QStringLiteral("unexpected %1 where a short integer was expected").arg(describeTag(head)));
        v.integer = integerAfterHead(head, "a short integer");
        if (type.isUnsigned)
            v.integer &= 0xffff;
        break;
    }
    case 'i':
        v.integer = readCompactInteger("an integer");
        if (type.isUnsigned)
            v.integer &= 0xffffffff;
        break;
    case 'f':
    case 'd':
        v.kind = Value::Kind::Real;
        v.real = readReal(type.code == 'd');
        break;
    case '@':
        v.kind = Value::Kind::Object;
        v.object = readObject(depth + 1);
        v.isNil = v.object == nullptr;
        break;
    case '#':
        v.kind = Value::Kind::Class;
        v.cls = readClass();
        v.isNil = v.cls == nullptr;
        break;
    case '*': {
        v.kind = Value::Kind::CString;
        const int8_t head = readHead();
        if (head == tagNil) {
            v.isNil = true;
        } else if (head == tagNew) {
            _entries.push_back({Entry::Kind::CString, nullptr, nullptr, false});
            std::optional<QByteArray> text = readSharedString();
            v.isNil = !text;
            v.bytes = text.value_or(QByteArray());
        } else {
            const Entry &entry = referencedEntry(integerAfterHead(head, "a C string"), "C string");
            if (entry.kind != Entry::Kind::CString)
                fail(QStringLiteral("a C-string reference that names an object or class"));
            // The text itself is not kept in the table: no document needs it.
        }
        break;
    }
    case ':': {
        v.kind = Value::Kind::SharedString;
        std::optional<QByteArray> text = readSharedString();
        v.isNil = !text;
        v.bytes = text.value_or(QByteArray());
        break;
    }
    case '+':
        v.kind = Value::Kind::Bytes;
        if (readHead() == tagNil) {
            v.isNil = true;
        } else {
            _pos = _headPos;
            v.bytes = readCountedBytes("a string length");
        }
        break;
    case 'b':
        v.kind = Value::Kind::Bytes;
        need(static_cast<qsizetype>(type.count));
        v.bytes = _data.mid(_pos, static_cast<qsizetype>(type.count));
        _pos += static_cast<qsizetype>(type.count);
        break;
    case '{':
        v.kind = Value::Kind::Struct;
        for (const Type &field : type.items)
            readValue(field, v.items, depth);
        break;
    case '[':
        v.kind = Value::Kind::Array;
        if (type.minSize > _data.size() - _pos)
            truncated();
        for (int64_t i = 0; i < type.count; ++i)
            readValue(type.items.front(), v.items, depth);
        break;
    default:
        fail(QStringLiteral("an unsupported type"));
    }
    out.push_back(std::move(v));
}

const TypedStream::Object *TypedStream::readObject(int depth)
{
    const int8_t head = readHead();
    if (head == tagNil)
        return nullptr;
    if (head != tagNew) {
        const Entry &entry = referencedEntry(integerAfterHead(head, "an object"), "object");
        if (entry.kind != Entry::Kind::Object)
            fail(QStringLiteral("an object reference that names a class or C string"));
        if (entry.inProgress)
            fail(QStringLiteral("an object that contains itself"));
        return entry.object;
    }
    if (depth > maxObjectDepth)
        fail(QStringLiteral("objects nested deeper than %1").arg(maxObjectDepth));
    _objects.push_back(std::make_unique<Object>());
    Object *object = _objects.back().get();
    const size_t entryIndex = _entries.size();
    _entries.push_back({Entry::Kind::Object, object, nullptr, true});
    object->cls = readClass();
    if (!object->cls)
        fail(QStringLiteral("an object without a class"));
    while (true) {
        need(1);
        if (static_cast<uint8_t>(_data.at(_pos)) == endOfObjectByte) {
            ++_pos;
            break;
        }
        object->groups.push_back(readGroupAt(depth));
    }
    _entries[entryIndex].inProgress = false;
    return object;
}

const TypedStream::Class *TypedStream::readClass()
{
    int8_t head = readHead();
    if (head == tagNil)
        return nullptr;
    if (head != tagNew) {
        const Entry &entry = referencedEntry(integerAfterHead(head, "a class"), "class");
        if (entry.kind != Entry::Kind::Class)
            fail(QStringLiteral("a class reference that names an object or C string"));
        return entry.cls;
    }
    // A chain of new classes, subclass first, read in a loop rather than by
    // recursion so that its length costs no stack.
    const int64_t chainStart = static_cast<int64_t>(_entries.size());
    Class *first = nullptr;
    Class *previous = nullptr;
    for (int length = 1;; ++length) {
        if (length > maxClassChain)
            fail(QStringLiteral("a class chain longer than %1").arg(maxClassChain));
        _classes.push_back(std::make_unique<Class>());
        Class *cls = _classes.back().get();
        _entries.push_back({Entry::Kind::Class, nullptr, cls, false});
        std::optional<QByteArray> name = readSharedString();
        if (!name)
            fail(QStringLiteral("a class without a name"));
        if (name->isEmpty())
            fail(QStringLiteral("a class with an empty name"));
        cls->name = std::move(*name);
        cls->version = readCompactInteger("a class version");
        if (previous)
            previous->superclass = cls;
        else
            first = cls;
        previous = cls;

        head = readHead();
        if (head == tagNew)
            continue;
        if (head == tagNil)
            break;
        const int64_t reference = integerAfterHead(head, "a superclass");
        const Entry &entry = referencedEntry(reference, "class");
        if (entry.kind != Entry::Kind::Class)
            fail(QStringLiteral("a superclass reference that names an object or C string"));
        if (reference + referenceBase >= chainStart)
            fail(QStringLiteral("a class that is its own superclass"));
        cls->superclass = entry.cls;
        break;
    }
    return first;
}

} // namespace attractor
