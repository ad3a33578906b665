#include "AppFixture.h"
#include "support/FileSizeLimit.h"

#include "app/DocumentController.h"
#include "app/MyDocument.h"
#include "model/QvFrac.h"
#include "model/QvTransform.h"
#include "persistence/DocumentFormat.h"

#include <QDir>

namespace attractor {
namespace {

class SaveFailureTest : public AppFixture
{
};

// A save the disk cuts short must leave the saved file as it was, keep the
// document edited and say which file failed.
TEST_F(SaveFailureTest, ShortWriteKeepsTheSavedFileAndTheEdits)
{
    const QByteArray saved = "{\"n\": 50, \"transforms\": [{\"sx\": 0.5, \"sy\": 0.5, \"p\": 1}]}";
    writeFile(QStringLiteral("doc.frac"), saved);
    MyDocument *document = open(path(QStringLiteral("doc.frac")));
    ASSERT_NE(document, nullptr);
    // Enough maps that the text is larger than the file's write buffer and goes
    // out in one write that the limit below cuts short.
    TransformList &maps = *document->fractal()->transforms();
    for (int i = 0; i < 600; ++i)
        maps.push_back(std::make_shared<QvTransform>());
    document->updateChangeCount(Document::ChangeDone);
    ASSERT_GT(jsonRepresentation(*document->fractal()).size(), 32 * 1024);

    {
        const FileSizeLimit limit(16 * 1024);
        EXPECT_FALSE(document->save());
    }
    EXPECT_EQ(readFile(path(QStringLiteral("doc.frac"))), saved);
    EXPECT_EQ(QDir(_dir.path()).entryList(QDir::Files).size(), 1) << "a temporary file was left behind";
    EXPECT_TRUE(document->isDocumentEdited());
    ASSERT_EQ(_errors.size(), 1);
    EXPECT_TRUE(_errors[0].contains(QStringLiteral("doc.frac"))) << _errors[0].toStdString();
}

} // namespace
} // namespace attractor
