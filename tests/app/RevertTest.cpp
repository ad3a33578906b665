#include "AppFixture.h"

#include "app/DocumentController.h"
#include "app/MyDocument.h"
#include "editor/QvIFSView.h"

namespace attractor {
namespace {

struct RevertCase {
    const char *name;
    bool edited;
    bool answer;   // to "Revert to the saved version?"
    bool asked;
    bool reverted; // the file's single map is back
};

class RevertTest : public AppFixture, public ::testing::WithParamInterface<RevertCase>
{
};

// Edits are thrown away only when the user agrees; an unedited document
// reads its file again without a question.
TEST_P(RevertTest, AsksBeforeThrowingEditsAway)
{
    const RevertCase &c = GetParam();
    writeFile(QStringLiteral("doc.frac"), "{\"n\": 50, \"transforms\": [{\"sx\": 0.5, \"sy\": 0.5, \"p\": 1}]}");
    MyDocument *document = open(path(QStringLiteral("doc.frac")));
    ASSERT_NE(document, nullptr);
    int asked = 0;
    Prompts::Handlers handlers;
    handlers.confirmRevert = [&](QWidget *, const QString &) {
        ++asked;
        return c.answer;
    };
    Prompts::install(handlers);
    if (c.edited)
        document->ifsView()->newTransform();

    EXPECT_EQ(document->revert(), c.reverted);
    EXPECT_EQ(asked, c.asked ? 1 : 0);
    EXPECT_EQ(document->fractal()->transforms()->size(), c.reverted || !c.edited ? 1u : 2u);
    EXPECT_EQ(document->isDocumentEdited(), c.edited && !c.reverted);
}

INSTANTIATE_TEST_SUITE_P(Answers, RevertTest,
                         ::testing::Values(RevertCase{"EditedAndConfirmed", true, true, true, true},
                                           RevertCase{"EditedAndRefused", true, false, true, false},
                                           RevertCase{"Unedited", false, false, false, true}),
                         CaseName());

} // namespace
} // namespace attractor
