#include "AppFixture.h"

#include "app/DocumentController.h"
#include "app/MyDocument.h"
#include "editor/QvIFSView.h"

namespace attractor {

class OpenMessagesTest : public AppFixture
{
};

TEST_F(OpenMessagesTest, TextAfterAByteOrderMarkOpensAndSavesInPlaceAsText)
{
    writeFile(QStringLiteral("bom.frac"), QByteArray("\xEF\xBB\xBF{'n': 50, 'transforms': [{'sx': 0.5, 'sy': 0.5}]}"));
    MyDocument *document = open(path(QStringLiteral("bom.frac")));
    ASSERT_NE(document, nullptr) << _errors.join(u'\n').toStdString();
    EXPECT_FALSE(document->openedFromArchive());
    document->ifsView()->newTransform();
    ASSERT_TRUE(document->save());
    EXPECT_TRUE(_proposedPaths.isEmpty()) << "saved in place, without asking for a name";
    EXPECT_TRUE(readFile(path(QStringLiteral("bom.frac"))).startsWith('{'));
}

} // namespace attractor

namespace attractor {

TEST_F(OpenMessagesTest, LaunchOpensTheNamedFilesOrElseAnUntitledDocument)
{
    writeFile(QStringLiteral("good.frac"), QByteArray("{'n': 50, 'transforms': [{'sx': 0.5}]}"));
    writeFile(QStringLiteral("words.frac"), QByteArray("plain words"));
    struct Row {
        QStringList names;
        bool anythingOpen;
        int documents;
        int errors;
    };
    for (const Row &row : {Row{{}, true, 1, 0}, Row{{QStringLiteral("words.frac"), QStringLiteral("none.frac")}, false, 0, 2},
                           Row{{QStringLiteral("words.frac"), QStringLiteral("good.frac")}, true, 1, 1}}) {
        _errors.clear();
        QStringList paths;
        for (const QString &name : row.names)
            paths << path(name);
        EXPECT_EQ(_controller->openAtLaunch(paths), row.anythingOpen) << row.names.join(u' ').toStdString();
        EXPECT_EQ(documentCount(), row.documents);
        ASSERT_EQ(_errors.size(), row.errors);
        if (row.errors > 0) {
            EXPECT_TRUE(_errors[0].contains(QStringLiteral("words.frac” could not be opened: not a fractal document: it is neither document text")))
                << _errors[0].toStdString();
        }
        _controller->closeAll();
        settle();
    }
}

} // namespace attractor
