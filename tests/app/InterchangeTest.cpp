#include "AppFixture.h"
#include "app/Examples.h"
#include "app/ImportDialog.h"
#include "app/Interchange.h"
#include "support/Pictures.h"

#include <QFileInfo>
#include <QListWidget>
#include <QMenuBar>

namespace attractor {
namespace {

using interchange::Format;

class InterchangeTest : public AppFixture
{
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        interchange::Questions q;
        q.importPath = [this](QWidget *) { return _importPath; };
        q.exportPath = [this](QWidget *, const QString &proposed, Format) {
            _proposedPaths << proposed;
            return _savePaths.isEmpty() ? QString() : _savePaths.takeFirst();
        };
        q.chooseEntries = [this](ImportDialog &dialog) { return _choose(dialog); };
        interchange::installQuestions(q);
    }
    void TearDown() override
    {
        interchange::installQuestions(interchange::defaultQuestions());
        AppFixture::TearDown();
    }
    // The action of a window's menus with this text, submenus included.
    static QAction *menuAction(MyDocument *d, const QString &text)
    {
        for (QAction *a : d->window()->menuBar()->findChildren<QAction *>())
            if (a->text() == text)
                return a;
        ADD_FAILURE() << "no menu item " << text.toStdString();
        return nullptr;
    }
    static int mapCount(const Document *d) { return int(qobject_cast<const MyDocument *>(d)->fractal()->transforms()->size()); }

