#include "AppFixture.h"

#include "app/DocumentController.h"
#include "app/DocumentWindow.h"
#include "editor/QvIFSView.h"
#include "app/MyDocument.h"

#include <QAbstractButton>
#include <QLabel>
#include <QSlider>
#include <QTest>

namespace attractor {
namespace {

using WindowTest = AppFixture;

// Squeezed as far as it goes, every control keeps its own place inside the window.
TEST_F(WindowTest, MinimumSizeCutsOffAndOverlapsNothing)
{
    MyDocument *document = newDocument();
    DocumentWindow *window = document->window();
    window->resize(1, 1);
    settle();
    ASSERT_GT(window->minimumWidth(), 1);
    QList<QWidget *> controls;
    for (QWidget *w : window->centralWidget()->findChildren<QWidget *>()) {
        if (w->isVisible() && (qobject_cast<QAbstractButton *>(w) || qobject_cast<QSlider *>(w)
                               || qobject_cast<QLabel *>(w) || w == static_cast<QWidget *>(document->ifsView())))
            controls << w;
    }
    ASSERT_GT(controls.size(), 8);
    const QRect inside = window->centralWidget()->rect();
    for (QWidget *w : controls) {
        const QRect r(w->mapTo(window->centralWidget(), QPoint(0, 0)), w->size());
        EXPECT_TRUE(inside.contains(r)) << w->objectName().toStdString();
        EXPECT_GE(w->width(), w->minimumSizeHint().width()) << w->objectName().toStdString();
        for (QWidget *other : controls) {
            const QRect o(other->mapTo(window->centralWidget(), QPoint(0, 0)), other->size());
            EXPECT_TRUE(other == w || !r.intersects(o))
                << w->objectName().toStdString() << " over " << other->objectName().toStdString();
        }
    }
}

TEST_F(WindowTest, NewWindowOpensWhereTheLastOneWasLeft)
{
    MyDocument *first = newDocument();
    DocumentWindow *window = first->window();
    const QRect left(QPoint(40, 30), QSize(1100, 700));
    window->setGeometry(left);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    settle();
    const QRect placed = window->geometry();
    ASSERT_TRUE(first->close());
    settle();
    MyDocument *second = newDocument();
    settle();
    EXPECT_EQ(second->window()->geometry(), placed);
}

} // namespace
} // namespace attractor
