#include "AppFixture.h"
#include "persistence/AtomicWrite.h"

#include <QStatusBar>
#include <QTest>

namespace attractor {
namespace {

struct DiskTest : AppFixture {
    static QString said(MyDocument *d) { return d->window()->statusBar()->currentMessage(); }
};

// Unedited, the document reads the file again, keeping its view; edited, it asks, and when the user keeps
// theirs, saving over the changed file asks too.
TEST_F(DiskTest, AChangedFileIsReadAgainOrTheUserChooses)
{
    const QByteArray theirs = "{'n': 777, 'transforms': [{'sx': 0.25, 'sy': 0.5}]}";
    for (const auto &[edited, reload, renameOver] : {std::tuple{false, true, false}, {false, true, true},
                                                     {true, true, true}, {true, false, false}}) {
        SCOPED_TRACE(testing::Message() << edited << reload << renameOver);
        _reloadAsked.clear(), _overwriteAsked.clear(), _reloadAnswer = reload;
        writeFile(QStringLiteral("fern.frac"), kSmallDoc);
        MyDocument *d = open(QStringLiteral("fern.frac"));
        d->model()->setView({{0.5, 0.5}, 4});
        if (edited)
            d->ifsView()->newTransform();
        // Another program's save: in place, or a new file renamed over the old.
        renameOver ? void(writeFileAtomically(path(QStringLiteral("fern.frac")), theirs, nullptr))
                   : writeFile(QStringLiteral("fern.frac"), theirs);
        ASSERT_TRUE(QTest::qWaitFor([&] { return d->fractal()->iterations() == 777 || !_reloadAsked.isEmpty(); }, 5000));
        QTest::qWait(300);
        EXPECT_EQ(_reloadAsked, edited ? QStringList{QStringLiteral("fern.frac")} : QStringList());
        EXPECT_EQ(d->fractal()->iterations() == 777, reload);
        EXPECT_EQ(d->isDocumentEdited(), !reload);
        EXPECT_EQ(d->model()->view(), (View{{0.5, 0.5}, 4}));
        EXPECT_EQ(said(d).contains(QStringLiteral("read again")), reload);
        if (!reload) {
            for (const bool overwrite : {false, true}) {
                _overwriteAnswer = overwrite;
                EXPECT_EQ(d->save(), overwrite);
                EXPECT_EQ(readFile(QStringLiteral("fern.frac")) == theirs, !overwrite);
            }
            EXPECT_EQ(_overwriteAsked.size(), 2);
        }
        d->close(), settle();
    }
}

// The document's own saves go unremarked; a removed file leaves the window holding the only copy, edited.
TEST_F(DiskTest, OwnSavesAreQuietAndARemovedFileMakesTheDocumentEdited)
{
    writeFile(QStringLiteral("fern.frac"), kSmallDoc);
    MyDocument *d = open(QStringLiteral("fern.frac"));
    d->ifsView()->newTransform();
    ASSERT_TRUE(d->save());
    QTest::qWait(600);
    EXPECT_TRUE(_reloadAsked.isEmpty() && said(d).isEmpty() && !d->isDocumentEdited());
    ASSERT_TRUE(QFile::remove(path(QStringLiteral("fern.frac"))));
    ASSERT_TRUE(QTest::qWaitFor([&] { return d->isDocumentEdited(); }, 5000));
    EXPECT_TRUE(said(d).contains(QStringLiteral("removed")));
    _saveAnswers << SaveAnswer::Save;
    EXPECT_TRUE(d->close());
    EXPECT_TRUE(_overwriteAsked.isEmpty() && QFile::exists(path(QStringLiteral("fern.frac"))));
}

} // namespace
} // namespace attractor
