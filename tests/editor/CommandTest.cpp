#include "EditorFixture.h"

#include "renderer/MyOpenGLView.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>

using namespace attractor;
using namespace attractor::test;

// Arrow keys: `moves` of the presses succeed, the rest are refused with a beep.
struct NudgeCase {
    const char *name;
    QPointF start;
    Qt::Key key;
    int presses;
    int moves;
};

class Nudging : public EditorTest, public ::testing::WithParamInterface<NudgeCase> {};

TEST_P(Nudging, MovesOneViewUnitInsideTheVisibleRange)
{
    const NudgeCase &c = GetParam();
    const TransformPtr t = addMap(c.start);
    view->setSelection(t.get());
    changes->clear();
    for (int i = 0; i < c.presses; ++i)
        QTest::keyClick(view, c.key);

    // One view unit of a 400-point canvas: the 32-bit float nearest 0.01.
    const double step = 0.01f;
    QPointF expected = c.start;
    for (int i = 0; i < c.moves; ++i) {
        switch (c.key) {
        case Qt::Key_Right: expected.rx() += step; break;
        case Qt::Key_Left: expected.rx() -= step; break;
        case Qt::Key_Up: expected.ry() += step; break;
        default: expected.ry() -= step; break;
        }
    }
    EXPECT_EQ(t->translation(), expected);
    EXPECT_EQ(beeps, c.presses - c.moves);
    EXPECT_EQ(changes->count(), c.moves);
}

INSTANTIATE_TEST_SUITE_P(Editor, Nudging,
                         // Each direction moves once, then stops at its edge with a beep.
                         ::testing::Values(NudgeCase{"Right", {1.99, 0}, Qt::Key_Right, 2, 1},
                                           NudgeCase{"Left", {-1.985, 0}, Qt::Key_Left, 2, 1},
                                           NudgeCase{"Up", {0, 1.985}, Qt::Key_Up, 2, 1},
                                           NudgeCase{"Down", {0, -1.985}, Qt::Key_Down, 2, 1}),
                         [](const auto &info) { return std::string(info.param.name); });

struct RotateKeyCase {
    const char *name;
    float start;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    float expected;
};

class RotationKeys : public EditorTest, public ::testing::WithParamInterface<RotateKeyCase> {};

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
                      RotateKeyCase{"CtrlRight", 1.0f, Qt::Key_Right, Qt::ControlModifier, static_cast<float>(1.0 - 0.017453292519944444)},
                      RotateKeyCase{"CtrlUpFromFullTurnWraps", 6.2831855f, Qt::Key_Up, Qt::ControlModifier, 0.0174534f},
                      RotateKeyCase{"CtrlDownIsEndOfParagraph", 0.0f, Qt::Key_Down, Qt::ControlModifier, 6.265732f},
                      RotateKeyCase{"CtrlBFarOutsideComesBackOneTurn", 20.0f, Qt::Key_B, Qt::ControlModifier,
                                    static_cast<float>(20.0f + 0.017453292519944444 - 6.28318530718)},
                      RotateKeyCase{"CtrlFIsForward", 0.0f, Qt::Key_F, Qt::ControlModifier, 6.265732f}),
    [](const auto &info) { return std::string(info.param.name); });

// Shift+arrows change one scale component by a hundredth, without limit.
struct ScaleKeyCase {
    const char *name;
    Qt::Key key;
    QPointF start;
    int presses;
    QPointF expected;
};

class ScaleKeys : public EditorTest, public ::testing::WithParamInterface<ScaleKeyCase> {};

TEST_P(ScaleKeys, ChangeOneComponentByAHundredth)
{
    const ScaleKeyCase &c = GetParam();
    const TransformPtr t = addMap({0, 0}, c.start);
    view->setSelection(t.get());
    for (int i = 0; i < c.presses; ++i)
        QTest::keyClick(view, c.key, Qt::ShiftModifier);
    EXPECT_NEAR(t->scale().x(), c.expected.x(), 1e-12);
    EXPECT_NEAR(t->scale().y(), c.expected.y(), 1e-12);
    EXPECT_EQ(t->translation(), QPointF(0, 0));
    EXPECT_EQ(changes->count(), c.presses);
    EXPECT_EQ(beeps, 0);
}

INSTANTIATE_TEST_SUITE_P(Editor, ScaleKeys,
                         ::testing::Values(ScaleKeyCase{"Right", Qt::Key_Right, {0.3, -0.4}, 1, {0.31, -0.4}},
                                           ScaleKeyCase{"Down", Qt::Key_Down, {0.3, -0.4}, 1, {0.3, -0.41}},
                                           ScaleKeyCase{"Up", Qt::Key_Up, {0.3, -0.4}, 1, {0.3, -0.39}},
                                           ScaleKeyCase{"BelowZeroMirrors", Qt::Key_Left, {0.02, 0.5}, 3, {-0.01, 0.5}}),
                         [](const auto &info) { return std::string(info.param.name); });

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

// Deleting always clears the selection and counts a change; the last map stays.
struct DeleteCase {
    const char *name;
    int maps;
    int selected; // -1 for none; the pointer rests on it too
    Qt::Key key;
    bool removes;
};

