#include "AppFixture.h"

#include "app/DocumentController.h"
#include "app/MyDocument.h"
#include "app/Using.h"
#include "editor/QvIFSView.h"
#include "model/QvTransform.h"
#include "renderer/MyOpenGLView.h"

#include <QFile>
#include <QPrinter>
#include <QSettings>

namespace attractor {
namespace {

class CommandsTest : public AppFixture
{
protected:
    static QVariant tipsSetting() { return QSettings().value(Using::kShowTipsKey); }
    static void setTipsSetting(bool value) { QSettings().setValue(Using::kShowTipsKey, value); }
};

TEST_F(CommandsTest, RandomFractalHasOnlyOpaqueWhiteMapsAndMarksTheDocument)
{
    MyDocument *document = newDocument();
    MyDocument *other = newDocument();
    const FracPtr before = document->fractal();
    document->makeRandomFractal();

    ASSERT_NE(document->fractal(), before);
    const auto &maps = *document->fractal()->transforms();
    ASSERT_FALSE(maps.empty());
    for (const TransformPtr &map : maps)
        EXPECT_EQ(map->rgb(), (_rgb_color{1, 1, 1, 1}));
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_FALSE(other->isDocumentEdited());
    EXPECT_EQ(document->ifsView()->fractal(), document->fractal());
    EXPECT_EQ(document->fractalView()->fractal(), document->fractal());
}

int pageCount(const QByteArray &pdf)
{
    int pages = 0;
    for (qsizetype at = pdf.indexOf("/Type /Page"); at >= 0; at = pdf.indexOf("/Type /Page", at + 1)) {
        if (pdf.mid(at, 12) != "/Type /Pages")
            ++pages;
    }
    return pages;
}

struct PrintCase {
    const char *name;
    bool answer;        // what the print dialog answers
    const char *output; // the PDF, relative to the test folder; "plain" is a file
    bool written;
};

class PrintTest : public CommandsTest, public ::testing::WithParamInterface<PrintCase> {};

TEST_P(PrintTest, PrintsIntoTheMarginsAndAlwaysLeavesPrintMode)
{
    MyDocument *document = newDocument();
    writeFile(QStringLiteral("plain"), "x");
    const QString pdf = path(QString::fromLatin1(GetParam().output));
    document->printInfo().setOutputFormat(QPrinter::PdfFormat);
    document->printInfo().setOutputFileName(pdf);
    _printAnswer = GetParam().answer;

    // Twice: the settings are the document's own and stay as they were.
    for (int round = 1; round <= 2; ++round) {
        QFile::remove(pdf);
        document->printDocument();
        EXPECT_EQ(_printAsked, round);
        EXPECT_TRUE(_printingWhenAsked);
        EXPECT_FALSE(document->fractalView()->printing());
        EXPECT_EQ(document->printInfo().outputFileName(), pdf);
        const QMarginsF margins = document->printInfo().pageLayout().margins(QPageLayout::Point);
        for (qreal margin : {margins.left(), margins.top(), margins.right(), margins.bottom()})
            EXPECT_NEAR(margin, 30.0, 0.01);
        if (GetParam().written) {
            EXPECT_EQ(pageCount(readFile(pdf)), 1);
        } else {
            EXPECT_FALSE(QFile::exists(pdf));
        }
    }
    // Only a print that was asked for and failed is reported.
    const bool failed = GetParam().answer && !GetParam().written;
    EXPECT_EQ(_errors.size(), failed ? 2 : 0);
    EXPECT_FALSE(document->isDocumentEdited());
}

INSTANTIATE_TEST_SUITE_P(Outcomes, PrintTest,
                         ::testing::Values(PrintCase{"Printed", true, "print.pdf", true},
                                           PrintCase{"Cancelled", false, "cancelled.pdf", false},
                                           PrintCase{"Unwritable", true, "plain/out.pdf", false}),
                         CaseName());

TEST_F(CommandsTest, TipsWindowIsOnePerDocumentAndOnlyItsClosingClearsTheSetting)
{
    EXPECT_TRUE(Using::showTipsOnLaunch()) << "tips show at the first launch";
    MyDocument *first = newDocument();
    MyDocument *second = newDocument();
    MyDocument *third = newDocument();
    first->showHelp();
    Using *tips = first->helpWindow();
    ASSERT_NE(tips, nullptr);
    EXPECT_TRUE(tips->isVisible());
    EXPECT_EQ(tipsSetting(), QVariant(true));
    EXPECT_TRUE(tips->text().contains(QStringLiteral("Alt")));
    EXPECT_TRUE(tips->text().contains(QStringLiteral("Delete")));

    // Shown again: the same window, and no setting written.
    setTipsSetting(false);
    first->showHelp();
    EXPECT_EQ(first->helpWindow(), tips);
    EXPECT_EQ(tipsSetting(), QVariant(false));
    second->showHelp();
    ASSERT_NE(second->helpWindow(), tips);
    EXPECT_EQ(tipsSetting(), QVariant(true)) << "the second document's tips window loaded";

    // A document window closing, with or without its tips open, leaves it alone.
    third->close();
    second->close();
    settle();
    EXPECT_EQ(tipsSetting(), QVariant(true));

    tips->close();
    EXPECT_EQ(tipsSetting(), QVariant(false));
    EXPECT_FALSE(Using::showTipsOnLaunch());

    // Showing it after closing brings back the same window, still no write.
    first->showHelp();
    EXPECT_EQ(first->helpWindow(), tips);
    EXPECT_TRUE(tips->isVisible());
    EXPECT_EQ(tipsSetting(), QVariant(false));
}

TEST_F(CommandsTest, TipsWindowOpensWithoutItsText)
{
    Using tips(nullptr, QStringLiteral(":/NoSuchTips"));
    tips.showWindow();
    EXPECT_TRUE(tips.isLoaded());
    EXPECT_TRUE(tips.isVisible());
    EXPECT_TRUE(tips.text().trimmed().isEmpty());
    EXPECT_EQ(tipsSetting(), QVariant(true));
}

struct Placement {
    const char *name;
    QRect owner;
    QPoint expected;
};

class TipsPlacementTest : public ::testing::TestWithParam<Placement> {};

// The tips window is 520 x 560 on a 1280 x 900 screen whose top 30 pixels are a panel.
TEST_P(TipsPlacementTest, BesideTheDocumentOrCoveringTheLeastOfIt)
{
    const QRect screen(0, 30, 1280, 870);
    EXPECT_EQ(Using::besideWindow(GetParam().owner, QSize(520, 560), screen), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Owners, TipsPlacementTest,
    ::testing::Values(Placement{"RightFits", QRect(30, 100, 600, 500), QPoint(642, 100)},
                      Placement{"OnlyLeftFits", QRect(650, 40, 600, 500), QPoint(118, 40)},
                      Placement{"NeitherFitsMoreRoomRight", QRect(0, 30, 1040, 620), QPoint(760, 30)},
                      Placement{"NeitherFitsMoreRoomLeft", QRect(240, 30, 1040, 620), QPoint(0, 30)},
                      Placement{"KeptOnScreenVertically", QRect(30, 700, 600, 150), QPoint(642, 340)},
                      Placement{"OwnerAboveTheScreen", QRect(30, -50, 600, 500), QPoint(642, 30)}),
    CaseName());

} // namespace
} // namespace attractor
