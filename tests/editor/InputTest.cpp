#include "EditorFixture.h"

#include "canvas/MyOpenGLView.h"
#include "persistence/Report.h"
#include "support/Files.h"

#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QUndoStack>

#include <cmath>
#include <numbers>

using namespace attractor;
using namespace attractor::test;

constexpr double kEighth = std::numbers::pi / 4;

// Drags of the selected map at the centre, scale 0.5, handle at (250, 250); moves stop on the edges.
TEST_F(EditorTest, DragScalesTurnsAndMovesTheSelectedMap)
{
    // With `covered` a second map is drawn over the handle.
    const struct {
        QPointF from, to, scale, translation;
        double rotation = 0;
        Qt::MouseButton button = Qt::LeftButton;
        Qt::KeyboardModifiers modifiers = {};
        bool covered = false;
    } cases[] = {
        {{250, 250}, {300, 220}, {1.0, 0.2}, {0, 0}},
        {{250, 250}, {300, 220}, {1.0, 0.2}, {0, 0}, 0, Qt::LeftButton, {}, true},
        {{250, 250}, {200, 270.71}, {0.5, 0.5}, {0, 0}, kEighth, Qt::LeftButton, Qt::AltModifier},
        {{250, 250}, {270.71, 200}, {0.5, 0.5}, {0, 0}, -kEighth, Qt::LeftButton, Qt::AltModifier},
        {{250, 250}, {200, 270.71}, {0.5, 0.5}, {0, 0}, kEighth, Qt::RightButton},
        // The right button's handle is round: its square corner moves the glyph.
        {{246, 246}, {256, 256}, {0.5, 0.5}, {0.1, 0.1}, 0, Qt::RightButton},
        {{210, 190}, {300, 300}, {0.5, 0.5}, {0.9, 1.1}},
        {{210, 190}, {1500, 300}, {0.5, 0.5}, {2.0, 1.1}},
        {{200, 200}, {-900, -900}, {0.5, 0.5}, {-2.0, -2.0}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.to.x() << ", " << c.to.y() << (c.covered ? " covered" : ""));
        fractal->transforms()->clear();
        const TransformPtr t = selectNewMap({0, 0});
        const double aboveAt = c.covered ? 0.5 : 1.5;
        const TransformPtr above = addMap({aboveAt, aboveAt});
        drag(c.from, c.to, c.button, c.modifiers);
        EXPECT_EQ(view->selection(), t.get());
        expectNear(t->scale(), c.scale, 1e-3);
        EXPECT_NEAR(t->rotation(), c.rotation, 1e-4);
        EXPECT_EQ(t->translation(), c.translation);
        EXPECT_EQ(above->translation(), QPointF(aboveAt, aboveAt));
        EXPECT_EQ(changes.count(), 1) << "one drag step, one change";
    }
}

