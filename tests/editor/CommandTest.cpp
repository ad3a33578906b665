#include "EditorFixture.h"

#include "persistence/Report.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>

#include <cmath>
#include <functional>

using namespace attractor;
using namespace attractor::test;

struct NudgeCase {
    const char *name;
    QPointF start;
    Qt::Key key;
    bool refused;
};

class Nudging : public EditorTest, public ::testing::WithParamInterface<NudgeCase>
{
};

TEST_P(Nudging, MovesOneViewUnitInsideTheVisibleRange)
{
    const NudgeCase &c = GetParam();
    const TransformPtr t = addMap(c.start);
    view->setSelection(t.get());
    changes->clear();

    QTest::keyClick(view, c.key);

    const double step = 0.01f;
    QPointF expected = c.start;
    if (!c.refused) {
        switch (c.key) {
        case Qt::Key_Right: expected.rx() += step; break;
        case Qt::Key_Left: expected.rx() -= step; break;
        case Qt::Key_Up: expected.ry() += step; break;
        default: expected.ry() -= step; break;
        }
    }
    EXPECT_EQ(t->translation(), expected);
    EXPECT_EQ(beeps, c.refused ? 1 : 0);
    EXPECT_EQ(changes->count(), c.refused ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(Editor, Nudging,
                         ::testing::Values(NudgeCase{"Right", {0.5, 0.5}, Qt::Key_Right, false},
                                           NudgeCase{"RightToJustUnderTheEdge", {1.99, 0}, Qt::Key_Right, false},
                                           NudgeCase{"RightPastTheEdge", {1.995, 0}, Qt::Key_Right, true},
                                           NudgeCase{"LeftPastTheEdge", {-1.995, 0}, Qt::Key_Left, true},
                                           NudgeCase{"Up", {0, -0.3}, Qt::Key_Up, false},
                                           NudgeCase{"UpPastTheEdge", {0, 1.995}, Qt::Key_Up, true},
                                           NudgeCase{"Down", {0, 0}, Qt::Key_Down, false},
                                           NudgeCase{"DownPastTheEdge", {0, -1.995}, Qt::Key_Down, true}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(EditorTest, NudgingUpToTheEdgeThenBeeping)
{
    const TransformPtr t = addMap({1.99, 0});
    view->setSelection(t.get());
    QTest::keyClick(view, Qt::Key_Right);
    EXPECT_LT(t->translation().x(), 2.0);
    EXPECT_EQ(beeps, 0);
    const QPointF before = t->translation();
    QTest::keyClick(view, Qt::Key_Right);
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(t->translation(), before);
}

struct RotateKeyCase {
    const char *name;
    float start;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    float expected;
};

class RotationKeys : public EditorTest, public ::testing::WithParamInterface<RotateKeyCase>
{
};

TEST_P(RotationKeys, TurnOneStepAndWrapOnce)
{
    const RotateKeyCase &c = GetParam();
    const TransformPtr t = addMap({0, 0}, {0.5, 0.5}, c.start);
    view->setSelection(t.get());
    changes->clear();
    QTest::keyClick(view, c.key, c.modifiers);
    EXPECT_NEAR(t->rotation(), c.expected, 1e-6);
    EXPECT_EQ(changes->count(), 1);
    EXPECT_EQ(beeps, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Editor, RotationKeys,
    ::testing::Values(RotateKeyCase{"AltLeftFromZero", 0.0f, Qt::Key_Left, Qt::AltModifier, 0.017453292f},
                      RotateKeyCase{"AltRightFromZeroWraps", 0.0f, Qt::Key_Right, Qt::AltModifier, 6.265732f},
                      RotateKeyCase{"AltLeftFromFullTurnWraps", 6.2831855f, Qt::Key_Left, Qt::AltModifier, 0.0174534f},
                      RotateKeyCase{"FarOutsideComesBackOneTurn", 20.0f, Qt::Key_Left, Qt::AltModifier,
                                    static_cast<float>(20.0f + 0.017453292519944444 - 6.28318530718)},
                      RotateKeyCase{"CtrlLeft", 0.0f, Qt::Key_Left, Qt::ControlModifier, 0.017453292f},
                      RotateKeyCase{"CtrlRight", 1.0f, Qt::Key_Right, Qt::ControlModifier, static_cast<float>(1.0 - 0.017453292519944444)},
                      RotateKeyCase{"CtrlUpIsBeginningOfParagraph", 0.0f, Qt::Key_Up, Qt::ControlModifier, 0.017453292f},
                      RotateKeyCase{"CtrlDownIsEndOfParagraph", 0.0f, Qt::Key_Down, Qt::ControlModifier, 6.265732f},
                      RotateKeyCase{"CtrlBIsBackward", 0.0f, Qt::Key_B, Qt::ControlModifier, 0.017453292f},
                      RotateKeyCase{"CtrlFIsForward", 0.0f, Qt::Key_F, Qt::ControlModifier, 6.265732f}),
    [](const auto &info) { return std::string(info.param.name); });

struct ScaleKeyCase {
    const char *name;
    Qt::Key key;
    QPointF delta;
};

class ScaleKeys : public EditorTest, public ::testing::WithParamInterface<ScaleKeyCase>
{
};

TEST_P(ScaleKeys, ChangeOneComponentByAHundredth)
{
    const ScaleKeyCase &c = GetParam();
    const TransformPtr t = addMap({0, 0}, {0.3, -0.4});
    view->setSelection(t.get());
    QTest::keyClick(view, c.key, Qt::ShiftModifier);
    EXPECT_NEAR(t->scale().x(), 0.3 + c.delta.x(), 1e-12);
    EXPECT_NEAR(t->scale().y(), -0.4 + c.delta.y(), 1e-12);
    EXPECT_EQ(t->translation(), QPointF(0, 0));
    EXPECT_EQ(changes->count(), 1);
}

INSTANTIATE_TEST_SUITE_P(Editor, ScaleKeys,
                         ::testing::Values(ScaleKeyCase{"Left", Qt::Key_Left, {-0.01, 0}},
                                           ScaleKeyCase{"Right", Qt::Key_Right, {0.01, 0}},
                                           ScaleKeyCase{"Down", Qt::Key_Down, {0, -0.01}},
                                           ScaleKeyCase{"Up", Qt::Key_Up, {0, 0.01}}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(EditorTest, ShrinkingBelowZeroMirrors)
{
    const TransformPtr t = addMap({0, 0}, {0.02, 0.5});
    view->setSelection(t.get());
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(view, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_NEAR(t->scale().x(), -0.01, 1e-12);
    EXPECT_EQ(beeps, 0);
    // The rounded corner is now on the left: F(-0.05, 0.5) with the minimum half-size.
    const QPainterPath glyph = view->pathFromTransform(*t);
    EXPECT_NEAR(glyph.elementAt(2).x, 195 + 6, 1e-4);
}

TEST_F(EditorTest, KeysWithoutSelectionDoNothing)
{
    const TransformPtr t = addMap({0.2, 0.3});
    const QPointF scale = t->scale();
    for (Qt::Key key : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down}) {
        for (Qt::KeyboardModifiers mods : {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ShiftModifier),
                                           Qt::KeyboardModifiers(Qt::AltModifier),
                                           Qt::KeyboardModifiers(Qt::ControlModifier)})
            QTest::keyClick(view, key, mods);
    }
    EXPECT_EQ(t->translation(), QPointF(0.2, 0.3));
    EXPECT_EQ(t->scale(), scale);
    EXPECT_EQ(t->rotation(), 0.0f);
    EXPECT_EQ(beeps, 0);
    EXPECT_EQ(changes->count(), 0);
}

TEST_F(EditorTest, DeleteKeysRemoveTheSelection)
{
    const TransformPtr a = addMap({-1, 0});
    const TransformPtr b = addMap({0, 0});
    const TransformPtr c = addMap({1, 0});

    move(view->convertFromUserCoords({0, 0}), Qt::NoButton);
    ASSERT_EQ(view->halfSelection(), b.get());
    view->setSelection(b.get());
    QTest::keyClick(view, Qt::Key_Backspace);
    ASSERT_EQ(fractal->transforms()->size(), 2u);
    EXPECT_EQ(fractal->transforms()->at(0), a);
    EXPECT_EQ(fractal->transforms()->at(1), c);
    EXPECT_EQ(view->selection(), nullptr);
    EXPECT_EQ(view->halfSelection(), nullptr);
    EXPECT_EQ(changes->count(), 1);

    view->setSelection(a.get());
    QTest::keyClick(view, Qt::Key_Delete);
    ASSERT_EQ(fractal->transforms()->size(), 1u);
    EXPECT_EQ(fractal->transforms()->at(0), c);

    // The last map stays.
    view->setSelection(c.get());
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_EQ(fractal->transforms()->size(), 1u);
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(view->selection(), nullptr);
}

TEST_F(EditorTest, DeletingWithoutSelectionRemovesNothingButCounts)
{
    addMap({-1, 0});
    addMap({0, 0});
    addMap({1, 0});
    view->deleteTransform();
    EXPECT_EQ(fractal->transforms()->size(), 3u);
    EXPECT_EQ(beeps, 0);
    EXPECT_EQ(changes->count(), 1);
}

TEST_F(EditorTest, NewMapButtonAppendsAPlainMap)
{
    const TransformPtr a = addMap({1, 1});
    view->setSelection(a.get());
    QTest::mouseClick(newButton, Qt::LeftButton);
    ASSERT_EQ(fractal->transforms()->size(), 2u);
    const QvTransform &added = *fractal->transforms()->back();
    EXPECT_EQ(added.scale(), QPointF(0.5, 0.5));
    EXPECT_EQ(added.translation(), QPointF(0, 0));
    EXPECT_EQ(added.rgb(), defaultRGBColor());
    EXPECT_TRUE(added.autoProbability());
    EXPECT_EQ(view->selection(), a.get());
    EXPECT_EQ(changes->count(), 1);

    QTest::mouseClick(deleteButton, Qt::LeftButton);
    EXPECT_EQ(fractal->transforms()->size(), 1u);
    EXPECT_EQ(fractal->transforms()->front().get(), &added);
}

TEST_F(EditorTest, SlidersAndColourWellEditTheSelection)
{
    const TransformPtr t = addMap({0, 0});
    view->setSelection(t.get());
    changes->clear();

    // The user moves the rotation slider: the map turns the other way.
    rotationSlider->setValue(rotationSlider->maximum() / 3);
    const double chosen = rotationSlider->floatValue();
    EXPECT_FLOAT_EQ(t->rotation(), static_cast<float>(1.570796326795 - chosen));
    EXPECT_EQ(changes->count(), 1);

    probabilitySlider->setValue(probabilitySlider->maximum() / 4);
    EXPECT_FLOAT_EQ(t->probability(), -probabilitySlider->floatValue());
    EXPECT_GT(t->probability(), 0.0f);
    EXPECT_FALSE(t->autoProbability());
    EXPECT_EQ(changes->count(), 2);

    colorWell->chooseColor(QColor::fromRgbF(0.2f, 0.6f, 1.0f));
    EXPECT_EQ(t->rgb(), (_rgb_color{0.2f, 0.6f, 1.0f, 1.0f}));
    EXPECT_EQ(changes->count(), 3);

    // Without a selection the controls change nothing.
    view->setSelection(nullptr);
    colorWell->chooseColor(Qt::red);
    view->changeRotation();
    view->changeProbability();
    EXPECT_EQ(t->rgb(), (_rgb_color{0.2f, 0.6f, 1.0f, 1.0f}));
    EXPECT_EQ(changes->count(), 3);
}

TEST_F(EditorTest, ReplacingTheFractalClearsSelectionAndCountsOnce)
{
    const TransformPtr t = addMap({0, 0});
    view->setSelection(t.get());
    move({200, 200}, Qt::NoButton);
    ASSERT_EQ(view->halfSelection(), t.get());

    view->setFractal(fractal);
    EXPECT_EQ(changes->count(), 0);
    EXPECT_EQ(view->selection(), t.get());

    const FracPtr other = QvFrac::defaultFractal();
    view->setFractal(other);
    EXPECT_EQ(view->fractal(), other);
    EXPECT_EQ(view->selection(), nullptr);
    EXPECT_EQ(view->halfSelection(), nullptr);
    EXPECT_EQ(changes->count(), 1);
    EXPECT_FALSE(rotationSlider->isEnabled());
}

TEST_F(EditorTest, ShownWithoutFractalTakesTheDefault)
{
    QWidget window;
    auto *fresh = new QvIFSView(&window);
    fresh->resize(400, 400);
    window.show();
    ASSERT_TRUE(fresh->fractal());
    EXPECT_EQ(fresh->fractal()->transforms()->size(), 3u);
}

// Text export: the dialog and its end handler.
class TextExport : public EditorTest
{
protected:
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }
    static QByteArray contents(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(TextExport, WritesTheReportAsUtf8)
{
    addMap({0.5, -0.25}, {0.5, 0.5}, 0.1f);
    addMap({-1, 1}, {-0.3, 0.2});
    ASSERT_TRUE(view->exportPanelDidEnd(1, path(QStringLiteral("maps.txt")), QStringLiteral("txt")));
    const QByteArray written = contents(path(QStringLiteral("maps.txt")));
    EXPECT_EQ(written, textReport(*fractal).toUtf8());
    EXPECT_TRUE(written.startsWith("Transform 1:\n\tTranslation: (0.500000, -0.250000)\n"));
    EXPECT_TRUE(written.contains("Transform 2:\n"));
}

TEST_F(TextExport, NoMapsGiveAnEmptyFile)
{
    ASSERT_TRUE(view->exportPanelDidEnd(1, path(QStringLiteral("empty.txt")), QStringLiteral("txt")));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("empty.txt"))));
    EXPECT_TRUE(contents(path(QStringLiteral("empty.txt"))).isEmpty());
}

TEST_F(TextExport, CancelOrForeignContextWritesNothing)
{
    addMap({0, 0});
    LogCapture log;
    EXPECT_FALSE(view->exportPanelDidEnd(0, path(QStringLiteral("a.txt")), QStringLiteral("txt")));
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_FALSE(view->exportPanelDidEnd(1, path(QStringLiteral("b.txt")), QStringLiteral("jpg")));
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("Export failed; export type was not supported!")});
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("a.txt"))));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("b.txt"))));
}

