#include "AppFixture.h"

#include "app/DocumentController.h"
#include "app/DocumentWindow.h"
#include "app/MyDocument.h"
#include "renderer/MyOpenGLView.h"

#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QTest>

namespace attractor {
namespace {

class CloseDuringExportTest : public AppFixture, public ::testing::WithParamInterface<bool>
{
};

// A long high-resolution export of document into file.
void startLongExport(MyDocument *document, const QString &file)
{
    MyOpenGLView *view = document->fractalView();
    MyOpenGLView::setSavePanelRunner([file](MyOpenGLView &, const auto &, const auto &done) { done(1, file); });
    view->exportToHiRes();
    MyOpenGLView::setSavePanelRunner({});
    QDialog *sheet = view->exportOptionsWindow();
    sheet->findChild<QLineEdit *>(QStringLiteral("widthBox"))->setText(QStringLiteral("64"));
    sheet->findChild<QLineEdit *>(QStringLiteral("heightBox"))->setText(QStringLiteral("64"));
    sheet->findChild<QLineEdit *>(QStringLiteral("itersBox"))->setText(QStringLiteral("2000000000"));
    view->startExport();
}

} // namespace

TEST_P(CloseDuringExportTest, QuitAsksWhetherToStopTheExport)
{
    const bool stop = GetParam();
    QStringList askedAbout;
    Prompts::Handlers handlers;
    handlers.confirmStopExport = [&](QWidget *, const QString &name) {
        askedAbout << name;
        return stop;
    };
    Prompts::install(handlers);
    MyDocument *busy = newDocument();
    newDocument();
    startLongExport(busy, path(QStringLiteral("long.png")));
    ASSERT_TRUE(busy->fractalView()->exporting());

    EXPECT_EQ(_controller->closeAll(), stop);
    settle();
    EXPECT_EQ(askedAbout, QStringList{busy->displayName()});
    EXPECT_EQ(documentCount(), stop ? 0 : 2);
    if (!stop) {
        EXPECT_TRUE(busy->fractalView()->exporting());
        busy->fractalView()->cancelExport();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !busy->fractalView()->exporting(); }, 10000));
    }
    QTest::qWait(100);
    EXPECT_TRUE(QDir(_dir.path()).entryList(QDir::Files).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Answers, CloseDuringExportTest, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "Stop" : "KeepExporting"; });

} // namespace attractor
