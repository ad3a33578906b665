#include "AppFixture.h"
#include "model/QvTransform.h"
#include "persistence/TypedStreamWriter.h"
#include "support/FileSizeLimit.h"

#include <QDir>
#include <QFileInfo>

#include <functional>
#include <vector>

namespace attractor {
namespace {

using DocumentTest = AppFixture;

// The error names the file and then says why.
void expectNamesFileAndReason(const QStringList &errors, const QString &name)
{
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(name) && errors[0].mid(errors[0].indexOf(name) + name.size()).trimmed().size() > 3)
        << errors[0].toStdString();
}

struct RoundTrip {
    const char *name;
    std::function<void(MyDocument *)> prepare;
    bool exactFromFirstSave; // all values already 32-bit floats; else stable from the first reopen
};

class RoundTripTest : public DocumentTest, public ::testing::WithParamInterface<RoundTrip> {};

// Saved new, then twice opened and saved under another name.
TEST_P(RoundTripTest, SaveAndReopenReproduceTheFileByteForByte)
{
    QString previous;
    QList<QByteArray> written;
    for (const char *name : {"first.frac", "second.frac", "third.frac"}) {
        MyDocument *document = previous.isEmpty() ? newDocument() : open(previous);
        ASSERT_NE(document, nullptr);
        if (previous.isEmpty())
            GetParam().prepare(document);
        EXPECT_EQ(document->isDocumentEdited(), previous.isEmpty());
        _savePaths << (previous = path(QLatin1String(name)));
        ASSERT_TRUE(written.isEmpty() ? document->save() : document->saveAs());
        EXPECT_EQ(shownTitle(document), QLatin1String(name));
        EXPECT_EQ(_controller->recentFiles().value(0), previous);
        written << readFile(previous);
        document->close();
        settle();
    }
    EXPECT_TRUE(_errors.isEmpty() && written[0].startsWith('{'));
    EXPECT_EQ(written[2], written[1]);
    EXPECT_EQ(written[1] == written[0], GetParam().exactFromFirstSave);
}

INSTANTIATE_TEST_SUITE_P(Fractals, RoundTripTest,
                         ::testing::Values(RoundTrip{"EditedDefault", [](MyDocument *d) { d->ifsView()->newTransform(); }, true},
                                           RoundTrip{"Random", [](MyDocument *d) { d->makeRandomFractal(); }, false}),
                         caseName);

struct BadFile {
    const char *name, *fileName;
    QByteArray bytes; // null: the file does not exist; "/": it is a folder
};

class BadFileTest : public DocumentTest, public ::testing::WithParamInterface<BadFile> {};

TEST_P(BadFileTest, OpensNothingAndNamesTheFileAndTheReason)
{
    MyDocument *already = newDocument();
    already->ifsView()->newTransform();
    const QString name = QLatin1String(GetParam().fileName);
    if (GetParam().bytes == "/")
        ASSERT_TRUE(QDir(_dir.path()).mkdir(name));
    else if (!GetParam().bytes.isNull())
        writeFile(name, GetParam().bytes);
    EXPECT_EQ(open(name), nullptr);
    EXPECT_EQ(documentCount(), 1);
    EXPECT_TRUE(already->isDocumentEdited() && _controller->recentFiles().isEmpty());
    expectNamesFileAndReason(_errors, name);
}

INSTANTIATE_TEST_SUITE_P(Files, BadFileTest,
                         ::testing::Values(BadFile{"Missing", "missing.frac", QByteArray()}, BadFile{"Folder", "folder.frac", "/"},
                                           BadFile{"NotAnArchive", "garbage.frac", "\x01\x02 not a fractal at all \xff"},
                                           BadFile{"BrokenJson", "broken.frac", "{'n':1000, 'transforms':[{'sx':0.5,"}),
                         caseName);

TEST_F(DocumentTest, LaunchOpensTheNamedFilesOrElseAnUntitledDocument)
{
    writeFile(QStringLiteral("good.frac"), "\xEF\xBB\xBF" + kSmallDoc); // text after a byte order mark
    writeFile(QStringLiteral("words.frac"), "plain words");
    struct Row {
        std::vector<const char *> names;
        bool anythingOpen;
        int documents, errors;
    };
    for (const Row &row : {Row{{}, true, 1, 0}, Row{{"words.frac", "none.frac"}, false, 0, 2}, Row{{"words.frac", "good.frac"}, true, 1, 1}}) {
        _controller->closeAll();
        settle();
        _errors.clear();
        QStringList paths;
        for (const char *name : row.names)
            paths << path(QLatin1String(name));
        EXPECT_EQ(_controller->openAtLaunch(paths), row.anythingOpen) << paths.join(u' ').toStdString();
        EXPECT_EQ(documentCount(), row.documents);
        ASSERT_EQ(_errors.size(), row.errors);
        EXPECT_TRUE(!row.errors || _errors[0].contains(QStringLiteral("words.frac” could not be opened: not a fractal document: it is neither document text")));
    }
    // Opened unedited although its count is below the slider's range; opening it again brings it forward.
    MyDocument *good = open(QStringLiteral("good.frac"));
    EXPECT_EQ(good, _controller->documents().value(0));
    settle();
    EXPECT_EQ(good->fractal()->iterations(), 50);
    EXPECT_FALSE(good->isDocumentEdited() || good->openedFromArchive());
}

struct CloseCase {
    const char *name;
    bool edited;
    SaveAnswer answer; // when edited
    bool staysOpen, fileGetsTheEdit;
};

class CloseTest : public DocumentTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseTest, ClosingAnEditedDocumentAsks)
{
    writeFile(QStringLiteral("doc.frac"), kSmallDoc);
    MyDocument *document = open(QStringLiteral("doc.frac"));
    ASSERT_NE(document, nullptr);
    if (GetParam().edited) {
        document->ifsView()->newTransform();
        _saveAnswers << GetParam().answer;
    }
    document->window()->close();
    settle();
    EXPECT_EQ(_asked, GetParam().edited ? QStringList{QStringLiteral("doc.frac")} : QStringList());
    EXPECT_EQ(documentCount(), GetParam().staysOpen ? 1 : 0);
    EXPECT_TRUE(!GetParam().staysOpen || document->isDocumentEdited());
    EXPECT_EQ(readFile(QStringLiteral("doc.frac")) != kSmallDoc, GetParam().fileGetsTheEdit);
}

