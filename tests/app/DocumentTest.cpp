#include "AppFixture.h"
#include "model/QvTransform.h"
#include "persistence/TypedStreamWriter.h"
#include "support/FileSizeLimit.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <QUndoStack>

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

// Saved new, then twice opened and saved under another name. With all values already
// 32-bit floats the file is stable from the first save, else from the first reopen.
TEST_F(DocumentTest, SaveAndReopenReproduceTheFileByteForByte)
{
    const std::pair<void (*)(MyDocument *), bool> kinds[] = {{[](MyDocument *d) { d->ifsView()->newTransform(); }, true},
                                                             {[](MyDocument *d) { d->makeRandomFractal(); }, false}};
    for (const auto &[prepare, exactFromFirstSave] : kinds) {
        QString previous;
        QList<QByteArray> written;
        for (const char *name : {"first.frac", "second.frac", "third.frac"}) {
            MyDocument *document = previous.isEmpty() ? newDocument() : open(previous);
            ASSERT_NE(document, nullptr);
            if (previous.isEmpty())
                prepare(document);
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
        EXPECT_EQ(written[1] == written[0], exactFromFirstSave);
    }
}

// Missing, a folder, neither archive nor text, broken text: nothing opens, nothing else changes.
TEST_F(DocumentTest, BadFileOpensNothingAndNamesTheFileAndTheReasonAlsoAtLaunch)
{
    MyDocument *already = newDocument();
    already->ifsView()->newTransform();
    ASSERT_TRUE(QDir(_dir.path()).mkdir(QStringLiteral("folder.frac")));
    writeFile(QStringLiteral("garbage.frac"), "\x01\x02 not a fractal at all \xff");
    writeFile(QStringLiteral("broken.frac"), "{'n':1000, 'transforms':[{'sx':0.5,");
    for (const char *file : {"missing.frac", "folder.frac", "garbage.frac", "broken.frac"}) {
        _errors.clear();
        EXPECT_EQ(open(QLatin1String(file)), nullptr);
        expectNamesFileAndReason(_errors, QLatin1String(file));
    }
    EXPECT_EQ(documentCount(), 1);
    EXPECT_TRUE(already->isDocumentEdited() && _controller->recentFiles().isEmpty());
    // At launch the named files open, or else an untitled document, and each failure is named.
    _saveAnswers << SaveAnswer::Discard;
    writeFile(QStringLiteral("good.frac"), "\xEF\xBB\xBF" + kSmallDoc); // text after a byte order mark
    writeFile(QStringLiteral("words.frac"), "plain words");
    struct Row { std::vector<const char *> names; bool anythingOpen; int documents, errors; };
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

// Closing and reverting ask only about an edited document. Closing: Cancel keeps it open, Save writes
// the file first. Reverting (Cancel refuses it) drops the edits and their steps, which Undo cannot replay.
TEST_F(DocumentTest, ClosingAndRevertingAskOnlyAboutAnEditedDocument)
{
    using enum SaveAnswer;
    struct Row { const char *file; bool revert, edited; SaveAnswer answer; bool keeps, fileGetsTheEdit; };
    const Row rows[] = {
        {"unedited.frac", false, false, Cancel, false, false}, {"cancel.frac", false, true, Cancel, true, false},
        {"discard.frac", false, true, Discard, false, false}, {"save.frac", false, true, Save, false, true},
        {"confirmed.frac", true, true, Discard, false, false}, {"refused.frac", true, true, Cancel, true, false},
        {"reverted.frac", true, false, Cancel, false, false}};
    for (const Row &row : rows) {
        const QString name = QLatin1String(row.file);
        writeFile(name, kSmallDoc);
        MyDocument *document = open(name);
        _asked.clear(), _revertAsked = 0, _revertAnswer = row.answer != Cancel;
        if (row.edited)
            document->ifsView()->newTransform();
        if (row.revert) {
            EXPECT_EQ(document->revert(), !row.keeps) << row.file;
            EXPECT_EQ(document->fractal()->transforms()->size(), row.keeps ? 2u : 1u) << row.file;
            EXPECT_TRUE(document->isDocumentEdited() == row.keeps && document->undoStack()->count() == int(row.keeps));
            EXPECT_TRUE(sharedByCanvases(document)) << row.file;
        } else {
            if (row.edited)
                _saveAnswers << row.answer;
            document->window()->close();
            settle();
            EXPECT_EQ(_controller->documents().contains(document), row.keeps) << row.file;
        }
        EXPECT_EQ(_asked, row.edited && !row.revert ? QStringList{name} : QStringList()) << row.file;
        EXPECT_EQ(_revertAsked, row.edited && row.revert ? 1 : 0) << row.file;
        EXPECT_EQ(readFile(name) != kSmallDoc, row.fileGetsTheEdit) << row.file;
    }
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
    EXPECT_TRUE(document->isDocumentEdited()) << "closing still asks";
}

INSTANTIATE_TEST_SUITE_P(Causes, SaveFailureTest, ::testing::Values("doc.frac/inside.frac", "doc.frac"),
                         [](const auto &info) { return info.index ? "DiskFull" : "NoSuchFolder"; });

// Printed, cancelled, and asked for but unwritable: one page within 30-point
// margins only when printed, print mode always left, only a failure reported.
TEST_F(DocumentTest, PrintsACentredSquareIntoTheMarginsAndAlwaysLeavesPrintMode)
{
    MyDocument *d = newDocument();
    writeFile(QStringLiteral("plain"), "x");
    for (const auto &[answer, name, written] : {std::tuple{true, "print.pdf", true}, std::tuple{false, "cancelled.pdf", false},
                                                std::tuple{true, "plain/out.pdf", false}}) {
        const QString pdf = path(QLatin1String(name));
        d->printInfo().setOutputFormat(QPrinter::PdfFormat);
        d->printInfo().setOutputFileName(pdf);
        _printAnswer = answer;
        const qsizetype errors = _errors.size();
        d->printDocument();
        EXPECT_FALSE(d->fractalView()->printing());
        const QMarginsF m = d->printInfo().pageLayout().margins(QPageLayout::Point);
        EXPECT_NEAR(m.left() + m.top() + m.right() + m.bottom(), 120.0, 0.04);
        EXPECT_EQ(QFile::exists(pdf), written) << name;
        const QByteArray bytes = readFile(pdf);
        EXPECT_TRUE(!written || bytes.count("/Type /Page") - bytes.count("/Type /Pages") == 1) << "one page";
        EXPECT_EQ(_errors.size() - errors, answer && !written ? 1 : 0) << name;
    }
    EXPECT_EQ(_printAsked, 3);
    EXPECT_FALSE(d->isDocumentEdited());
    // However the page is shaped, it shows the picture square: the largest
    // square of the printable area, centred in it.
    for (const QSize area : {QSize(300, 200), QSize(160, 240)}) {
        QImage page(area, QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter painter(&page);
        d->drawPage(painter, area);
        painter.end();
        QRect printed;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                if (page.pixel(x, y) != qRgb(255, 255, 255))
                    printed |= QRect(x, y, 1, 1);
        const int side = std::min(area.width(), area.height());
        EXPECT_EQ(printed, QRect((area.width() - side) / 2, (area.height() - side) / 2, side, side));
    }
}

// Cancelling the proposal keeps the edits; once saved, the text document saves in place.
TEST_F(DocumentTest, SavingAnArchiveProposesATextDocumentBesideIt)
{
    const QByteArray archive = testing::fractalArchive({testing::MapValues{}}, 5000, testing::nilSlot());
    for (const auto &[name, proposed] : {std::pair{"a.fractal", "a.frac"}, std::pair{"b.frac", "b converted.frac"}}) {
        writeFile(QLatin1String(name), archive);
        MyDocument *document = open(QLatin1String(name));
        ASSERT_NE(document, nullptr) << _errors.join(u'\n').toStdString();
        EXPECT_FALSE(document->isDocumentEdited());
        document->ifsView()->newTransform();
        _proposedPaths.clear();
        EXPECT_FALSE(document->save());
        EXPECT_EQ(_proposedPaths, QStringList{path(QLatin1String(proposed))});
        EXPECT_TRUE(document->isDocumentEdited());
        _savePaths << _proposedPaths[0];
        ASSERT_TRUE(document->save());
        EXPECT_TRUE(readFile(_proposedPaths[0]).startsWith('{'));
        document->ifsView()->newTransform();
        EXPECT_TRUE(document->save());
        EXPECT_EQ(_proposedPaths.size(), 2);
        EXPECT_EQ(readFile(QLatin1String(name)), archive);
    }
}

} // namespace
} // namespace attractor
