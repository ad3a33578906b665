#include "EditorFixture.h"

#include "renderer/MyOpenGLView.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>

using namespace attractor;
using namespace attractor::test;

// Arrows move one view unit (the float nearest 0.01); past the edge they beep.
TEST_F(EditorTest, ArrowsNudgeInsideTheVisibleRange)
{
    const double step = 0.01f;
    for (const auto &[start, key, moved] : {std::tuple{QPointF(1.99, 0), Qt::Key_Right, QPointF(1.99 + step, 0)},
                                            std::tuple{QPointF(-1.985, 0), Qt::Key_Left, QPointF(-1.985 - step, 0)},
                                            std::tuple{QPointF(0, 1.985), Qt::Key_Up, QPointF(0, 1.985 + step)},
                                            std::tuple{QPointF(0, -1.985), Qt::Key_Down, QPointF(0, -1.985 - step)}}) {
        const TransformPtr t = selectNewMap(start);
        beeps = 0;
        QTest::keyClick(view, key);
        QTest::keyClick(view, key);
        EXPECT_EQ(t->translation(), moved) << key;
        EXPECT_EQ(beeps, 1);
        EXPECT_EQ(changes.count(), 1);
    }
}

// Alt or Ctrl with arrows (and Ctrl+B, Ctrl+F) turn one degree, wrapped once.
TEST_F(EditorTest, RotationKeysTurnOneDegreeAndWrapOnce)
{
    for (const auto &[start, key, mods, turned] :
         {std::tuple{0.0f, Qt::Key_Left, Qt::AltModifier, 0.017453292f},
          std::tuple{0.0f, Qt::Key_Right, Qt::AltModifier, 6.265732f},
          std::tuple{6.2831855f, Qt::Key_Up, Qt::ControlModifier, 0.0174534f},
          std::tuple{0.0f, Qt::Key_Down, Qt::ControlModifier, 6.265732f},
          std::tuple{20.0f, Qt::Key_B, Qt::ControlModifier, static_cast<float>(20.0f + 0.017453292519944444 - 6.28318530718)},
          std::tuple{0.0f, Qt::Key_F, Qt::ControlModifier, 6.265732f}}) {
        const TransformPtr t = selectNewMap({0, 0}, {0.5, 0.5}, start);
        QTest::keyClick(view, key, mods);
        EXPECT_NEAR(t->rotation(), turned, 1e-6) << start << " key " << key;
        EXPECT_EQ(changes.count(), 1);
    }
    EXPECT_EQ(beeps, 0);
}

// Shift+arrows change one scale component by a hundredth, through zero too.
TEST_F(EditorTest, ShiftArrowsScaleByAHundredth)
{
    for (const auto &[start, key, presses, scaled] : {std::tuple{QPointF(0.3, -0.4), Qt::Key_Right, 1, QPointF(0.31, -0.4)},
                                                      std::tuple{QPointF(0.3, -0.4), Qt::Key_Down, 1, QPointF(0.3, -0.41)},
                                                      std::tuple{QPointF(0.3, -0.4), Qt::Key_Up, 1, QPointF(0.3, -0.39)},
                                                      std::tuple{QPointF(0.02, 0.5), Qt::Key_Left, 3, QPointF(-0.01, 0.5)}}) {
        const TransformPtr t = selectNewMap({0, 0}, start);
        for (int i = 0; i < presses; ++i)
            QTest::keyClick(view, key, Qt::ShiftModifier);
        EXPECT_NEAR(t->scale().x(), scaled.x(), 1e-12) << key;
        EXPECT_NEAR(t->scale().y(), scaled.y(), 1e-12) << key;
        EXPECT_EQ(t->translation(), QPointF(0, 0));
        EXPECT_EQ(changes.count(), presses);
    }
    EXPECT_EQ(beeps, 0);
}

