#include "AppFixture.h"

#include <QPageLayout>
#include <QPaintEngine>
#include <QPainter>
#include <QPrintEngine>
#include <QPrinter>

namespace attractor {
namespace {

// A printer whose page is an image: what is printed on it lands in page(),
// which covers the printable area (inside the margins) at `dpi`.
class ImagePrinter : public QPrinter
{
public:
    ImagePrinter(const QPageLayout &layout, int dpi)
        : _engine(layout, dpi)
    {
        setEngines(&_engine, &_engine);
    }
    const QImage &page() const { return _engine.page; }

private:
    class Engine : public QPaintEngine, public QPrintEngine
    {
    public:
        Engine(const QPageLayout &layout, int dpi)
            : QPaintEngine(AllFeatures)
            , page(layout.paintRectPixels(dpi).size(), QImage::Format_RGB32)
            , _layout(layout)
            , _dpi(dpi)
        {
            page.fill(Qt::white);
        }
        QImage page;

        // Painting.
        bool begin(QPaintDevice *) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState &) override {}
        Type type() const override { return User; }
        void drawImage(const QRectF &r, const QImage &image, const QRectF &sr, Qt::ImageConversionFlags) override
        {
            QPainter onPage(&page);
            onPage.setTransform(painter()->combinedTransform());
            onPage.drawImage(r, image, sr);
        }
        void drawPixmap(const QRectF &r, const QPixmap &pixmap, const QRectF &sr) override
        {
            drawImage(r, pixmap.toImage(), sr, Qt::AutoColor);
        }

        // The printer's settings.
        void setProperty(PrintEnginePropertyKey, const QVariant &) override {}
        QVariant property(PrintEnginePropertyKey key) const override
        {
            switch (key) {
            case PPK_QPageLayout:
                return QVariant::fromValue(_layout);
            case PPK_Resolution:
                return _dpi;
            case PPK_FullPage:
                return false;
            default:
                return {};
            }
        }
        bool newPage() override { return true; }
        bool abort() override { return false; }
        QPrinter::PrinterState printerState() const override { return QPrinter::Idle; }
        int metric(QPaintDevice::PaintDeviceMetric id) const override
        {
            switch (id) {
            case QPaintDevice::PdmWidth:
                return page.width();
            case QPaintDevice::PdmHeight:
                return page.height();
            case QPaintDevice::PdmWidthMM:
                return qRound(page.width() * 25.4 / _dpi);
            case QPaintDevice::PdmHeightMM:
                return qRound(page.height() * 25.4 / _dpi);
            case QPaintDevice::PdmDpiX:
            case QPaintDevice::PdmDpiY:
            case QPaintDevice::PdmPhysicalDpiX:
            case QPaintDevice::PdmPhysicalDpiY:
                return _dpi;
            case QPaintDevice::PdmDepth:
                return 32;
            case QPaintDevice::PdmNumColors:
                return INT_MAX;
            case QPaintDevice::PdmDevicePixelRatio:
                return 1;
            case QPaintDevice::PdmDevicePixelRatioScaled:
                return int(QPaintDevice::devicePixelRatioFScale());
            default:
                return 0;
            }
        }

    private:
        QPageLayout _layout;
        int _dpi;
    };
    Engine _engine;
};

// The smallest rectangle holding every pixel other than white.
QRect printedBounds(const QImage &page)
{
    QRect bounds;
    for (int y = 0; y < page.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(page.constScanLine(y));
        for (int x = 0; x < page.width(); ++x) {
            if (qRgb(qRed(row[x]), qGreen(row[x]), qBlue(row[x])) != qRgb(255, 255, 255))
                bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

using PrintTest = AppFixture;

// However the window is shaped, the picture is printed square: one scale
// for x and y, as large as the printable area allows, centred in it.
TEST_F(PrintTest, PrintsTheLargestCentredSquareWhateverTheWindowsShape)
{
    struct Row { QSize window; QPageLayout::Orientation orientation; };
    for (const Row &row : {Row{{1200, 520}, QPageLayout::Portrait}, Row{{560, 900}, QPageLayout::Landscape}}) {
        MyDocument *d = newDocument();
        d->window()->resize(row.window);
        d->window()->show();
        settle();
        const QSize view = d->fractalView()->size();
        ASSERT_GT(std::abs(view.width() - view.height()), std::min(view.width(), view.height()) / 5)
            << "the canvas is far from square: " << view.width() << " x " << view.height();

        ImagePrinter printer(QPageLayout(QPageSize(QPageSize::A4), row.orientation, QMarginsF(30, 30, 30, 30), QPageLayout::Point), 72);
        ASSERT_TRUE(d->printFractal(printer));
        const QImage &page = printer.page();
        const int side = std::min(page.width(), page.height());
        const QRect printed = printedBounds(page);
        EXPECT_NEAR(printed.width(), side, 1) << "as large as the area allows";
        EXPECT_NEAR(printed.height(), side, 1) << "square";
        EXPECT_NEAR(printed.left(), page.width() - 1 - printed.right(), 1) << "centred across";
        EXPECT_NEAR(printed.top(), page.height() - 1 - printed.bottom(), 1) << "centred down";
        // The attractor is drawn, not only its background.
        const QRgb background = page.pixel(printed.topLeft());
        int drawn = 0;
        for (int y = printed.top(); y <= printed.bottom(); ++y)
            for (int x = printed.left(); x <= printed.right(); ++x)
                drawn += page.pixel(x, y) != background;
        EXPECT_GT(drawn, side) << "points of the attractor";
    }
    EXPECT_TRUE(_errors.isEmpty());
}

} // namespace
} // namespace attractor