class Deleting : public EditorTest, public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(Deleting, RemovesTheSelectionButNeverTheLastMap)
{
    const DeleteCase &c = GetParam();
    for (int i = 0; i < c.maps; ++i)
        addMap({i - 1.0, 0});
    const TransformList before = *fractal->transforms();
    QvTransform *chosen = c.selected < 0 ? nullptr : before.at(c.selected).get();
    if (chosen) {
        move(view->convertFromUserCoords(chosen->translation()), Qt::NoButton);
        ASSERT_EQ(view->halfSelection(), chosen);
    }
    view->setSelection(chosen);
    changes->clear();

    QTest::keyClick(view, c.key);

    TransformList expected = before;
    if (c.removes)
        expected.erase(expected.begin() + c.selected);
    EXPECT_EQ(*fractal->transforms(), expected);
    EXPECT_EQ(view->selection(), c.removes ? nullptr : chosen);
    EXPECT_EQ(view->halfSelection(), c.removes ? nullptr : chosen);
    EXPECT_EQ(beeps, c.removes ? 0 : 1);
    EXPECT_EQ(changes->count(), c.removes ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Editor, Deleting,
                         ::testing::Values(DeleteCase{"BackspaceRemovesTheMiddleMap", 3, 1, Qt::Key_Backspace, true},
                                           DeleteCase{"DeleteRemovesTheFirstOfTwo", 2, 0, Qt::Key_Delete, true},
                                           DeleteCase{"LastMapStaysWithABeep", 1, 0, Qt::Key_Delete, false},
                                           DeleteCase{"NoSelectionRemovesNothing", 3, -1, Qt::Key_Backspace, false}),
                         [](const auto &info) { return std::string(info.param.name); });

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
    EXPECT_EQ(view->selection(), &added);
    EXPECT_EQ(changes->count(), 1);

    QTest::mouseClick(deleteButton, Qt::LeftButton);
    EXPECT_EQ(fractal->transforms()->size(), 1u);
    EXPECT_EQ(fractal->transforms()->front(), a);
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

TEST_F(EditorTest, AnEditRedrawsTheRenderer)
{
    auto *renderer = new MyOpenGLView(window.get());
    renderer->setGeometry(kSize + 10, kSize - 80, 64, 64);
    renderer->show();
    view->setFractalView(renderer);
    const TransformPtr t = addMap({0, 0});
    ASSERT_TRUE(QTest::qWaitFor([&] { return renderer->pictureIsCurrent(); }, 30000));

    press({180, 180});
    release({180, 180});
    ASSERT_EQ(view->selection(), t.get());
    EXPECT_EQ(changes->count(), 0);

    QTest::keyClick(view, Qt::Key_Right);
    EXPECT_EQ(changes->count(), 1);
    EXPECT_FALSE(renderer->pictureIsCurrent());
    EXPECT_TRUE(QTest::qWaitFor([&] { return renderer->pictureIsCurrent(); }, 30000));
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

TEST_F(TextExport, WritesTheReportOfEveryMap)
{
    const QString empty = path(QStringLiteral("empty.txt"));
    ASSERT_TRUE(view->exportPanelDidEnd(1, empty, QStringLiteral("txt")));
    EXPECT_TRUE(QFile::exists(empty));
    EXPECT_TRUE(contents(empty).isEmpty());

    addMap({0.5, -0.25}, {0.5, 0.5}, 0.1f);
    addMap({-1, 1}, {-0.3, 0.2});
    const QString maps = path(QStringLiteral("maps.txt"));
    ASSERT_TRUE(view->exportPanelDidEnd(1, maps, QStringLiteral("txt")));
    EXPECT_TRUE(contents(maps).startsWith("Transform 1:\n\tTranslation: (0.500000, -0.250000)\n\tRotation: 0.100000"));
    EXPECT_TRUE(contents(maps).contains("\n\nTransform 2:\n\tTranslation: (-1.000000, 1.000000)\n"));
}

TEST_F(TextExport, CancelOrForeignContextWritesNothing)
{
    addMap({0, 0});
    LogCapture log;
    EXPECT_FALSE(view->exportPanelDidEnd(0, path(QStringLiteral("a.txt")), QStringLiteral("txt")));
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_FALSE(view->exportPanelDidEnd(1, path(QStringLiteral("b.txt")), QStringLiteral("jpg")));
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("Export failed; export type was not supported!")});
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(TextExport, FailedWriteNamesTheFileAndReplacesNothing)
{
    addMap({0, 0});
    LogCapture log;
    const QString missing = path(QStringLiteral("no/such/folder/maps.txt"));
    EXPECT_FALSE(view->exportPanelDidEnd(1, missing, QStringLiteral("txt")));
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines().front().contains(QDir::toNativeSeparators(missing)));

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
    EXPECT_EQ(QFileInfo(dialog->selectedFiles().value(0)).fileName(), QStringLiteral("Sierpinski.txt"));

    dialog->reject();
    QCoreApplication::processEvents();
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("Sierpinski.txt"))));
}
