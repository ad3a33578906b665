#include "AppFixture.h"
#include "persistence/TypedStreamWriter.h"

#include "app/DocumentController.h"
#include "app/DocumentWindow.h"
#include "app/MyDocument.h"
#include "editor/QvIFSView.h"
#include "renderer/MyOpenGLView.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QSlider>
#include <QUrl>

#include <functional>

namespace attractor {
namespace {

using SaveAnswer = Prompts::SaveAnswer;

QSlider *iterSliderOf(MyDocument *document)
{
    return document->window()->findChild<QSlider *>(QStringLiteral("iterSlider"));
}

// A document text that both the current and any stricter reader accept.
const QByteArray kSmallCountText = "{\"n\": 50, \"transforms\": [{\"sx\": 0.5, \"sy\": 0.5, \"p\": 1}]}";

class DocumentTest : public AppFixture {};

TEST_F(DocumentTest, NewDocumentShowsTheDefaultFractalUnedited)
{
    MyDocument *first = newDocument();
    ASSERT_NE(first, nullptr);
    settle(); // showing and laying out the window is no edit either
    EXPECT_FALSE(first->isDocumentEdited());
    EXPECT_EQ(shownTitle(first), QStringLiteral("Untitled"));
    ASSERT_NE(first->fractal(), nullptr);
    EXPECT_EQ(first->fractal()->transforms()->size(), QvFrac::defaultFractal()->transforms()->size());
    // One fractal, shared by the document and both canvases.
    EXPECT_EQ(first->ifsView()->fractal(), first->fractal());
    EXPECT_EQ(first->fractalView()->fractal(), first->fractal());
    EXPECT_TRUE(first->window()->isVisible());

    MyDocument *second = newDocument();
    EXPECT_EQ(first->displayName(), QStringLiteral("Untitled"));
    EXPECT_EQ(second->displayName(), QStringLiteral("Untitled 2"));
    EXPECT_NE(first->fractal(), second->fractal());
}

struct CanvasEdit {
    const char *name;
    std::function<void(MyDocument *)> edit;
};

class CanvasEditTest : public DocumentTest, public ::testing::WithParamInterface<CanvasEdit> {};

TEST_P(CanvasEditTest, MarksOnlyItsOwnDocumentEdited)
{
    MyDocument *front = newDocument();
    MyDocument *back = newDocument();
    // The document in front is not the one edited: the change must still
    // land on the document whose canvas was used.
    front->window()->activateWindow();
    front->window()->raise();

    GetParam().edit(back);

    EXPECT_TRUE(back->isDocumentEdited());
    EXPECT_EQ(shownTitle(back), QStringLiteral("Untitled 2*"));
    EXPECT_FALSE(front->isDocumentEdited());
    EXPECT_EQ(shownTitle(front), QStringLiteral("Untitled"));
}

INSTANTIATE_TEST_SUITE_P(
    Canvases, CanvasEditTest,
    ::testing::Values(
        CanvasEdit{"EditorNewMapButton",
                   [](MyDocument *d) {
                       const size_t before = d->fractal()->transforms()->size();
                       auto *button = d->window()->findChild<QAbstractButton *>(QStringLiteral("newTransformButton"));
                       ASSERT_NE(button, nullptr);
                       button->click();
                       EXPECT_EQ(d->fractal()->transforms()->size(), before + 1);
                   }},
        CanvasEdit{"RendererIterationSlider",
                   [](MyDocument *d) {
                       QSlider *slider = iterSliderOf(d);
                       ASSERT_NE(slider, nullptr);
                       EXPECT_GE(slider->maximum(), 10000000);
                       const int before = slider->value();
                       slider->triggerAction(QAbstractSlider::SliderPageStepAdd);
                       EXPECT_NE(slider->value(), before);
                       EXPECT_EQ(d->fractal()->iterations(), slider->value());
                   }}),
    CaseName());

TEST_F(DocumentTest, ShowingACountOutsideTheSliderRangeChangesNothing)
{
    writeFile(QStringLiteral("small.frac"), kSmallCountText);
    MyDocument *document = open(path(QStringLiteral("small.frac")));
    ASSERT_NE(document, nullptr);
    settle();
    EXPECT_FALSE(document->isDocumentEdited());
    EXPECT_EQ(document->fractal()->iterations(), 50);

    // A new fractal with a huge count reaches the slider the same way.
    auto big = QvFrac::defaultFractal();
    big->setIterations(2000000000);
    document->setFractal(big);
    EXPECT_EQ(document->fractal()->iterations(), 2000000000);
}

struct RoundTrip {
    const char *name;
    std::function<void(MyDocument *)> prepare;
    // Every value already a 32-bit float, as the reader keeps numbers: the
    // very first save is stable too. Otherwise it is from the first reopen on.
    bool exactFromFirstSave;
};

class RoundTripTest : public DocumentTest, public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(RoundTripTest, SaveAndReopenReproduceTheFileByteForByte)
{
    // Saved new, then twice opened and saved under another name.
    QString previous;
    QList<QByteArray> written;
    for (const char *name : {"first.frac", "second.frac", "third.frac"}) {
        MyDocument *document = previous.isEmpty() ? newDocument() : open(previous);
        ASSERT_NE(document, nullptr);
        if (previous.isEmpty())
            GetParam().prepare(document);
        else
            EXPECT_FALSE(document->isDocumentEdited());
        previous = path(QString::fromLatin1(name));
        _savePaths.push_back(previous);
        ASSERT_TRUE(written.isEmpty() ? document->save() : document->saveAs());
        EXPECT_FALSE(document->isDocumentEdited());
        EXPECT_EQ(shownTitle(document), QString::fromLatin1(name));
        EXPECT_EQ(_controller->recentFiles().value(0), QFileInfo(previous).absoluteFilePath());
        written << readFile(previous);
        document->close();
        settle();
        ASSERT_EQ(documentCount(), 0);
    }
    EXPECT_TRUE(_errors.isEmpty()) << _errors.join(u'\n').toStdString();
    EXPECT_TRUE(written[0].startsWith('{'));
    EXPECT_EQ(written[2], written[1]);
    if (GetParam().exactFromFirstSave) {
        EXPECT_EQ(written[1], written[0]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fractals, RoundTripTest,
    ::testing::Values(RoundTrip{"EditedDefault", [](MyDocument *d) { d->ifsView()->newTransform(); }, true},
                      RoundTrip{"Random", [](MyDocument *d) { d->makeRandomFractal(); }, false}),
    CaseName());

struct BadFile {
    const char *name;
    const char *fileName;
    QByteArray bytes; // null: the file does not exist; "/": it is a folder
    const char *logStart = nullptr;
};

class BadFileTest : public DocumentTest, public ::testing::WithParamInterface<BadFile> {};

TEST_P(BadFileTest, OpensNothingAndNamesTheFileAndTheReason)
{
    MyDocument *already = newDocument();
    already->ifsView()->newTransform();
    const auto fractalBefore = already->fractal();
    const size_t mapsBefore = fractalBefore->transforms()->size();

    const QString name = QString::fromLatin1(GetParam().fileName);
    if (GetParam().bytes == "/")
        ASSERT_TRUE(QDir(_dir.path()).mkdir(name));
    else if (!GetParam().bytes.isNull())
        writeFile(name, GetParam().bytes);
    EXPECT_EQ(open(path(name)), nullptr);

    EXPECT_EQ(documentCount(), 1);
    EXPECT_EQ(already->fractal(), fractalBefore);
    EXPECT_EQ(already->fractal()->transforms()->size(), mapsBefore);
    EXPECT_TRUE(already->isDocumentEdited());
    ASSERT_EQ(_errors.size(), 1);
    EXPECT_TRUE(_errors[0].contains(name)) << _errors[0].toStdString();
    // Something after the file name says why.
    const QString reason = _errors[0].mid(_errors[0].indexOf(name) + name.size());
    EXPECT_GT(reason.trimmed().size(), 3) << _errors[0].toStdString();
    EXPECT_TRUE(_controller->recentFiles().isEmpty());
    if (GetParam().logStart) {
        const QString start = QString::fromLatin1(GetParam().logStart);
        EXPECT_EQ(logLines().filter(start).size(), 1) << logLines().join(u'\n').toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadFileTest,
    ::testing::Values(BadFile{"Missing", "missing.frac", QByteArray()},
                      BadFile{"Folder", "folder.frac", QByteArray("/")},
                      BadFile{"NotAnArchive", "garbage.frac", QByteArray("\x01\x02 not a fractal at all \xff")},
                      BadFile{"BrokenJson", "broken.frac", QByteArray("{'n':1000, 'transforms':[{'sx':0.5,"), "JSON Parsing Error: "}),
    CaseName());

TEST_F(DocumentTest, OpeningSeveralFilesSkipsOnlyTheBadOnes)
{
    writeFile(QStringLiteral("a.frac"), kSmallCountText);
    writeFile(QStringLiteral("bad.frac"), QByteArray("\x00\x01\x02", 3));
    writeFile(QStringLiteral("b.frac"), kSmallCountText);
    const QList<Document *> opened = _controller->openDocuments(
        {path(QStringLiteral("a.frac")), path(QStringLiteral("bad.frac")), path(QStringLiteral("b.frac"))});
    EXPECT_EQ(opened.size(), 2);
    EXPECT_EQ(documentCount(), 2);
    EXPECT_EQ(_errors.size(), 1);
    // The same file again brings its window forward instead of a second copy.
    EXPECT_EQ(open(path(QStringLiteral("a.frac"))), opened.value(0));
    EXPECT_EQ(documentCount(), 2);
}

struct CloseCase {
    const char *name;
    bool edited;
    SaveAnswer answer; // when edited
    bool staysOpen;
    bool fileGetsTheEdit;
};

class CloseTest : public DocumentTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseTest, ClosingAnEditedDocumentAsks)
{
    writeFile(QStringLiteral("doc.frac"), kSmallCountText);
    MyDocument *document = open(path(QStringLiteral("doc.frac")));
    ASSERT_NE(document, nullptr);
    const QByteArray onDisk = readFile(document->filePath());
    if (GetParam().edited) {
        document->ifsView()->newTransform();
        _saveAnswers.push_back(GetParam().answer);
    }
    document->window()->close();
    settle();

    EXPECT_EQ(_asked, GetParam().edited ? QStringList{QStringLiteral("doc.frac")} : QStringList());
    EXPECT_EQ(documentCount(), GetParam().staysOpen ? 1 : 0);
    if (GetParam().staysOpen) {
        EXPECT_TRUE(document->isDocumentEdited());
    }
    if (GetParam().fileGetsTheEdit) {
        EXPECT_NE(readFile(path(QStringLiteral("doc.frac"))), onDisk);
        MyDocument *reopened = open(path(QStringLiteral("doc.frac")));
        ASSERT_NE(reopened, nullptr);
        EXPECT_EQ(reopened->fractal()->transforms()->size(), 2u);
    } else {
        EXPECT_EQ(readFile(path(QStringLiteral("doc.frac"))), onDisk);
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, CloseTest,
                         ::testing::Values(CloseCase{"Unedited", false, SaveAnswer::Cancel, false, false},
                                           CloseCase{"Cancel", true, SaveAnswer::Cancel, true, false},
                                           CloseCase{"Discard", true, SaveAnswer::Discard, false, false},
                                           CloseCase{"Save", true, SaveAnswer::Save, false, true}),
                         CaseName());

TEST_F(DocumentTest, QuitAsksForEachEditedDocumentAndStopsAtCancel)
{
    MyDocument *a = newDocument();
    newDocument(); // unedited: never asked about
    MyDocument *b = newDocument();
    a->ifsView()->newTransform();
    b->ifsView()->newTransform();

    // Save chosen, then no file: nothing closes.
    _saveAnswers = {SaveAnswer::Save};
    EXPECT_FALSE(_controller->closeAll());
    ASSERT_EQ(_proposedPaths.size(), 1);
    EXPECT_TRUE(_proposedPaths[0].endsWith(QStringLiteral("/Untitled.frac"))) << _proposedPaths[0].toStdString();
    EXPECT_TRUE(a->isDocumentEdited());

    _asked.clear();
    _saveAnswers = {SaveAnswer::Discard, SaveAnswer::Cancel};
    EXPECT_FALSE(_controller->closeAll());
    settle();
    EXPECT_EQ(_asked, (QStringList{a->displayName(), b->displayName()}));
    EXPECT_EQ(documentCount(), 3);

    _asked.clear();
    _saveAnswers = {SaveAnswer::Discard, SaveAnswer::Discard};
    EXPECT_TRUE(_controller->closeAll());
    settle();
    EXPECT_EQ(_asked.size(), 2);
    EXPECT_EQ(documentCount(), 0);
}

TEST_F(DocumentTest, FailedSaveKeepsTheDocumentEditedAndSaysWhy)
{
    writeFile(QStringLiteral("doc.frac"), kSmallCountText);
    MyDocument *document = open(path(QStringLiteral("doc.frac")));
    ASSERT_NE(document, nullptr);
    document->ifsView()->newTransform();

    // A folder cannot be created under a plain file, whoever runs the test.
    const QString impossible = path(QStringLiteral("doc.frac/inside.frac"));
    _savePaths.push_back(impossible);
    EXPECT_FALSE(document->saveAs());
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_EQ(shownTitle(document), QStringLiteral("doc.frac*"));
    EXPECT_EQ(readFile(path(QStringLiteral("doc.frac"))), kSmallCountText);
    ASSERT_EQ(_errors.size(), 1);
    EXPECT_TRUE(_errors[0].contains(QStringLiteral("inside.frac"))) << _errors[0].toStdString();
    EXPECT_FALSE(_errors[0].trimmed().endsWith(QStringLiteral("inside.frac"))) << "no reason given";

    // Closing still asks, so the edit is not lost silently.
    _saveAnswers.push_back(SaveAnswer::Cancel);
    document->close();
    EXPECT_EQ(_asked.size(), 1);
    EXPECT_EQ(documentCount(), 1);
}

TEST_F(DocumentTest, RevertReadsTheFileAgainAndClearsTheEdits)
{
    writeFile(QStringLiteral("doc.frac"), kSmallCountText);
    MyDocument *document = open(path(QStringLiteral("doc.frac")));
    ASSERT_NE(document, nullptr);
    document->ifsView()->newTransform();
    ASSERT_EQ(document->fractal()->transforms()->size(), 2u);
    EXPECT_TRUE(document->revert());
    EXPECT_FALSE(document->isDocumentEdited());
    EXPECT_EQ(document->fractal()->transforms()->size(), 1u);
    EXPECT_EQ(document->ifsView()->fractal(), document->fractal());
    EXPECT_EQ(document->fractalView()->fractal(), document->fractal());
}

struct ArchiveName {
    const char *name;
    const char *fileName;
    const char *proposedName;
};

class ArchiveSaveTest : public DocumentTest, public ::testing::WithParamInterface<ArchiveName> {};

TEST_P(ArchiveSaveTest, SaveProposesATextDocumentBesideTheArchive)
{
    const QByteArray archive = testing::fractalArchive({testing::MapValues{}}, 5000, testing::nilSlot());
    const QString name = QString::fromLatin1(GetParam().fileName);
    writeFile(name, archive);
    MyDocument *document = open(path(name));
    ASSERT_NE(document, nullptr) << _errors.join(u'\n').toStdString();
    EXPECT_TRUE(document->openedFromArchive());
    EXPECT_FALSE(document->isDocumentEdited());
    document->ifsView()->newTransform();

    // Cancelling the proposal saves nothing and keeps the edits.
    EXPECT_FALSE(document->save());
    ASSERT_EQ(_proposedPaths.size(), 1);
    EXPECT_EQ(_proposedPaths[0], path(QString::fromLatin1(GetParam().proposedName)));
    EXPECT_TRUE(document->isDocumentEdited());

    _savePaths.push_back(_proposedPaths[0]);
    ASSERT_TRUE(document->save());
    EXPECT_EQ(readFile(path(name)), archive);
    EXPECT_TRUE(readFile(_proposedPaths[0]).startsWith('{'));
    EXPECT_FALSE(document->openedFromArchive());
    EXPECT_FALSE(document->isDocumentEdited());

    // From now on the text document saves in place.
    document->ifsView()->newTransform();
    EXPECT_TRUE(document->save());
    EXPECT_EQ(_proposedPaths.size(), 2);
    EXPECT_EQ(readFile(path(name)), archive);
}

INSTANTIATE_TEST_SUITE_P(Names, ArchiveSaveTest,
                         ::testing::Values(ArchiveName{"OtherExtension", "old.fractal", "old.frac"},
                                           ArchiveName{"FracExtension", "old.frac", "old converted.frac"}),
                         CaseName());

TEST_F(DocumentTest, AFileDroppedOnAWindowOpens)
{
    MyDocument *target = newDocument();
    writeFile(QStringLiteral("dropped.frac"), kSmallCountText);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path(QStringLiteral("dropped.frac")))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target->window(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target->window(), &drop);
    ASSERT_EQ(documentCount(), 2);
    EXPECT_EQ(_controller->documents().value(1)->displayName(), QStringLiteral("dropped.frac"));
    EXPECT_FALSE(target->isDocumentEdited());
}

} // namespace
} // namespace attractor