INSTANTIATE_TEST_SUITE_P(Answers, CloseTest,
                         ::testing::Values(CloseCase{"Unedited", false, SaveAnswer::Cancel, false, false},
                                           CloseCase{"Cancel", true, SaveAnswer::Cancel, true, false},
                                           CloseCase{"Discard", true, SaveAnswer::Discard, false, false},
                                           CloseCase{"Save", true, SaveAnswer::Save, false, true}),
                         caseName);

TEST_F(DocumentTest, QuitAsksForEachEditedDocumentAndStopsAtCancel)
{
    MyDocument *a = newDocument();
    newDocument(); // unedited: never asked about
    MyDocument *b = newDocument();
    a->ifsView()->newTransform();
    b->ifsView()->newTransform();
    _saveAnswers = {SaveAnswer::Save}; // and then no file: nothing closes
    EXPECT_FALSE(_controller->closeAll());
    EXPECT_TRUE(_proposedPaths.value(0).endsWith(QStringLiteral("/Untitled.frac"))) << _proposedPaths.join(u' ').toStdString();
    _saveAnswers = {SaveAnswer::Discard, SaveAnswer::Cancel};
    EXPECT_FALSE(_controller->closeAll());
    settle();
    EXPECT_EQ(_asked, (QStringList{a->displayName(), a->displayName(), b->displayName()}));
    EXPECT_EQ(documentCount(), 3);
}

class SaveFailureTest : public DocumentTest, public ::testing::WithParamInterface<const char *> {};

