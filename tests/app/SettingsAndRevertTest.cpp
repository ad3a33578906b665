#include "AppFixture.h"
#include "app/Using.h"
#include "model/QvTransform.h"
#include "persistence/DocumentReader.h"

#include <QAction>
#include <QFile>
#include <QSettings>
#include <QUndoStack>

namespace attractor {
namespace {

using SettingsAndRevertTest = AppFixture;

QAction *action(MyDocument *d, const QKeySequence &keys)
{
    for (QAction *a : d->window()->actions()) {
        if (a->shortcuts().contains(keys))
            return a;
    }
    ADD_FAILURE() << "no action for " << keys.toString().toStdString();
    return nullptr;
}

void trigger(MyDocument *d, const QKeySequence &keys)
{
    if (QAction *a = action(d, keys))
        a->trigger();
}

// Every number of a fractal, byte for byte.
QByteArray numbers(const FracPtr &fractal)
{
    QByteArray bytes;
    auto put = [&bytes](const auto &v) { bytes.append(reinterpret_cast<const char *>(&v), sizeof v); };
    for (const TransformPtr &t : *fractal->transforms())
        put(t->translation()), put(t->scale()), put(t->rotation()), put(t->probability()), put(t->rgb());
    put(fractal->iterations()), put(fractal->bgColor());
    return bytes;
}

// The tips setting as the settings file holds it, which is what the next
// start of the program reads: not what this process has cached.
QString storedTipsSetting()
{
    QSettings settings;
    settings.sync();
    QFile file(settings.fileName());
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("<no settings file>");
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(Using::kShowTipsKey.toUtf8() + '='))
            return QString::fromUtf8(line.mid(Using::kShowTipsKey.size() + 1)).trimmed();
    }
    return QStringLiteral("<not stored>");
}

// Tips show at the first start; closing the tips window keeps them from the
// next start, and a tips window shown again asks for them once more.
TEST_F(SettingsAndRevertTest, ClosingTheTipsKeepsThemFromTheNextStartUntilTheyAreShownAgain)
{
    EXPECT_TRUE(Using::showTipsOnLaunch()) << "the first start";
    MyDocument *first = newDocument();
    trigger(first, QKeySequence::HelpContents);
    Using *tips = first->helpWindow();
    ASSERT_NE(tips, nullptr);
    EXPECT_TRUE(tips->isVisible());
    EXPECT_TRUE(Using::showTipsOnLaunch());

    tips->close();
    EXPECT_FALSE(tips->isVisible());
    EXPECT_FALSE(Using::showTipsOnLaunch());
    EXPECT_EQ(storedTipsSetting(), QStringLiteral("false"));

    MyDocument *second = newDocument();
    trigger(second, QKeySequence::HelpContents);
    ASSERT_NE(second->helpWindow(), nullptr);
    EXPECT_TRUE(second->helpWindow()->isVisible());
    EXPECT_TRUE(Using::showTipsOnLaunch());
    EXPECT_EQ(storedTipsSetting(), QStringLiteral("true"));

    // A document window closing with its tips open is no answer about them.
    second->window()->close();
    settle();
    EXPECT_EQ(documentCount(), 1);
    EXPECT_TRUE(Using::showTipsOnLaunch());
}

// Revert throws the undo steps away with the edits: nothing is left to undo
// into the discarded fractal, and a later edit undoes back to the file.
TEST_F(SettingsAndRevertTest, RevertClearsTheUndoHistory)
{
    writeFile(QStringLiteral("doc.frac"), kSmallDoc);
    MyDocument *d = open(QStringLiteral("doc.frac"));
    ASSERT_NE(d, nullptr) << _errors.join(u'\n').toStdString();
    const DocumentReadResult file = readDocument(kSmallDoc);
    ASSERT_TRUE(file.ok());
    ASSERT_EQ(numbers(d->fractal()), numbers(file.fractal));

    trigger(d, QKeySequence(QStringLiteral("Ctrl+Shift+N")));
    trigger(d, QKeySequence(QStringLiteral("Ctrl+R")));
    trigger(d, QKeySequence(QStringLiteral("Ctrl+Shift+N")));
    ASSERT_EQ(d->undoStack()->count(), 3);
    ASSERT_NE(numbers(d->fractal()), numbers(file.fractal));

    _revertAnswer = true;
    EXPECT_TRUE(d->revert());
    EXPECT_EQ(_revertAsked, 1);
    EXPECT_EQ(numbers(d->fractal()), numbers(file.fractal));
    EXPECT_EQ(d->undoStack()->count(), 0);
    EXPECT_FALSE(action(d, QKeySequence::Undo)->isEnabled());
    EXPECT_FALSE(action(d, QKeySequence::Redo)->isEnabled());
    EXPECT_FALSE(d->isDocumentEdited());

    trigger(d, QKeySequence(QStringLiteral("Ctrl+Shift+N")));
    EXPECT_TRUE(d->isDocumentEdited());
    trigger(d, QKeySequence::Undo);
    EXPECT_EQ(numbers(d->fractal()), numbers(file.fractal));
    EXPECT_FALSE(d->isDocumentEdited()) << "the file's state is the clean one";
    EXPECT_FALSE(action(d, QKeySequence::Undo)->isEnabled());
    EXPECT_TRUE(sharedByCanvases(d));
}

} // namespace
} // namespace attractor
