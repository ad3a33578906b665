#include "persistence/DocumentReader.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

using namespace attractor;

TEST(RefusalMessage, NamesWhatTheBytesAreNotOrWhereTheTextBreaks)
{
    struct Row {
        QByteArray bytes;
        const char16_t *error;
    };
    const Row rows[] = {
        {"plain words", u"not a fractal document: it is neither document text (which begins with “{”) nor an archive"},
        {"{'n': 5,\n  'bg': {}\n  x}", u"JSON syntax error at line 3, column 3: Illegal hash table entry divider."},
        {"{n:1}", u"JSON syntax error at line 1, column 2: Illegal string start character."},
    };
    for (const Row &row : rows) {
        LogCapture log;
        EXPECT_EQ(readDocument(row.bytes).error, QString::fromUtf16(row.error)) << row.bytes.constData();
    }
}
