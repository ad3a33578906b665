#include "AppFixture.h"

#include "app/DocumentController.h"
#include "app/DocumentWindow.h"
#include "app/MyDocument.h"
#include "app/Using.h"
#include "editor/QvIFSView.h"
#include "model/QvTransform.h"
#include "renderer/MyOpenGLView.h"

#include <QFile>
#include <QPrinter>
#include <QSettings>
#include <QTest>

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
    EXPECT_GE(maps.size(), 3u);
    EXPECT_LE(maps.size(), 5u);
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

TEST_F(CommandsTest, PrintingToPdfProducesOnePageAndLeavesPrintMode)
{
    MyDocument *document = newDocument();
    const QString pdf = path(QStringLiteral("print.pdf"));
    document->printInfo().setOutputFormat(QPrinter::PdfFormat);
    document->printInfo().setOutputFileName(pdf);

    document->printDocument();
    EXPECT_EQ(_printAsked, 1);
    EXPECT_TRUE(_printingWhenAsked);
    EXPECT_FALSE(document->fractalView()->printing());
    const QByteArray bytes = readFile(pdf);
    ASSERT_TRUE(bytes.startsWith("%PDF")) << "no PDF written";
    EXPECT_EQ(pageCount(bytes), 1);

    const QMarginsF margins = document->printInfo().pageLayout().margins(QPageLayout::Point);
    EXPECT_NEAR(margins.left(), 30.0, 0.01);
    EXPECT_NEAR(margins.top(), 30.0, 0.01);
    EXPECT_NEAR(margins.right(), 30.0, 0.01);
    EXPECT_NEAR(margins.bottom(), 30.0, 0.01);

    // The settings are the document's own and survive a second print.
    QFile::remove(pdf);
    document->printDocument();
    EXPECT_EQ(document->printInfo().outputFileName(), pdf);
    EXPECT_EQ(pageCount(readFile(pdf)), 1);
}

TEST_F(CommandsTest, CancelledPrintWritesNothingAndLeavesPrintMode)
{
    MyDocument *document = newDocument();
    const QString pdf = path(QStringLiteral("cancelled.pdf"));
    document->printInfo().setOutputFormat(QPrinter::PdfFormat);
    document->printInfo().setOutputFileName(pdf);
    _printAnswer = false;

    document->printDocument();
    EXPECT_TRUE(_printingWhenAsked);
    EXPECT_FALSE(document->fractalView()->printing());
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_FALSE(document->isDocumentEdited());
}

TEST_F(CommandsTest, PrintingToAnUnwritablePdfReportsIt)
{
    MyDocument *document = newDocument();
    writeFile(QStringLiteral("plain"), "x");
    document->printInfo().setOutputFormat(QPrinter::PdfFormat);
    document->printInfo().setOutputFileName(path(QStringLiteral("plain/out.pdf")));
    document->printDocument();
    EXPECT_EQ(_errors.size(), 1);
    EXPECT_FALSE(document->fractalView()->printing());
}

TEST_F(CommandsTest, TipsWindowIsOnePerDocumentAndRecordsTheSetting)
{
    EXPECT_TRUE(Using::showTipsOnLaunch()) << "tips show at the first launch";
    MyDocument *document = newDocument();
    document->showHelp();
    Using *tips = document->helpWindow();
    ASSERT_NE(tips, nullptr);
    EXPECT_TRUE(tips->isVisible());
    EXPECT_EQ(tipsSetting(), QVariant(true));
    EXPECT_TRUE(tips->text().contains(QStringLiteral("Alt")));
    EXPECT_TRUE(tips->text().contains(QStringLiteral("Delete")));

    // Shown again: the same window, and no setting written.
    setTipsSetting(false);
    document->showHelp();
    EXPECT_EQ(document->helpWindow(), tips);
    EXPECT_EQ(tipsSetting(), QVariant(false));

    setTipsSetting(true);
    tips->close();
    EXPECT_EQ(tipsSetting(), QVariant(false));
    EXPECT_FALSE(Using::showTipsOnLaunch());

    // Showing it after closing brings back the same window, still no write.
    document->showHelp();
    EXPECT_EQ(document->helpWindow(), tips);
    EXPECT_TRUE(tips->isVisible());
    EXPECT_EQ(tipsSetting(), QVariant(false));
}

TEST_F(CommandsTest, OnlyATipsWindowClosingClearsTheSetting)
{
    MyDocument *first = newDocument();
    MyDocument *second = newDocument();
    MyDocument *third = newDocument();
    first->showHelp();
    second->showHelp();
    ASSERT_NE(first->helpWindow(), second->helpWindow());
    EXPECT_EQ(tipsSetting(), QVariant(true));

    // A document window closing, with or without its tips open, leaves it alone.
    third->close();
    settle();
    EXPECT_EQ(tipsSetting(), QVariant(true));
    second->close();
    settle();
    EXPECT_EQ(tipsSetting(), QVariant(true));

    first->helpWindow()->close();
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

} // namespace
} // namespace attractor
