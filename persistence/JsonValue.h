#pragma once

#include <QHash>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace attractor {

class JsonValue;
using JsonArray = std::vector<JsonValue>;
using JsonTable = QHash<QString, JsonValue>;

// One node of the tree the lenient JSON reader builds. A plain value: copies
// are deep, so a caller may change its tree without affecting anyone else's.
class JsonValue
{
public:
    enum class Kind { Null, Boolean, Integer, Float, String, Array, Table };

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
    static JsonValue table(JsonTable entries = {});

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
    const JsonTable &toTable() const;

    // Mutable access; the value must be of that kind.
    JsonArray &arrayItems();
    JsonTable &tableEntries();

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
    std::unique_ptr<JsonTable> _table;
};

} // namespace attractor
