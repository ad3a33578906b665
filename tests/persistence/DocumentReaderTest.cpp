#include "persistence/DocumentReader.h"

#include "model/QvTransform.h"
#include "persistence/DocumentFormat.h"
#include "persistence/LegacyArchive.h"

#include "support/LogCapture.h"
#include "QtPrinters.h"

#include <QByteArray>

#include <gtest/gtest.h>

using namespace attractor;

namespace {

TEST(DocumentReader, ReadsTheWrittenDocumentText)
{
    const FracPtr original = QvFrac::defaultFractal();
    LogCapture log;
    const DocumentReadResult result = readDocument(jsonRepresentation(*original).toUtf8());
    ASSERT_TRUE(result.ok()) << result.error.toStdString();
    EXPECT_TRUE(result.error.isEmpty());
    EXPECT_EQ(jsonRepresentation(*result.fractal), jsonRepresentation(*original));
    EXPECT_TRUE(log.lines().isEmpty());
}

// Non-ASCII text in strings is decoded as UTF-8. Some editors put a
// byte-order mark in front of UTF-8 text; it is not content.
TEST(DocumentReader, Utf8TextWithOrWithoutByteOrderMarkIsDocumentText)
{
    for (const QByteArray &bytes : {QByteArrayLiteral("{'n':5, 'note':'Gr\xc3\xbc\xc3\x9f\x65 \xf0\x9f\x98\x80'}"),
                                    QByteArrayLiteral("\xef\xbb\xbf{'n':5}")}) {
        const DocumentReadResult result = readDocument(bytes);
        ASSERT_TRUE(result.ok()) << result.error.toStdString();
        EXPECT_EQ(result.fractal->iterations(), 5);
    }
}

struct Unparsable {
    const char *bytes;
    const char16_t *reason;
};

class UnparsableDocument : public testing::TestWithParam<Unparsable> {};

// Opening such a file as an empty fractal would let the next save destroy it.
TEST_P(UnparsableDocument, IsRefusedWithTheReadersReason)
{
    LogCapture log;
    const DocumentReadResult result = readDocument(QByteArray(GetParam().bytes));
    const QString reason = QString::fromUtf16(GetParam().reason);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.fractal, nullptr);
    EXPECT_TRUE(result.error.endsWith(QStringLiteral(": ") + reason)) << result.error.toStdString();
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("JSON Parsing Error: ") + reason});
}

INSTANTIATE_TEST_SUITE_P(Reasons, UnparsableDocument, testing::Values(
    Unparsable{"{'n':1", u"Unexpected end of source string."},
    Unparsable{"{n:1}", u"Illegal string start character."},
    Unparsable{"{'n':inf}", u"Illegal Object Prefix: 'i' (0x69)"},
    Unparsable{"{'n':nan}", u"Illegal character appeared."}));

class NotJsonText : public testing::TestWithParam<QByteArray> {};

// Only valid UTF-8 that begins with '{' itself is document text; everything
// else is for the archive reader to accept or refuse.
TEST_P(NotJsonText, GoesToTheArchiveReader)
{
    LogCapture log;
    const DocumentReadResult result = readDocument(GetParam());
    const DocumentReadResult archive = readLegacyArchive(GetParam());
    EXPECT_EQ(result.ok(), archive.ok());
    EXPECT_TRUE(result.error.startsWith(QStringLiteral("not a fractal document: "))) << result.error.toStdString();
    EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join(u'\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Bytes, NotJsonText, testing::Values(
    QByteArray(),
    QByteArrayLiteral(" {'n':1}"),
    QByteArrayLiteral("/**/{'n':1}"),
    QByteArrayLiteral("{'n':1, 'x':'\xff'}"),
    QByteArrayLiteral("{'n':1, 'x':'\xe2\x82"),
    QByteArrayLiteral("\x04\x0btypedstream\x81\xe8\x03\x84\x01@")));

} // namespace