// The handles of a turned, sheared, unevenly scaled map: the corner follows
// the pointer along the glyph's own edges, Alt turns the glyph as a whole,
// the edge's diamond shears it; each drag is one undo step.
TEST_F(EditorTest, HandlesStretchTurnAndShearTheTrueGlyph)
{
    const auto edges = [](const QvTransform &t) {
        const _t_matrix m = t.transformMatrix();
        return std::pair{QPointF(m.a, m.c), QPointF(m.b, m.d)};
    };
    const auto cross = [](QPointF u, QPointF v) { return u.x() * v.y() - u.y() * v.x(); };
    const TransformPtr t = selectNewMap({0.2, -0.1}, {0.6, 0.3}, 0.5f);
    t->setShear(0.2f);
    const QvTransform before = *t;
    const auto [e1, e2] = edges(before);
    const QPointF corner = view->selectionBoxFromTransform(before).boundingRect().center();
    const QPointF diamond = view->shearBoxFromTransform(before).boundingRect().center();
    expectNear(corner, view->convertFromUserCoords(before.translation() + e1 + e2), 1e-6);
    expectNear(diamond, view->convertFromUserCoords(before.translation() + e2), 1e-6);

    drag(corner, corner + QPointF(30, -12));
    const auto [s1, s2] = edges(*t);
    expectNear(view->selectionBoxFromTransform(*t).boundingRect().center(), corner + QPointF(30, -12), 1e-3);
    EXPECT_NEAR(cross(s1, e1), 0, 1e-6);
    EXPECT_NEAR(cross(s2, e2), 0, 1e-6);
    EXPECT_EQ(t->translation(), before.translation());
    view->model()->undoStack()->undo();
    EXPECT_EQ(t->transformMatrix().a, before.transformMatrix().a);

    const QPointF centre = view->convertFromUserCoords(before.translation());
    drag(corner, centre + QPointF(0, 40), Qt::LeftButton, Qt::AltModifier);
    const auto [r1, r2] = edges(*t);
    const QPointF turned = view->selectionBoxFromTransform(*t).boundingRect().center() - centre;
    EXPECT_NEAR(turned.x(), 0, 1e-3);
    EXPECT_GT(turned.y(), 0);
    EXPECT_NEAR(std::hypot(r1.x(), r1.y()), std::hypot(e1.x(), e1.y()), 1e-6);
    EXPECT_NEAR(cross(r1, r2), cross(e1, e2), 1e-6);
    view->model()->undoStack()->undo();

    drag(diamond, diamond + QPointF(25, 25));
    const auto [h1, h2] = edges(*t);
    EXPECT_NEAR(h1.x(), e1.x(), 1e-6);
    EXPECT_NEAR(h1.y(), e1.y(), 1e-6);
    EXPECT_NEAR(cross(h1, h2), cross(e1, e2), 1e-6); // a shear keeps the area
    EXPECT_GT(QPointF::dotProduct(h2 - e2, e1), 0);
    EXPECT_EQ(view->model()->undoStack()->undoText(), QStringLiteral("Shear Map"));
    EXPECT_EQ(changes.count(), 5) << "three drags, two undos";

    // A pointer on the centre, or a map without size, gives no direction:
    // nothing turns and nothing becomes NaN; a flat map stretches into a rectangle.
    for (const auto &[scale, to, alt, expected] :
         {std::tuple{QPointF(0.5, 0.5), QPointF(0, 0), true, QPointF(0.5, 0.5)},
          std::tuple{QPointF(0, 0), QPointF(0.5, 0.5), true, QPointF(0, 0)},
          std::tuple{QPointF(0.5, 0), QPointF(0.3, 0.4), false, QPointF(0.3, 0.4)}}) {
        fractal->transforms()->clear();
        const TransformPtr u = selectNewMap({0, 0}, scale, 0.3f);
        const QPointF handle = view->selectionBoxFromTransform(*u).boundingRect().center();
        drag(handle, view->convertFromUserCoords(to), Qt::LeftButton, alt ? Qt::AltModifier : Qt::NoModifier);
        EXPECT_NEAR(u->rotation(), alt ? 0.3f : 0.0f, 1e-6) << scale.x();
        expectNear(u->scale(), expected, 1e-6);
    }
}

TEST_F(EditorTest, PressingAndHoveringSelectButOnlyAHeldButtonDrags)
{
    const TransformPtr a = addMap({0, 0});
    const TransformPtr b = addMap({0.5, 0.5});
    for (const auto &[at, hit] : {std::pair{QPointF(160, 160), a.get()}, std::pair{QPointF(240, 240), b.get()},
                                  std::pair{QPointF(380, 20), static_cast<QvTransform *>(nullptr)}}) {
        move(at, Qt::NoButton);
        EXPECT_EQ(view->halfSelection(), hit) << at.x();
        click(at);
        EXPECT_EQ(view->selection(), hit) << at.x();
    }
    drag({200, 380}, {250, 390}); // in empty space
    press({160, 160}); // its release goes to a modal dialog
    move({200, 180}, Qt::NoButton);
    move({300, 300}, Qt::NoButton);
    EXPECT_EQ(a->translation(), QPointF(0, 0));
    EXPECT_EQ(changes.count(), 0);
}

