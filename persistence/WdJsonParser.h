#pragma once

#include "persistence/JsonValue.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace attractor {

// Recursive-descent reader for JSON with the relaxations our documents use:
// single-quoted strings, // and /* */ comments, trailing commas, numbers that
// begin with '+' or '.', and \' in strings. A syntax error yields no value
// and one log line "JSON Parsing Error: <reason>", never a partial tree.
class WdJsonParser
{
public:
    // Deeper texts are refused: each level costs a few stack frames.
    static constexpr int maxDepth = 512;

    explicit WdJsonParser(const QString &source);

    // The root value, or nothing when the text is not well formed. Can be
    // called again; every call starts at the beginning of the text.
    std::optional<JsonValue> parse();

    // Why the last parse failed; empty after a successful one.
    const QString &errorReason() const { return _errorReason; }
    // Where in the text the last parse failed (a character index), or -1.
    qsizetype errorPosition() const { return _errorPosition; }

private:
    struct SyntaxError {
        QString reason;
    };

    JsonValue parseImpl();

    bool hasMoreCharacters() const { return mPos < mLength; }
    QChar lookAtNextCharacter() const;
    QChar getNextCharacter();
    QString getNextString(qsizetype count);
    void skipCharacter() { ++mPos; }

    void skipWhiteSpaces();
    void skipComment();
    void skipLineComment();
    void skipNormalComment();
    void skipWhiteSpacesAndComments();

    JsonValue parseObject();
    JsonValue parseString();
    JsonValue parseNumber();
    JsonValue parseTrue();
    JsonValue parseFalse();
    JsonValue parseNull();
    JsonValue parseArray();
    JsonValue parseHashTable();

    QString readString();
    void enterContainer();

    [[noreturn]] static void fail(const QString &reason);

    QString mSource;
    qsizetype mLength = 0;
    qsizetype mPos = 0;
    int _depth = 0;
    QString _errorReason;
    qsizetype _errorPosition = -1;
};

// The value tree of a text, or nothing (after one log line) when it does not parse.
std::optional<JsonValue> jsonObject(const QString &text);

} // namespace attractor
