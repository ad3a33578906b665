#include "AppFixture.h"
#include "app/Using.h"

#include <QAbstractButton>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTest>

namespace attractor {
namespace {

using WindowTest = AppFixture;

// Squeezed as far as it goes, every control keeps its own place inside the window.
TEST_F(WindowTest, MinimumSizeCutsOffAndOverlapsNothing)
{
    MyDocument *document = newDocument();
    QWidget *central = document->window()->centralWidget();
    document->window()->resize(1, 1);
    settle();
    QList<QRect> places;
    for (QWidget *w : central->findChildren<QWidget *>()) {
        if (!w->isVisible() || !(qobject_cast<QAbstractButton *>(w) || qobject_cast<QSlider *>(w) || qobject_cast<QLabel *>(w)
                                 || w == static_cast<QWidget *>(document->ifsView())))
            continue;
        const QRect r(w->mapTo(central, QPoint(0, 0)), w->size());
        EXPECT_TRUE(central->rect().contains(r)) << w->objectName().toStdString();
        EXPECT_GE(w->width(), w->minimumSizeHint().width()) << w->objectName().toStdString();
        for (const QRect &other : places)
            EXPECT_FALSE(r.intersects(other)) << w->objectName().toStdString();
        places << r;
    }
    EXPECT_GT(places.size(), 8);
}

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

TEST_F(WindowTest, TipsWindowIsOnePerDocumentAndOnlyItsClosingClearsTheSetting)
{
    const auto setting = [] { return QSettings().value(Using::kShowTipsKey); };
    EXPECT_TRUE(Using::showTipsOnLaunch()) << "tips show at the first launch";
    MyDocument *first = newDocument();
    MyDocument *second = newDocument();
    first->showHelp();
    Using *tips = first->helpWindow();
    ASSERT_TRUE(tips && tips->isVisible());
    EXPECT_TRUE(tips->text().contains(QStringLiteral("Alt")));
    QSettings().setValue(Using::kShowTipsKey, false);
    first->showHelp();
    EXPECT_EQ(first->helpWindow(), tips);
    EXPECT_EQ(setting(), QVariant(false)) << "shown again: no setting written";
    second->showHelp();
    EXPECT_EQ(setting(), QVariant(true)) << "another document's tips window loaded";
    second->close(); // a document window closing leaves the setting alone
    settle();
    EXPECT_EQ(setting(), QVariant(true));
    tips->close();
    EXPECT_FALSE(Using::showTipsOnLaunch());
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
    EXPECT_EQ(Using::besideWindow(GetParam().owner, QSize(520, 560), QRect(0, 30, 1280, 870)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Owners, TipsPlacementTest,
                         ::testing::Values(Placement{"RightFits", QRect(30, 100, 600, 500), QPoint(642, 100)},
                                           Placement{"OnlyLeftFits", QRect(650, 40, 600, 500), QPoint(118, 40)},
                                           Placement{"NeitherFitsMoreRoomRight", QRect(0, 30, 1040, 620), QPoint(760, 30)},
                                           Placement{"NeitherFitsMoreRoomLeft", QRect(240, 30, 1040, 620), QPoint(0, 30)},
                                           Placement{"KeptOnScreenVertically", QRect(30, 700, 600, 150), QPoint(642, 340)},
                                           Placement{"OwnerAboveTheScreen", QRect(30, -50, 600, 500), QPoint(642, 30)}),
                         caseName);

class CloseDuringExportTest : public WindowTest, public ::testing::WithParamInterface<bool> {};

// Quitting during a long export asks; stopping it, or cancelling it later, leaves no file.
TEST_P(CloseDuringExportTest, QuitAsksWhetherToStopTheExport)
{
    _stopAnswer = GetParam();
    MyDocument *busy = newDocument();
    newDocument();
    MyOpenGLView *view = busy->fractalView();
    const QString file = path(QStringLiteral("long.png"));
    MyOpenGLView::setSavePanelRunner([file](MyOpenGLView &, const auto &, const auto &done) { done(1, file); });
    view->exportToHiRes();
    MyOpenGLView::setSavePanelRunner({});
    for (const char *box : {"widthBox", "heightBox", "itersBox"})
        view->exportOptionsWindow()->findChild<QLineEdit *>(QLatin1String(box))->setText(QLatin1String(*box == 'i' ? "2000000000" : "64"));
    view->startExport();
    ASSERT_TRUE(view->exporting());

    EXPECT_EQ(_controller->closeAll(), _stopAnswer);
    settle();
    EXPECT_EQ(_stopAsked, QStringList{QStringLiteral("Untitled")});
    EXPECT_EQ(documentCount(), _stopAnswer ? 0 : 2);
    if (!_stopAnswer) {
        EXPECT_TRUE(view->exporting());
        view->cancelExport();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !view->exporting(); }, 10000));
    }
    QTest::qWait(100);
    EXPECT_TRUE(QDir(_dir.path()).entryList(QDir::Files).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Answers, CloseDuringExportTest, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "Stop" : "KeepExporting"; });

} // namespace
} // namespace attractor
