#include "AppFixture.h"
#include "app/Using.h"

#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QTest>

namespace attractor {
namespace {

using WindowTest = AppFixture;

TEST_F(WindowTest, DefaultWindowHasSquareCanvasesAndANewOneOpensWhereTheLastWasLeft)
{
    MyDocument *first = newDocument();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(first->window()));
    for (const QWidget *canvas : {static_cast<const QWidget *>(first->ifsView()), static_cast<const QWidget *>(first->fractalView())}) {
        EXPECT_NEAR(canvas->width(), canvas->height(), 2);
        EXPECT_GE(canvas->width(), 400);
    }
    first->window()->setGeometry(QRect(40, 30, 1100, 700));
    settle();
    const QRect placed = first->window()->geometry();
    ASSERT_TRUE(first->close());
    settle();
    EXPECT_EQ(newDocument()->window()->geometry(), placed);
}

// The tips window is 520 x 560 on a 1280 x 900 screen whose top 30 pixels are a panel.
TEST(TipsPlacement, BesideTheDocumentOrCoveringTheLeastOfIt)
{
    for (const auto &[owner, expected] : {std::pair{QRect(30, 100, 600, 500), QPoint(642, 100)}, // right fits
                                          {QRect(650, 40, 600, 500), QPoint(118, 40)},           // only left fits
                                          {QRect(0, 30, 1040, 620), QPoint(760, 30)},            // neither; more room right
                                          {QRect(240, 30, 1040, 620), QPoint(0, 30)},            // neither; more room left
                                          {QRect(30, 700, 600, 150), QPoint(642, 340)},          // kept on screen vertically
                                          {QRect(30, -50, 600, 500), QPoint(642, 30)}})          // owner above the screen
        EXPECT_EQ(Using::besideWindow(owner, QSize(520, 560), QRect(0, 30, 1280, 870)), expected) << owner.x() << "," << owner.y();
}

// Tips show at the first start; closing the tips window keeps them from the
// next start, and opening them again brings them back; a document closing
// with its tips open is no answer about them.
TEST_F(WindowTest, ClosingTheTipsKeepsThemFromTheNextStartUntilOpenedAgain)
{
    EXPECT_TRUE(Using::showTipsOnLaunch());
    MyDocument *first = newDocument();
    action(first, QKeySequence::HelpContents)->trigger();
    ASSERT_TRUE(first->helpWindow() && first->helpWindow()->isVisible());
    first->helpWindow()->close();
    EXPECT_FALSE(Using::showTipsOnLaunch());
    MyDocument *second = newDocument();
    action(second, QKeySequence::HelpContents)->trigger();
    EXPECT_TRUE(Using::showTipsOnLaunch());
    second->window()->close();
    settle();
    EXPECT_TRUE(Using::showTipsOnLaunch());
}

// Quit asks about a running export and each edited document and stops at the
// first refusal; stopping the export leaves no file.
TEST_F(WindowTest, QuitAsksAboutTheExportAndEachEditedDocument)
{
    MyDocument *busy = newDocument();
    newDocument()->ifsView()->newTransform();
    newDocument(); // unedited and idle: no question
    MyOpenGLView *view = busy->fractalView();
    const QString file = path(QStringLiteral("long.png"));
    MyOpenGLView::setSavePanelRunner([file](MyOpenGLView &, const auto &, const auto &done) { done(1, file); });
    view->exportToHiRes();
    MyOpenGLView::setSavePanelRunner({});
    for (const char *box : {"widthBox", "heightBox", "itersBox"})
        view->exportOptionsWindow()->findChild<QLineEdit *>(QLatin1String(box))->setText(QLatin1String(*box == 'i' ? "2000000000" : "64"));
    view->startExport();
    _stopAnswer = false;
    EXPECT_FALSE(_controller->closeAll());
    EXPECT_TRUE(view->exporting() && _asked.isEmpty());
    _stopAnswer = true;
    _saveAnswers = {SaveAnswer::Cancel};
    EXPECT_FALSE(_controller->closeAll());
    _saveAnswers = {SaveAnswer::Discard};
    EXPECT_TRUE(_controller->closeAll());
    settle();
    EXPECT_EQ(documentCount(), 0);
    EXPECT_EQ(_stopAsked.value(0), QStringLiteral("Untitled"));
    EXPECT_EQ(_asked, (QStringList{QStringLiteral("Untitled 2"), QStringLiteral("Untitled 2")}));
    QTest::qWait(100);
    EXPECT_TRUE(QDir(_dir.path()).entryList(QDir::Files).isEmpty());
}

} // namespace
} // namespace attractor