// A folder under a plain file cannot be made; a text larger than the write buffer goes
// out in one write that the size limit cuts short. Either way nothing is lost.
TEST_P(SaveFailureTest, KeepsTheSavedFileAndTheEditsAndSaysWhy)
{
    const QString target = QLatin1String(GetParam());
    writeFile(QStringLiteral("doc.frac"), kSmallDoc);
    MyDocument *document = open(QStringLiteral("doc.frac"));
    ASSERT_NE(document, nullptr);
    document->ifsView()->newTransform();
    for (int i = 0; i < 600; ++i)
        document->fractal()->transforms()->push_back(std::make_shared<QvTransform>());
    _savePaths << path(target);
    {
        const FileSizeLimit limit(16 * 1024);
        EXPECT_FALSE(document->saveAs());
    }
    EXPECT_EQ(readFile(QStringLiteral("doc.frac")), kSmallDoc);
    EXPECT_EQ(QDir(_dir.path()).entryList(QDir::Files).size(), 1) << "a temporary file was left behind";
    EXPECT_EQ(shownTitle(document), QStringLiteral("doc.frac*"));
    expectNamesFileAndReason(_errors, QFileInfo(target).fileName());
    _saveAnswers << SaveAnswer::Cancel; // closing still asks
    document->close();
    EXPECT_EQ(documentCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(Causes, SaveFailureTest, ::testing::Values("doc.frac/inside.frac", "doc.frac"),
                         [](const auto &info) { return info.index ? "DiskFull" : "NoSuchFolder"; });

struct RevertCase {
    const char *name;
    bool edited, answer, asked, reverted;
};

class RevertTest : public DocumentTest, public ::testing::WithParamInterface<RevertCase> {};

TEST_P(RevertTest, AsksBeforeThrowingEditsAway)
{
    const RevertCase &c = GetParam();
    writeFile(QStringLiteral("doc.frac"), kSmallDoc);
    MyDocument *document = open(QStringLiteral("doc.frac"));
    ASSERT_NE(document, nullptr);
    _revertAnswer = c.answer;
    if (c.edited)
        document->ifsView()->newTransform();
    EXPECT_EQ(document->revert(), c.reverted);
    EXPECT_EQ(_revertAsked, c.asked ? 1 : 0);
    EXPECT_EQ(document->fractal()->transforms()->size(), c.reverted || !c.edited ? 1u : 2u);
    EXPECT_EQ(document->isDocumentEdited(), c.edited && !c.reverted);
    EXPECT_TRUE(sharedByCanvases(document));
}

INSTANTIATE_TEST_SUITE_P(Answers, RevertTest,
                         ::testing::Values(RevertCase{"EditedAndConfirmed", true, true, true, true},
                                           RevertCase{"EditedAndRefused", true, false, true, false},
                                           RevertCase{"Unedited", false, false, false, true}),
                         caseName);

class ArchiveSaveTest : public DocumentTest, public ::testing::WithParamInterface<std::pair<const char *, const char *>> {};

// Cancelling the proposal keeps the edits; once saved, the text document saves in place.
TEST_P(ArchiveSaveTest, SaveProposesATextDocumentBesideTheArchive)
{
    const QByteArray archive = testing::fractalArchive({testing::MapValues{}}, 5000, testing::nilSlot());
    writeFile(QLatin1String(GetParam().first), archive);
    MyDocument *document = open(QLatin1String(GetParam().first));
    ASSERT_NE(document, nullptr) << _errors.join(u'\n').toStdString();
    EXPECT_FALSE(document->isDocumentEdited());
    document->ifsView()->newTransform();
    EXPECT_FALSE(document->save());
    EXPECT_EQ(_proposedPaths, QStringList{path(QLatin1String(GetParam().second))});
    EXPECT_TRUE(document->isDocumentEdited());
    _savePaths << _proposedPaths[0];
    ASSERT_TRUE(document->save());
    EXPECT_TRUE(readFile(_proposedPaths[0]).startsWith('{'));
    document->ifsView()->newTransform();
    EXPECT_TRUE(document->save());
    EXPECT_EQ(_proposedPaths.size(), 2);
    EXPECT_EQ(readFile(QLatin1String(GetParam().first)), archive);
}

INSTANTIATE_TEST_SUITE_P(Names, ArchiveSaveTest,
                         ::testing::Values(std::pair{"old.fractal", "old.frac"}, std::pair{"old.frac", "old converted.frac"}),
                         [](const auto &info) { return info.index ? "FracExtension" : "OtherExtension"; });

} // namespace
} // namespace attractor