// Arrows move by the float nearest 0.01 and beep at the edge; Shift+arrows scale
// by a hundredth, through zero too; Alt or Ctrl turn a degree, wrapped once.
TEST_F(EditorTest, KeysNudgeScaleAndTurnTheSelection)
{
    const double step = 0.01f;
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        int presses, moves;
        float rotation, turned;
        QPointF translation = {}, translated = {}, scale = {0.5, 0.5}, scaled = {0.5, 0.5};
        float sheared = 0;
    } cases[] = {
        {Qt::Key_Right, Qt::AltModifier | Qt::ShiftModifier, 3, 3, 0, 0, {}, {}, {0.5, 0.5}, {0.5, 0.5}, 0.03f},
        {Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier, 1, 1, 0, 0, {}, {}, {0.5, 0.5}, {0.5, 0.5}, -0.01f},
        {Qt::Key_Right, {}, 2, 1, 0, 0, {1.99, 0}, {1.99 + step, 0}},
        {Qt::Key_Left, {}, 2, 1, 0, 0, {-1.985, 0}, {-1.985 - step, 0}},
        {Qt::Key_Down, {}, 2, 1, 0, 0, {0, -1.985}, {0, -1.985 - step}},
        {Qt::Key_Right, Qt::ShiftModifier, 1, 1, 0, 0, {}, {}, {0.3, -0.4}, {0.31, -0.4}},
        {Qt::Key_Left, Qt::ShiftModifier, 3, 3, 0, 0, {}, {}, {0.02, 0.5}, {-0.01, 0.5}},
        {Qt::Key_Left, Qt::AltModifier, 1, 1, 0, 0.017453292f},
        {Qt::Key_Up, Qt::ControlModifier, 1, 1, 6.2831855f, 0.0174534f},
        {Qt::Key_Down, Qt::ControlModifier, 1, 1, 0, 6.265732f},
        {Qt::Key_B, Qt::ControlModifier, 1, 1, 20, static_cast<float>(20.0f + 0.017453292519944444 - 6.28318530718)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "key " << c.key << " mods " << c.mods << " rotation " << c.rotation);
        const TransformPtr t = selectNewMap(c.translation, c.scale, c.rotation);
        beeps = 0;
        for (int i = 0; i < c.presses; ++i)
            QTest::keyClick(view, c.key, c.mods);
        EXPECT_EQ(t->translation(), c.translated);
        expectNear(t->scale(), c.scaled, 1e-12);
        EXPECT_NEAR(t->rotation(), c.turned, 1e-6);
        EXPECT_NEAR(t->shear(), c.sheared, 1e-7);
        EXPECT_EQ(changes.count(), c.moves);
        EXPECT_EQ(beeps, c.presses - c.moves);
    }
    view->setSelection(nullptr); // without a selection keys do nothing
    changes.clear();
    for (const auto &c : cases)
        QTest::keyClick(view, c.key, c.mods);
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(beeps, 0);
}

// Deleting clears the selection and the hover and counts a change; the last map stays.
TEST_F(EditorTest, DeletingRemovesTheSelectionButNeverTheLastMap)
{
    for (const auto &[maps, selected, key, removes] :
         {std::tuple{3, 1, Qt::Key_Backspace, true}, std::tuple{2, 0, Qt::Key_Delete, true},
          std::tuple{1, 0, Qt::Key_Delete, false}, std::tuple{3, -1, Qt::Key_Backspace, false}}) {
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
        EXPECT_EQ(*fractal->transforms(), expected) << maps;
        EXPECT_TRUE(view->selection() == view->halfSelection() && view->selection() == (removes ? nullptr : chosen));
        EXPECT_EQ(std::pair(beeps, int(changes.count())), std::pair(removes ? 0 : 1, removes ? 1 : 0)) << maps;
    }
}

