#include "persistence/JsonValue.h"

#include <utility>

namespace attractor {

JsonValue::JsonValue() = default;

JsonValue::JsonValue(const JsonValue &other)
    : _kind(other._kind)
    , _bool(other._bool)
    , _int(other._int)
    , _float(other._float)
    , _string(other._string)
    , _array(other._array)
    , _table(other._table ? std::make_unique<JsonTable>(*other._table) : nullptr)
{
}

// A moved-from value is null, never a table without its entries.
JsonValue::JsonValue(JsonValue &&other) noexcept
    : _kind(std::exchange(other._kind, Kind::Null))
    , _bool(other._bool)
    , _int(other._int)
    , _float(other._float)
    , _string(std::move(other._string))
    , _array(std::move(other._array))
    , _table(std::move(other._table))
{
}

JsonValue &JsonValue::operator=(const JsonValue &other)
{
    if (this != &other) {
        JsonValue copy(other);
        *this = std::move(copy);
    }
    return *this;
}

JsonValue &JsonValue::operator=(JsonValue &&other) noexcept
{
    if (this != &other) {
        _kind = std::exchange(other._kind, Kind::Null);
        _bool = other._bool;
        _int = other._int;
        _float = other._float;
        _string = std::move(other._string);
        _array = std::move(other._array);
        _table = std::move(other._table);
    }
    return *this;
}

JsonValue::~JsonValue() = default;

JsonValue JsonValue::boolean(bool value)
{
    JsonValue v;
    v._kind = Kind::Boolean;
    v._bool = value;
    return v;
}

JsonValue JsonValue::integer(int32_t value)
{
    JsonValue v;
    v._kind = Kind::Integer;
    v._int = value;
    return v;
}

JsonValue JsonValue::floating(float value)
{
    JsonValue v;
    v._kind = Kind::Float;
    v._float = value;
    return v;
}

JsonValue JsonValue::string(QString value)
{
    JsonValue v;
    v._kind = Kind::String;
    v._string = std::move(value);
    return v;
}

JsonValue JsonValue::array(JsonArray items)
{
    JsonValue v;
    v._kind = Kind::Array;
    v._array = std::move(items);
    return v;
}

JsonValue JsonValue::table()
{
    return table(Table());
}

JsonValue JsonValue::table(Table entries)
{
    JsonValue v;
    v._kind = Kind::Table;
    v._table = std::make_unique<JsonTable>(std::move(entries));
    return v;
}

double JsonValue::toDouble() const
{
    switch (_kind) {
    case Kind::Boolean:
        return _bool ? 1.0 : 0.0;
    case Kind::Integer:
        return _int;
    case Kind::Float:
        return _float;
    default:
        return 0.0;
    }
}

const QString &JsonValue::toString() const
{
    static const QString empty;
    return _kind == Kind::String ? _string : empty;
}

const JsonArray &JsonValue::toArray() const
{
    static const JsonArray empty;
    return _kind == Kind::Array ? _array : empty;
}

const JsonTable &JsonValue::toTable() const
{
    static const Table empty;
    return _kind == Kind::Table ? *_table : empty;
}

JsonArray &JsonValue::arrayItems()
{
    Q_ASSERT(_kind == Kind::Array);
    return _array;
}

JsonTable &JsonValue::tableEntries()
{
    Q_ASSERT(_kind == Kind::Table);
    return *_table;
}

const JsonValue *JsonValue::value(const QString &key) const
{
    return _kind == Kind::Table ? _table->value(key) : nullptr;
}

bool operator==(const JsonValue &lhs, const JsonValue &rhs)
{
    if (lhs._kind != rhs._kind)
        return false;
    switch (lhs._kind) {
    case JsonValue::Kind::Null:
        return true;
    case JsonValue::Kind::Boolean:
        return lhs._bool == rhs._bool;
    case JsonValue::Kind::Integer:
        return lhs._int == rhs._int;
    case JsonValue::Kind::Float:
        return lhs._float == rhs._float;
    case JsonValue::Kind::String:
        return lhs._string == rhs._string;
    case JsonValue::Kind::Array:
        return lhs._array == rhs._array;
    case JsonValue::Kind::Table:
        return *lhs._table == *rhs._table;
    }
    return false;
}

JsonValue::Table::Table(std::initializer_list<Entry> entries)
{
    for (const Entry &entry : entries)
        insert(entry.first, entry.second);
}

qsizetype JsonValue::Table::indexOf(const QString &key) const
{
    if (!_index.isEmpty())
        return _index.value(key, -1);
    for (size_t k = 0; k < _entries.size(); ++k) {
        if (_entries[k].first == key)
            return static_cast<qsizetype>(k);
    }
    return -1;
}

void JsonValue::Table::insert(QString key, JsonValue value)
{
    const qsizetype existing = indexOf(key);
    if (existing >= 0) {
        _entries[static_cast<size_t>(existing)].second = std::move(value);
        return;
    }
    if (!_index.isEmpty()) {
        _index.insert(key, size());
    } else if (_entries.size() + 1 == indexThreshold) {
        for (size_t k = 0; k < _entries.size(); ++k)
            _index.insert(_entries[k].first, static_cast<qsizetype>(k));
        _index.insert(key, size());
    }
    _entries.emplace_back(std::move(key), std::move(value));
}

const JsonValue *JsonValue::Table::value(const QString &key) const
{
    const qsizetype k = indexOf(key);
    return k < 0 ? nullptr : &_entries[static_cast<size_t>(k)].second;
}

JsonValue *JsonValue::Table::value(const QString &key)
{
    const qsizetype k = indexOf(key);
    return k < 0 ? nullptr : &_entries[static_cast<size_t>(k)].second;
}

bool operator==(const JsonValue::Table &lhs, const JsonValue::Table &rhs)
{
    if (lhs.size() != rhs.size())
        return false;
    for (const JsonValue::Table::Entry &entry : lhs) {
        const JsonValue *other = rhs.value(entry.first);
        if (!other || !(*other == entry.second))
            return false;
    }
    return true;
}

} // namespace attractor