TEST_F(EditorTest, KeysWithoutSelectionDoNothing)
{
    const TransformPtr t = addMap({0.2, 0.3});
    for (Qt::Key key : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down})
        for (Qt::KeyboardModifier mods : {Qt::NoModifier, Qt::ShiftModifier, Qt::AltModifier, Qt::ControlModifier})
            QTest::keyClick(view, key, mods);
    EXPECT_EQ(t->translation(), QPointF(0.2, 0.3));
    EXPECT_EQ(t->scale(), QPointF(0.5, 0.5));
    EXPECT_EQ(t->rotation(), 0.0f);
    EXPECT_EQ(beeps, 0);
    EXPECT_EQ(changes.count(), 0);
}

// Deleting clears the selection and the hover and counts a change; the last map stays.
TEST_F(EditorTest, DeletingRemovesTheSelectionButNeverTheLastMap)
{
    for (const auto &[maps, selected, key, removes] : {std::tuple{3, 1, Qt::Key_Backspace, true},
                                                       std::tuple{2, 0, Qt::Key_Delete, true},
                                                       std::tuple{1, 0, Qt::Key_Delete, false},
                                                       std::tuple{3, -1, Qt::Key_Backspace, false}}) {
        SCOPED_TRACE(maps);
        fractal->transforms()->clear();
        for (int i = 0; i < maps; ++i)
            addMap({i - 1.0, 0});
        TransformList expected = *fractal->transforms();
        QvTransform *chosen = selected < 0 ? nullptr : expected.at(selected).get();
        move(chosen ? view->convertFromUserCoords(chosen->translation()) : QPointF(5, 5), Qt::NoButton);
        view->setSelection(chosen);
        changes.clear();
        beeps = 0;
        QTest::keyClick(view, key);
        if (removes)
            expected.erase(expected.begin() + selected);
        EXPECT_EQ(*fractal->transforms(), expected);
        EXPECT_EQ(view->selection(), removes ? nullptr : chosen);
        EXPECT_EQ(view->halfSelection(), removes ? nullptr : chosen);
        EXPECT_EQ(beeps, removes ? 0 : 1);
        EXPECT_EQ(changes.count(), removes ? 1 : 0);
    }
}

TEST_F(EditorTest, NewAndDeleteButtonsAddAPlainMapAndRemoveIt)
{
    const TransformPtr a = selectNewMap({1, 1});
    QTest::mouseClick(newButton, Qt::LeftButton);
    ASSERT_EQ(fractal->transforms()->size(), 2u);
    const QvTransform &added = *fractal->transforms()->back();
    EXPECT_EQ(added.scale(), QPointF(0.5, 0.5));
    EXPECT_EQ(added.translation(), QPointF(0, 0));
    EXPECT_EQ(added.rgb(), defaultRGBColor());
    EXPECT_TRUE(added.autoProbability());
    EXPECT_EQ(view->selection(), &added);
    EXPECT_EQ(changes.count(), 1);
    QTest::mouseClick(deleteButton, Qt::LeftButton);
    EXPECT_EQ(*fractal->transforms(), TransformList{a});
}

TEST_F(EditorTest, SlidersAndColourWellEditTheSelection)
{
    const TransformPtr t = selectNewMap({0, 0});
    rotationSlider->setValue(rotationSlider->maximum() / 3); // the map turns the other way
    EXPECT_FLOAT_EQ(t->rotation(), static_cast<float>(1.570796326795 - rotationSlider->floatValue()));
    probabilitySlider->setValue(probabilitySlider->maximum() / 4);
    EXPECT_FLOAT_EQ(t->probability(), -probabilitySlider->floatValue());
    EXPECT_GT(t->probability(), 0.0f);
    EXPECT_FALSE(t->autoProbability());
    colorWell->chooseColor(QColor::fromRgbF(0.2f, 0.6f, 1.0f));
    EXPECT_EQ(t->rgb(), (_rgb_color{0.2f, 0.6f, 1.0f, 1.0f}));
    EXPECT_EQ(changes.count(), 3);
    view->setSelection(nullptr); // now they change nothing
    colorWell->chooseColor(Qt::red);
    view->changeRotation();
    view->changeProbability();
    EXPECT_EQ(t->rgb(), (_rgb_color{0.2f, 0.6f, 1.0f, 1.0f}));
    EXPECT_EQ(changes.count(), 3);
}