TEST_F(EditorTest, ButtonsSlidersAndColourWellEditTheSelection)
{
    const TransformPtr a = selectNewMap({1, 1});
    QTest::mouseClick(newButton, Qt::LeftButton);
    const TransformPtr t = fractal->transforms()->back();
    EXPECT_EQ(view->selection(), t.get());
    EXPECT_EQ(QLineF(t->scale(), t->translation()), QLineF(0.5, 0.5, 0, 0));
    // A new map shows against the background: light on this black one.
    const auto luminance = [](_rgb_color c) { return 0.2126f * c.r + 0.7152f * c.g + 0.0722f * c.b; };
    EXPECT_TRUE(luminance(t->rgb()) > 0.5f && t->rgb().a == 1.0f && t->autoProbability());
    rotationSlider->setValue(rotationSlider->maximum() / 3); // the map turns the other way
    EXPECT_FLOAT_EQ(t->rotation(), static_cast<float>(1.570796326795 - rotationSlider->floatValue()));
    EXPECT_EQ(changes.count(), 2);
    view->setSelection(nullptr); // now they change nothing
    colorWell->chooseColor(Qt::red);
    EXPECT_EQ(changes.count(), 2);
    view->setSelection(t.get());
    QTest::mouseClick(deleteButton, Qt::LeftButton);
    EXPECT_EQ(*fractal->transforms(), TransformList{a});
}

TEST_F(EditorTest, AnEditRedrawsTheRenderer)
{
    auto *renderer = new MyOpenGLView(window.get());
    renderer->setGeometry(kSize + 10, kSize - 80, 64, 64);
    renderer->show();
    renderer->setModel(view->model());
    selectNewMap({0, 0});
    ASSERT_TRUE(QTest::qWaitFor([&] { return renderer->pictureIsCurrent(); }, 30000));
    QTest::keyClick(view, Qt::Key_Right);
    EXPECT_FALSE(renderer->pictureIsCurrent());
    EXPECT_TRUE(QTest::qWaitFor([&] { return renderer->pictureIsCurrent(); }, 30000));
}

TEST_F(EditorTest, TextExportWritesEveryMapOrNamesTheFailure)
{
    QTemporaryDir dir;
    const auto file = [&](const char *name) { return dir.filePath(QString::fromLatin1(name)); };
    const auto contents = [&](const char *name) { return test::readFile(file(name)); };
    ASSERT_TRUE(view->exportPanelDidEnd(1, file("empty.txt"), QStringLiteral("txt")));
    EXPECT_EQ(contents("empty.txt"), QByteArray());
    addMap({0.5, -0.25}, {0.5, 0.5}, 0.1f);
    addMap({-1, 1}, {-0.3, 0.2});
    ASSERT_TRUE(view->exportPanelDidEnd(1, file("maps.txt"), QStringLiteral("txt")));
    EXPECT_EQ(contents("maps.txt"), textReport(*fractal).toUtf8());

    LogCapture log;
    EXPECT_FALSE(view->exportPanelDidEnd(0, file("a.txt"), QStringLiteral("txt")));
    EXPECT_TRUE(log.lines().isEmpty()) << "a cancel is silent";
    EXPECT_FALSE(view->exportPanelDidEnd(1, file("b.txt"), QStringLiteral("jpg")));
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("Export failed; export type was not supported!")});
    EXPECT_FALSE(view->exportPanelDidEnd(1, file("no/such/folder/maps.txt"), QStringLiteral("txt")));
    EXPECT_TRUE(log.lines().value(1).contains(QDir::toNativeSeparators(file("no/such/folder/maps.txt"))));
    QDir(dir.path()).mkdir(QStringLiteral("taken.txt"));
    EXPECT_FALSE(view->exportPanelDidEnd(1, file("taken.txt"), QStringLiteral("txt")));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).join(u' '), QStringLiteral("empty.txt maps.txt"));

    window->setWindowFilePath(file("Sierpinski.attractor"));
    view->exportToText();
    auto *dialog = window->findChild<QFileDialog *>();
    ASSERT_TRUE(dialog && dialog->isVisible());
    EXPECT_TRUE(dialog->windowModality() == Qt::WindowModal && dialog->acceptMode() == QFileDialog::AcceptSave);
    EXPECT_EQ(QStringList({dialog->labelText(QFileDialog::FileName), dialog->labelText(QFileDialog::Accept),
                           dialog->defaultSuffix(), QFileInfo(dialog->selectedFiles().value(0)).fileName()})
                  .join(u'|'),
              QStringLiteral("Export as:|Export to Text|txt|Sierpinski.txt"));
    dialog->reject();
    QCoreApplication::processEvents();
    EXPECT_FALSE(QFile::exists(file("Sierpinski.txt")));
}