    QString _importPath;
    std::function<QList<int>(ImportDialog &)> _choose = [](ImportDialog &) { return QList<int>(); };
};

// Pixels of the picture not of its background (the corner lies in the frame's margin).
qsizetype coveredPixels(const QImage &image)
{
    return std::ranges::count(test::covered(image, image.pixel(0, 0), 0), true);
}

// Every example reads, fits, draws more than a speck and opens from the
// menu as an untitled document marked edited, so that closing asks to save it.
TEST_F(InterchangeTest, EveryExampleDrawsAndOpensFromTheMenu)
{
    const std::vector<IfsEntry> &list = examples::entries();
    ASSERT_GE(list.size(), 12u);
    MyDocument *first = newDocument();
    for (const IfsEntry &entry : list) {
        const QString name = examples::readableName(entry);
        SCOPED_TRACE(name.toStdString());
        EXPECT_FALSE(entry.threeD || entry.maps.empty() || name.contains(u'_'));
        const QImage picture = entryThumbnail(entry, ImportDialog::kThumbnailSide);
        EXPECT_GT(coveredPixels(picture), picture.width() * picture.height() / 50);
        QAction *item = menuAction(first, name);
        ASSERT_NE(item, nullptr);
        item->trigger();
        const Document *opened = _controller->documents().constLast();
        EXPECT_EQ(mapCount(opened), int(entry.maps.size()));
        EXPECT_TRUE(opened->filePath().isEmpty() && opened->isDocumentEdited());
    }
    EXPECT_EQ(documentCount(), int(list.size()) + 1);
    EXPECT_TRUE(_errors.isEmpty()) << _errors.join(u'\n').toStdString();
}

// A file's 2D entries open as untitled documents, by name or from the
// dialog; a 3D entry is refused with its reason; a malformed file opens
// nothing and says which file, which line and why.
TEST_F(InterchangeTest, ImportOpensTwoDimensionalEntriesAndRefusesTheRest)
{
    writeFile(QStringLiteral("set.ifs"), "; a comment\n"
                                         "pair {\n 0.5 0 0 0.5 0 0 0.5\n 0.5 0 0 0.5 0.5 0 0.5\n}\n"
                                         "solid (3D) {\n 0.5 0 0 0 0.5 0 0 0 0.5 0 0 0 1\n}\n"
                                         "trio {\n 0.5 0 0 0.5 0 0 0.3\n 0.5 0 0 0.5 1 0 0.3\n 0.5 0 0 0.5 0 1 0.4\n}\n");
    const QList<MyDocument *> byName =
        interchange::importEntries(*_controller, path(QStringLiteral("set.ifs")), {QStringLiteral("trio"), QStringLiteral("solid"), QStringLiteral("pair")}, nullptr);
    ASSERT_EQ(byName.size(), 2);
    EXPECT_EQ(QList<int>({mapCount(byName[0]), mapCount(byName[1])}), QList<int>({3, 2}));
    EXPECT_EQ(QStringList({byName[0]->displayName(), byName[1]->displayName()}), QStringList({QStringLiteral("Untitled"), QStringLiteral("Untitled 2")}));
    ASSERT_EQ(_errors.size(), 1);
    EXPECT_TRUE(_errors[0].contains(QStringLiteral("set.ifs")) && _errors[0].contains(QStringLiteral("solid")) && _errors[0].contains(QStringLiteral("3D"))) << _errors[0].toStdString();

    // The dialog lists all three; the 3D one is greyed, its reason shown, and never chosen.
    _errors.clear();
    _importPath = path(QStringLiteral("set.ifs"));
    QStringList labels, status;
    _choose = [&](ImportDialog &dialog) {
        dialog.waitForThumbnails();
        QListWidget *list = dialog.entryList();
        for (int row = 0; row < list->count(); ++row)
            labels << list->item(row)->text() + (coveredPixels(list->item(row)->icon().pixmap(96).toImage()) > 0 ? QStringLiteral(" drawn") : QString());
        EXPECT_NE(list->item(1)->foreground().color(), list->item(0)->foreground().color());
        list->selectAll();
        status << dialog.statusText();
        return dialog.chosenRows();
    };
    interchange::importWithDialog(*_controller, nullptr);
    EXPECT_EQ(labels, QStringList({QStringLiteral("pair\n2 maps drawn"), QStringLiteral("solid\n3D"), QStringLiteral("trio\n3 maps drawn")}));
    EXPECT_TRUE(status.value(0).contains(QStringLiteral("solid")) && status.value(0).contains(QStringLiteral("3D"))) << status.value(0).toStdString();
    EXPECT_EQ(documentCount(), 4);
    EXPECT_EQ(mapCount(_controller->documents().constLast()), 3);
    EXPECT_TRUE(_errors.isEmpty());

    writeFile(QStringLiteral("broken.ifs"), "pair {\n 0.5 0 0 0.5 0 0 0.5\n}\nodd {\n 0.5 0 0 0.5 0\n}\n");
    _importPath = path(QStringLiteral("broken.ifs"));
    interchange::importWithDialog(*_controller, nullptr);
    interchange::importEntries(*_controller, path(QStringLiteral("missing.ifs")), {QStringLiteral("pair")}, nullptr);
    EXPECT_EQ(documentCount(), 4);
    ASSERT_EQ(_errors.size(), 2);
    EXPECT_TRUE(_errors[0].contains(QStringLiteral("broken.ifs")) && _errors[0].contains(QStringLiteral("line 4: "))) << _errors[0].toStdString();
    EXPECT_TRUE(_errors[1].contains(QStringLiteral("missing.ifs”")) && !_errors[1].endsWith(QStringLiteral(": "))) << _errors[1].toStdString();
}

// Each export proposes the document's name with its extension and writes a
// file that reads back with the document's maps; a failure names the file.
TEST_F(InterchangeTest, ExportsWriteWhatReadsBack)
{
    MyDocument *document = newDocument();
    _savePaths << path(QStringLiteral("tri.ifs")) << path(QStringLiteral("tri.flame")) << path(QStringLiteral("no/such/dir/x.ifs"));
    menuAction(document, QStringLiteral("Export as I&FS…"))->trigger();
    menuAction(document, QStringLiteral("Export as flam3 Fla&me…"))->trigger();
    EXPECT_EQ(QFileInfo(_proposedPaths.value(0)).fileName() + u' ' + QFileInfo(_proposedPaths.value(1)).fileName(),
              QStringLiteral("Untitled.ifs Untitled.flame"));
    const IfsReadResult back = readIfs(readFile(QStringLiteral("tri.ifs")));
    ASSERT_TRUE(back.ok() && back.entries.size() == 1) << back.error.toStdString();
    EXPECT_EQ(back.entries[0].name, QStringLiteral("Untitled"));
    EXPECT_EQ(back.entries[0].maps.size(), document->fractal()->transforms()->size());
    EXPECT_EQ(readFile(QStringLiteral("tri.flame")).count("<xform "), qsizetype(document->fractal()->transforms()->size()));
    EXPECT_TRUE(_errors.isEmpty());

    menuAction(document, QStringLiteral("Export as I&FS…"))->trigger();
    ASSERT_EQ(_errors.size(), 1);
    EXPECT_TRUE(_errors[0].contains(QStringLiteral("no/such/dir/x.ifs”: "))) << _errors[0].toStdString();
    EXPECT_FALSE(document->isDocumentEdited());
}

} // namespace
} // namespace attractor
