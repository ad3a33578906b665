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