TEST_F(EditorTest, ReplacingTheFractalClearsSelectionAndCountsOnce)
{
    const TransformPtr t = selectNewMap({0, 0});
    move({200, 200}, Qt::NoButton);
    view->setFractal(fractal);
    EXPECT_EQ(view->selection(), t.get());
    view->setFractal(QvFrac::defaultFractal());
    EXPECT_EQ(view->selection(), nullptr);
    EXPECT_EQ(view->halfSelection(), nullptr);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_FALSE(rotationSlider->isEnabled());
    QWidget bare; // a canvas shown without a fractal takes the default one
    (new QvIFSView(&bare))->resize(400, 400);
    bare.show();
    EXPECT_EQ(bare.findChild<QvIFSView *>()->fractal()->transforms()->size(), 3u);
}

TEST_F(EditorTest, AnEditRedrawsTheRenderer)
{
    auto *renderer = new MyOpenGLView(window.get());
    renderer->setGeometry(kSize + 10, kSize - 80, 64, 64);
    renderer->show();
    view->setFractalView(renderer);
    addMap({0, 0});
    ASSERT_TRUE(QTest::qWaitFor([&] { return renderer->pictureIsCurrent(); }, 30000));
    click({180, 180});
    QTest::keyClick(view, Qt::Key_Right);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_FALSE(renderer->pictureIsCurrent());
    EXPECT_TRUE(QTest::qWaitFor([&] { return renderer->pictureIsCurrent(); }, 30000));
}

static QByteArray contents(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST_F(EditorTest, TextExportWritesEveryMapOrNamesTheFailure)
{
    QTemporaryDir dir;
    const QString empty = dir.filePath(QStringLiteral("empty.txt")), maps = dir.filePath(QStringLiteral("maps.txt"));
    ASSERT_TRUE(view->exportPanelDidEnd(1, empty, QStringLiteral("txt")));
    EXPECT_TRUE(QFile::exists(empty) && contents(empty).isEmpty());
    addMap({0.5, -0.25}, {0.5, 0.5}, 0.1f);
    addMap({-1, 1}, {-0.3, 0.2});
    ASSERT_TRUE(view->exportPanelDidEnd(1, maps, QStringLiteral("txt")));
    EXPECT_TRUE(contents(maps).startsWith("Transform 1:\n\tTranslation: (0.500000, -0.250000)\n\tRotation: 0.100000"));
    EXPECT_TRUE(contents(maps).contains("\n\nTransform 2:\n\tTranslation: (-1.000000, 1.000000)\n"));

    LogCapture log;
    EXPECT_FALSE(view->exportPanelDidEnd(0, dir.filePath(QStringLiteral("a.txt")), QStringLiteral("txt")));
    EXPECT_TRUE(log.lines().isEmpty()) << "a cancel is silent";
    EXPECT_FALSE(view->exportPanelDidEnd(1, dir.filePath(QStringLiteral("b.txt")), QStringLiteral("jpg")));
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("Export failed; export type was not supported!")});
    const QString missing = dir.filePath(QStringLiteral("no/such/folder/maps.txt"));
    EXPECT_FALSE(view->exportPanelDidEnd(1, missing, QStringLiteral("txt")));
    EXPECT_EQ(log.lines().size(), 2);
    EXPECT_TRUE(log.lines().last().contains(QDir::toNativeSeparators(missing)));
    QDir(dir.path()).mkdir(QStringLiteral("taken.txt"));
    EXPECT_FALSE(view->exportPanelDidEnd(1, dir.filePath(QStringLiteral("taken.txt")), QStringLiteral("txt")));
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("taken.txt"))).isDir());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).join(u' '), QStringLiteral("empty.txt maps.txt"));
}

TEST_F(EditorTest, TextExportDialogProposesTheDocumentName)
{
    QTemporaryDir dir;
    window->setWindowFilePath(dir.filePath(QStringLiteral("Sierpinski.attractor")));
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
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}
