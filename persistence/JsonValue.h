#pragma once

#include <QHash>
#include <QString>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

namespace attractor {

class JsonValue;
using JsonArray = std::vector<JsonValue>;

// One node of the tree the lenient JSON reader builds. A plain value: copies
// are deep, so a caller may change its tree without affecting anyone else's.
class JsonValue
{
public:
    enum class Kind { Null, Boolean, Integer, Float, String, Array, Table };
    class Table;

    JsonValue(); // null
    JsonValue(const JsonValue &other);
    JsonValue(JsonValue &&other) noexcept;
    JsonValue &operator=(const JsonValue &other);
    JsonValue &operator=(JsonValue &&other) noexcept;
    ~JsonValue();

    static JsonValue boolean(bool value);
    static JsonValue integer(int32_t value);
    static JsonValue floating(float value);
    static JsonValue string(QString value);
    static JsonValue array(JsonArray items = {});
    static JsonValue table();
    static JsonValue table(Table entries);

    Kind kind() const { return _kind; }
    bool isNull() const { return _kind == Kind::Null; }
    // Booleans count as numbers: a document may hold true where a number is expected.
    bool isNumber() const { return _kind == Kind::Boolean || _kind == Kind::Integer || _kind == Kind::Float; }
    bool isString() const { return _kind == Kind::String; }
    bool isArray() const { return _kind == Kind::Array; }
    bool isTable() const { return _kind == Kind::Table; }

    // The exact 64-bit value of a number node (true 1, false 0); 0 for other kinds.
    double toDouble() const;
    bool toBool() const { return _kind == Kind::Boolean && _bool; }
    int32_t toInt() const { return _kind == Kind::Integer ? _int : 0; }
    float toFloat() const { return _kind == Kind::Float ? _float : 0.0f; }
    // Empty for other kinds.
    const QString &toString() const;
    const JsonArray &toArray() const;
    const Table &toTable() const;

    // Mutable access; the value must be of that kind.
    JsonArray &arrayItems();
    Table &tableEntries();

    // The entry under key of a table; nullptr when missing or when this is no table.
    const JsonValue *value(const QString &key) const;

    friend bool operator==(const JsonValue &lhs, const JsonValue &rhs);

private:
    Kind _kind = Kind::Null;
    bool _bool = false;
    int32_t _int = 0;
    float _float = 0.0f;
    QString _string;
    JsonArray _array;
    std::unique_ptr<Table> _table;
};

// String keys to values. Storing a key that is present replaces its value.
// Documents hold many small tables, so entries live in one vector and only
// a large table gets a hash index (keeps repeated keys from going quadratic).
class JsonValue::Table
{
public:
    using Entry = std::pair<QString, JsonValue>;

    Table() = default;
    Table(std::initializer_list<Entry> entries);

    void insert(QString key, JsonValue value);
    const JsonValue *value(const QString &key) const;
    JsonValue *value(const QString &key);

    qsizetype size() const { return static_cast<qsizetype>(_entries.size()); }
    bool isEmpty() const { return _entries.empty(); }
    // In the order keys first appeared; nothing relies on that order.
    std::vector<Entry>::const_iterator begin() const { return _entries.begin(); }
    std::vector<Entry>::const_iterator end() const { return _entries.end(); }

    friend bool operator==(const Table &lhs, const Table &rhs);

private:
    static constexpr size_t indexThreshold = 16;

    qsizetype indexOf(const QString &key) const;

    std::vector<Entry> _entries;
    QHash<QString, qsizetype> _index; // empty while the table is small
};
using JsonTable = JsonValue::Table;

} // namespace attractor
