#include "AppFixture.h"

#include "app/DocumentController.h"
#include "app/DocumentWindow.h"
#include "app/MyDocument.h"
#include "editor/QvIFSView.h"
#include "renderer/MyOpenGLView.h"

#include <QTest>

namespace attractor {

class SquareCanvasesTest : public AppFixture
{
};

TEST_F(SquareCanvasesTest, TheDefaultWindowGivesBothCanvasesSquareAreas)
{
    MyDocument *document = newDocument();
    document->showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(document->window()));
    for (const QWidget *canvas : {static_cast<const QWidget *>(document->ifsView()),
                                  static_cast<const QWidget *>(document->fractalView())}) {
        EXPECT_NEAR(canvas->width(), canvas->height(), 2) << canvas->width() << " x " << canvas->height();
        EXPECT_GE(canvas->width(), 400);
    }
}

} // namespace attractor
