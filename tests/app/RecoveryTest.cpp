#include "AppFixture.h"
#include "app/Recovery.h"
#include "persistence/DocumentFormat.h"
#include "persistence/DocumentReader.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTest>
#include <QUndoStack>

namespace attractor {
namespace {

struct RecoveryTest : AppFixture {
    void SetUp() override
    {
        AppFixture::SetUp();
        _controller->setRecoveryStore(store.get());
        writeFile(QStringLiteral("fern.frac"), kSmallDoc);
    }
    QString folder() const { return path(QStringLiteral("recovery")); }
    QStringList copies() const
    {
        store->flush();
        return QDir(folder()).entryList({QStringLiteral("*.recovery")}, QDir::Files, QDir::Name);
    }
    RecoveryReadResult copyOf(const Document *d) const
    {
        store->flush();
        return readRecovery(readFile(store->copyPath(d)));
    }
    // Waits for the copy of d to hold what d holds now; the time waited.
    qint64 waitForCopy(const Document *d) const
    {
        QElapsedTimer clock;
        clock.start();
        EXPECT_TRUE(QTest::qWaitFor([&] { return copyOf(d).document == d->contents(nullptr); }, 6000));
        return clock.elapsed();
    }
    void orphan(const char *name, const QByteArray &bytes) const { writeFile(QStringLiteral("recovery/%1").arg(QLatin1String(name)), bytes); }

    std::unique_ptr<RecoveryStore> store = std::make_unique<RecoveryStore>(path(QStringLiteral("recovery")));
};

// A copy follows every edit within seconds, says where the document came from, and goes
// when the edits are saved, reverted, undone or discarded on close.
TEST_F(RecoveryTest, TheCopyFollowsTheEditsUntilTheyAreSavedRevertedUndoneOrDiscarded)
{
    ASSERT_TRUE(store->isActive());
    enum Way { Save, Revert, Undo, Discard, DiscardUntitled };
    for (Way way : {Save, Revert, Undo, Discard, DiscardUntitled}) {
        MyDocument *d = way == DiscardUntitled ? newDocument() : open(QStringLiteral("fern.frac"));
        EXPECT_TRUE(copies().isEmpty());
        const QDateTime before = QDateTime::currentDateTimeUtc().addMSecs(-1);
        d->ifsView()->newTransform();
        EXPECT_LE(waitForCopy(d), RecoveryStore::kQuietMs + 1000);
        const RecoveryReadResult copy = copyOf(d);
        EXPECT_EQ(copy.info.filePath, way == DiscardUntitled ? QString() : path(QStringLiteral("fern.frac")));
        EXPECT_EQ(copy.info.name, d->displayName());
        EXPECT_TRUE(copy.info.changed >= before && copy.info.changed <= QDateTime::currentDateTimeUtc()) << way;
        if (way >= Discard)
            _saveAnswers << SaveAnswer::Discard;
        way == Save ? void(d->save()) : way == Revert ? void(d->revert()) : way == Undo ? d->undoStack()->undo() : void(d->close());
        EXPECT_EQ(copies(), QStringList()) << way;
        if (way <= Undo)
            d->close();
        settle();
    }
}

// Under edits that never pause, a copy is still written every few seconds.
TEST_F(RecoveryTest, ContinuousEditsAreCopiedAtLeastEveryFewSeconds)
{
    MyDocument *d = newDocument();
    QElapsedTimer clock;
    clock.start();
    qint64 firstCopy = -1;
    while (clock.elapsed() < RecoveryStore::kLongestMs + 2000) {
        d->model()->setIterations(1000 + int(clock.elapsed()));
        QTest::qWait(100);
        if (firstCopy < 0 && !copies().isEmpty())
            firstCopy = clock.elapsed();
    }
    EXPECT_GE(firstCopy, RecoveryStore::kLongestMs - 200);
    EXPECT_LE(firstCopy, RecoveryStore::kLongestMs + 500);
    waitForCopy(d);
}

// Copies of ended instances are offered once; recovered ones open edited under their own names and move
// to this instance; unreadable ones are shown with the reason and kept; a running instance's copies are its own.
TEST_F(RecoveryTest, OrphansAreOfferedRecoveredDiscardedOrKept)
{
    const QByteArray fernText = jsonRepresentation(*readDocument(kSmallDoc).fractal).toUtf8();
    const QDateTime when = QDateTime::currentDateTimeUtc().addSecs(-60);
    orphan("1-a.1.recovery", recoveryText({path(QStringLiteral("fern.frac")), QStringLiteral("fern.frac"), when}, fernText));
    orphan("1-a.2.recovery", recoveryText({{}, QStringLiteral("Untitled 3"), when.addSecs(1)}, fernText));
    orphan("1-b.1.recovery", recoveryText({{}, {}, when.addSecs(2)}, "{'transforms': ["));
    orphan("1-b.2.recovery", "not a copy");
    QList<Prompts::RecoveryItem> offered;
    Prompts::RecoveryAnswer answer{Prompts::RecoveryAction::Later, {0, 1, 2, 3}};
    Prompts::Handlers h;
    h.chooseRecovery = [&](QWidget *, const QList<Prompts::RecoveryItem> &items) { return offered = items, answer; };
    Prompts::install(h);

    EXPECT_TRUE(_controller->recoverDocuments().isEmpty());
    ASSERT_EQ(offered.size(), 4);
    EXPECT_EQ(offered[0].name + offered[1].name + offered[2].name, QStringLiteral("fern.fracUntitled 3Untitled"));
    EXPECT_EQ(offered[0].changed, when);
    EXPECT_TRUE(!offered[0].picture.isNull() && offered[0].error.isEmpty() && offered[1].error.isEmpty());
    EXPECT_TRUE(offered[2].picture.isNull() && !offered[2].error.isEmpty() && !offered[3].error.isEmpty());
    EXPECT_EQ(copies().size(), 4);

    // Held by this instance now: a second one finds nothing.
    RecoveryStore other(folder());
    EXPECT_TRUE(other.isActive() && other.claimOrphans().empty());

    answer = {Prompts::RecoveryAction::Recover, {0, 1, 2, 3}};
    const QList<Document *> recovered = _controller->recoverDocuments();
    ASSERT_EQ(recovered.size(), 2);
    // Nothing named at launch: the recovered documents are all there is to show.
    EXPECT_TRUE(_controller->openAtLaunch({}) && documentCount() == 2);
    EXPECT_EQ(recovered[0]->filePath(), path(QStringLiteral("fern.frac")));
    EXPECT_EQ(recovered[1]->displayName(), QStringLiteral("Untitled"));
    for (Document *d : recovered) {
        EXPECT_TRUE(d->isDocumentEdited() && d->window()->isVisible());
        EXPECT_EQ(d->contents(nullptr), fernText);
        EXPECT_EQ(copyOf(d).document, fernText);
    }
    const QStringList left = copies();
    EXPECT_EQ(left.size(), 4);
    EXPECT_TRUE(left.contains(QStringLiteral("1-b.1.recovery")) && left.contains(QStringLiteral("1-b.2.recovery")));

    answer = {Prompts::RecoveryAction::Discard, {1}};
    EXPECT_TRUE(_controller->recoverDocuments().isEmpty());
    EXPECT_EQ(offered.size(), 2);
    EXPECT_TRUE(copies().size() == 3 && copies().contains(QStringLiteral("1-b.1.recovery")));

    // This instance ends without closing its documents: their copies are the next one's.
    _controller.reset();
    store.reset();
    EXPECT_EQ(other.claimOrphans().size(), 3);
}

} // namespace
} // namespace attractor
