#include "AppFixture.h"
#include "persistence/TypedStreamWriter.h"

#include "app/DocumentController.h"
#include "app/DocumentWindow.h"
#include "app/MyDocument.h"
#include "editor/QvIFSView.h"
#include "model/QvTransform.h"
#include "renderer/MyOpenGLView.h"

#include <QAbstractButton>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QSlider>
#include <QTest>
#include <QUrl>

#include <functional>
#include <ostream>

namespace attractor {
namespace {

using SaveAnswer = Prompts::SaveAnswer;

QSlider *iterSliderOf(MyDocument *document)
{
    return document->window()->findChild<QSlider *>(QStringLiteral("iterSlider"));
}

// A document text that both the current and any stricter reader accept.
const QByteArray kSmallCountText = "{\"n\": 50, \"transforms\": [{\"sx\": 0.5, \"sy\": 0.5, \"p\": 1}]}";

class DocumentTest : public AppFixture
{
};

TEST_F(DocumentTest, NewDocumentShowsTheDefaultFractalUnedited)
{
    MyDocument *first = newDocument();
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(first->isDocumentEdited());
    EXPECT_FALSE(first->window()->isWindowModified());
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

void PrintTo(const CanvasEdit &row, std::ostream *out)
{
    *out << row.name;
}

class CanvasEditTest : public DocumentTest, public ::testing::WithParamInterface<CanvasEdit>
{
};

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
    EXPECT_TRUE(back->window()->isWindowModified());
    EXPECT_TRUE(back->window()->windowTitle().contains(QStringLiteral("[*]")));
    EXPECT_FALSE(front->isDocumentEdited());
    EXPECT_FALSE(front->window()->isWindowModified());
}

INSTANTIATE_TEST_SUITE_P(
    Canvases, CanvasEditTest,
    ::testing::Values(
        CanvasEdit{"EditorNewMap",
                   [](MyDocument *d) {
                       const size_t before = d->fractal()->transforms()->size();
                       d->ifsView()->newTransform();
                       EXPECT_EQ(d->fractal()->transforms()->size(), before + 1);
                   }},
        CanvasEdit{"EditorNewMapButton",
                   [](MyDocument *d) {
                       auto *button = d->window()->findChild<QAbstractButton *>(QStringLiteral("newTransformButton"));
                       ASSERT_NE(button, nullptr);
                       button->click();
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
    [](const ::testing::TestParamInfo<CanvasEdit> &info) { return std::string(info.param.name); });

TEST_F(DocumentTest, ShowingACountOutsideTheSliderRangeChangesNothing)
{
    writeFile(QStringLiteral("small.frac"), kSmallCountText);
    MyDocument *document = open(path(QStringLiteral("small.frac")));
    ASSERT_NE(document, nullptr);
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

void PrintTo(const RoundTrip &row, std::ostream *out)
{
    *out << row.name;
}

class RoundTripTest : public DocumentTest, public ::testing::WithParamInterface<RoundTrip>
{
protected:
    // Opens path, saves it as name, closes it and returns the bytes written.
    QByteArray reopenAndSaveAs(const QString &pathName, const QString &name)
    {
        MyDocument *document = open(pathName);
        EXPECT_NE(document, nullptr);
        if (!document)
            return {};
        EXPECT_FALSE(document->isDocumentEdited());
        _savePaths.push_back(path(name));
        EXPECT_TRUE(document->saveAs());
        EXPECT_FALSE(document->isDocumentEdited());
        EXPECT_EQ(_controller->recentFiles().value(0), QFileInfo(path(name)).absoluteFilePath());
        document->close();
        settle();
        return readFile(path(name));
    }
};

TEST_P(RoundTripTest, SaveAndReopenReproduceTheFileByteForByte)
{
    MyDocument *document = newDocument();
    GetParam().prepare(document);
    const QString first = path(QStringLiteral("first.frac"));
    _savePaths.push_back(first);
    ASSERT_TRUE(document->save());
    EXPECT_FALSE(document->isDocumentEdited());
    EXPECT_EQ(QFileInfo(document->filePath()), QFileInfo(first));
    EXPECT_EQ(document->displayName(), QStringLiteral("first.frac"));
    const QByteArray written = readFile(first);
    ASSERT_TRUE(written.startsWith('{'));
    EXPECT_TRUE(_errors.isEmpty()) << _errors.join(u'\n').toStdString();
    document->close();
    settle();
    ASSERT_EQ(documentCount(), 0);

    const QByteArray second = reopenAndSaveAs(first, QStringLiteral("second.frac"));
    const QByteArray third = reopenAndSaveAs(path(QStringLiteral("second.frac")), QStringLiteral("third.frac"));
    ASSERT_FALSE(second.isEmpty());
    EXPECT_EQ(third, second);
    if (GetParam().exactFromFirstSave) {
        EXPECT_EQ(second, written);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fractals, RoundTripTest,
    ::testing::Values(RoundTrip{"Default", [](MyDocument *) {}, true},
                      RoundTrip{"EditedDefault", [](MyDocument *d) { d->ifsView()->newTransform(); }, true},
                      RoundTrip{"Random", [](MyDocument *d) { d->makeRandomFractal(); }, false}),
    [](const ::testing::TestParamInfo<RoundTrip> &info) { return std::string(info.param.name); });

struct BadFile {
    const char *name;
    const char *fileName;
    QByteArray bytes; // null: the file does not exist
    const char *logStart = nullptr;
};

void PrintTo(const BadFile &row, std::ostream *out)
{
    *out << row.name;
}

class BadFileTest : public DocumentTest, public ::testing::WithParamInterface<BadFile>
{
};

TEST_P(BadFileTest, OpensNothingAndNamesTheFileAndTheReason)
{
    MyDocument *already = newDocument();
    already->ifsView()->newTransform();
    const auto fractalBefore = already->fractal();
    const size_t mapsBefore = fractalBefore->transforms()->size();

    const QString name = QString::fromLatin1(GetParam().fileName);
    if (!GetParam().bytes.isNull())
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
                      BadFile{"Empty", "empty.frac", QByteArray("")},
                      BadFile{"NotAnArchive", "garbage.frac", QByteArray("\x01\x02 not a fractal at all \xff")},
                      BadFile{"TextNotJson", "notes.txt", QByteArray("Just some notes.\n")},
                      BadFile{"BrokenJson", "broken.frac", QByteArray("{'n':1000, 'transforms':[{'sx':0.5,"), "JSON Parsing Error: "}),
    [](const ::testing::TestParamInfo<BadFile> &info) { return std::string(info.param.name); });

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
    SaveAnswer answer;
    bool staysOpen;
    bool fileGetsTheEdit;
};

void PrintTo(const CloseCase &row, std::ostream *out)
{
    *out << row.name;
}

class CloseTest : public DocumentTest, public ::testing::WithParamInterface<CloseCase>
{
};

TEST_P(CloseTest, ClosingAnEditedDocumentAsks)
{
    writeFile(QStringLiteral("doc.frac"), kSmallCountText);
    MyDocument *document = open(path(QStringLiteral("doc.frac")));
    ASSERT_NE(document, nullptr);
    const QByteArray onDisk = readFile(document->filePath());
    document->ifsView()->newTransform();
    ASSERT_TRUE(document->isDocumentEdited());

    _saveAnswers.push_back(GetParam().answer);
    document->window()->close();
    settle();

    EXPECT_EQ(_asked, QStringList{QStringLiteral("doc.frac")});
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
                         ::testing::Values(CloseCase{"Cancel", SaveAnswer::Cancel, true, false},
                                           CloseCase{"Discard", SaveAnswer::Discard, false, false},
                                           CloseCase{"Save", SaveAnswer::Save, false, true}),
                         [](const ::testing::TestParamInfo<CloseCase> &info) { return std::string(info.param.name); });

TEST_F(DocumentTest, ClosingAnUneditedDocumentDoesNotAsk)
{
    MyDocument *document = newDocument();
    EXPECT_TRUE(document->close());
    settle();
    EXPECT_TRUE(_asked.isEmpty());
    EXPECT_EQ(documentCount(), 0);
}

TEST_F(DocumentTest, SavingAnUntitledDocumentOnCloseThatIsCancelledKeepsItOpen)
{
    MyDocument *document = newDocument();
    document->ifsView()->newTransform();
    _saveAnswers.push_back(SaveAnswer::Save); // then no path is chosen
    EXPECT_FALSE(document->close());
    settle();
    EXPECT_EQ(documentCount(), 1);
    EXPECT_TRUE(document->isDocumentEdited());
    ASSERT_EQ(_proposedPaths.size(), 1);
    EXPECT_TRUE(_proposedPaths[0].endsWith(QStringLiteral("Untitled.frac"))) << _proposedPaths[0].toStdString();
}

TEST_F(DocumentTest, QuitAsksForEachEditedDocumentAndStopsAtCancel)
{
    MyDocument *a = newDocument();
    MyDocument *clean = newDocument();
    MyDocument *b = newDocument();
    a->ifsView()->newTransform();
    b->ifsView()->newTransform();
    Q_UNUSED(clean);

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
    EXPECT_EQ(document->displayName(), QStringLiteral("doc.frac"));
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

void PrintTo(const ArchiveName &row, std::ostream *out)
{
    *out << row.name;
}

class ArchiveSaveTest : public DocumentTest, public ::testing::WithParamInterface<ArchiveName>
{
};

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
                         [](const ::testing::TestParamInfo<ArchiveName> &info) { return std::string(info.param.name); });

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
    EXPECT_EQ(document(1)->displayName(), QStringLiteral("dropped.frac"));
    EXPECT_FALSE(target->isDocumentEdited());
}

} // namespace
} // namespace attractor