TEST_F(TextExport, FailedWriteIsLoggedAndKeepsTheOldFile)
{
    addMap({0, 0});
    LogCapture log;
    const QString missing = path(QStringLiteral("no/such/folder/maps.txt"));
    EXPECT_FALSE(view->exportPanelDidEnd(1, missing, QStringLiteral("txt")));
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines().front().contains(QDir::toNativeSeparators(missing)));

    // A folder where the file should go: nothing is replaced.
    QDir(dir.path()).mkdir(QStringLiteral("taken.txt"));
    EXPECT_FALSE(view->exportPanelDidEnd(1, path(QStringLiteral("taken.txt")), QStringLiteral("txt")));
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("taken.txt"))).isDir());
}

TEST_F(TextExport, DialogProposesTheDocumentName)
{
    window->setWindowFilePath(path(QStringLiteral("Sierpinski.attractor")));
    view->exportToText();
    auto *dialog = window->findChild<QFileDialog *>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog->labelText(QFileDialog::FileName), QStringLiteral("Export as:"));
    EXPECT_EQ(dialog->labelText(QFileDialog::Accept), QStringLiteral("Export to Text"));
    EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("txt"));
    const QStringList proposed = dialog->selectedFiles();
    ASSERT_EQ(proposed.size(), 1);
    EXPECT_EQ(QFileInfo(proposed.front()).fileName(), QStringLiteral("Sierpinski.txt"));

    dialog->reject();
    QCoreApplication::processEvents();
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("Sierpinski.txt"))));
}
