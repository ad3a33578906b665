#include "persistence/FlameFormat.h"

#include "engine/ChaosGame.h"
#include "engine/PixelMapping.h"
#include "model/QvFrac.h"
#include "model/QvTransform.h"

#include <QStringList>
#include <QXmlStreamWriter>

#include <array>
#include <charconv>
#include <cmath>

namespace attractor {

namespace {

// The image exports' default size, the square -2..2 spread over it.
constexpr int kFlameSide = 1000;
constexpr int kPaletteSize = 256;
// flam3's tone mapping wants tens of samples a pixel before a picture looks
// whole; documents that ask for more iterations keep their count.
constexpr double kMinQuality = 50.0;

// Shortest text that reads back as the same number, whatever the locale.
template <typename Number>
QString number(Number value)
{
    char buffer[64];
    // Adding zero turns a negative zero into a plain one.
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value + Number(0));
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

template <typename Number>
QString numbers(std::initializer_list<Number> values)
{
    QStringList texts;
    for (const Number v : values)
        texts << number(v);
    return texts.join(QLatin1Char(' '));
}

// XML 1.0 cannot hold most control characters, not even escaped.
QString xmlSafe(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text)
        if (c.unicode() >= 0x20 || c == u'\t' || c == u'\n' || c == u'\r')
            if (!c.isNonCharacter() && !c.isSurrogate())
                out += c;
    return out;
}

// How often the engine draws each map: its slots of the 100-slot table, or
// its stretch of the generator's range beyond 100 maps.
std::vector<double> drawOdds(const ChaosTables &tables)
{
    const size_t n = tables.matrix.size();
    std::vector<double> odds(n, 0.0);
    if (n == 0)
        return odds;
    if (tables.bound.empty()) {
        std::vector<int> taken(n, 0);
        for (const int i : tables.table)
            ++taken[static_cast<size_t>(i)];
        for (size_t i = 0; i < n; ++i)
            odds[i] = taken[i] / static_cast<double>(tables.table.size());
        return odds;
    }
    uint32_t previous = 0;
    for (size_t i = 0; i < n; ++i) {
        odds[i] = (tables.bound[i] - previous) / 2147483648.0;
        previous = tables.bound[i];
    }
    return odds;
}

// The palette slot holding map i's colour, the maps spread evenly from first to last slot.
int paletteSlot(size_t i, size_t n)
{
    if (n < 2)
        return 0;
    return static_cast<int>(std::lround(static_cast<double>(i) * (kPaletteSize - 1) / static_cast<double>(n - 1)));
}

using PaletteEntry = std::array<double, 3>;

// Each map's colour at its slot and straight blends between neighbours: the
// engine moves half way to each drawn map's colour, flam3 half way to its
// palette index, and the two agree wherever the palette runs straight (between
// two maps' slots, so everywhere for two maps).
std::array<PaletteEntry, kPaletteSize> palette(const ChaosTables &tables)
{
    std::array<PaletteEntry, kPaletteSize> entries{};
    const size_t n = tables.colour.size();
    const auto entry = [&tables](size_t i) {
        const ChaosTables::MapColour &c = tables.colour[i];
        return PaletteEntry{clampedUnit(c.red), clampedUnit(c.green), clampedUnit(c.blue)};
    };
    if (n == 1)
        entries.fill(entry(0));
    for (size_t i = 0; i + 1 < n; ++i) {
        const int from = paletteSlot(i, n), to = paletteSlot(i + 1, n);
        const PaletteEntry a = entry(i), b = entry(i + 1);
        for (int s = from; s <= to; ++s) {
            const double t = to > from ? double(s - from) / (to - from) : 1.0;
            for (size_t k = 0; k < 3; ++k)
                entries[static_cast<size_t>(s)][k] = a[k] + (b[k] - a[k]) * t;
        }
    }
    return entries;
}

} // namespace

QByteArray flameText(const QvFrac &fractal, const QString &name)
{
    const ChaosTables tables = buildChaosTables(fractal);
    const size_t n = tables.matrix.size();
    const double pixels = static_cast<double>(kFlameSide) * kFlameSide;
    const _rgb_color bg = fractal.bgColor();

    QByteArray text;
    QXmlStreamWriter xml(&text);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(1);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("flame"));
    xml.writeAttribute(QStringLiteral("name"), xmlSafe(name));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("Attractor " ATTRACTOR_VERSION));
    xml.writeAttribute(QStringLiteral("size"), numbers({kFlameSide, kFlameSide}));
    xml.writeAttribute(QStringLiteral("center"), numbers({0, 0}));
    xml.writeAttribute(QStringLiteral("scale"), number(kFlameSide / (kFrameMax - kFrameMin)));
    xml.writeAttribute(QStringLiteral("rotate"), number(0));
    xml.writeAttribute(QStringLiteral("quality"),
                       number(std::max(kMinQuality, std::ceil(fractal.iterations() / pixels))));
    xml.writeAttribute(QStringLiteral("oversample"), number(1));
    // Our points fill the one pixel they land in, unblurred.
    xml.writeAttribute(QStringLiteral("filter"), number(0));
    xml.writeAttribute(QStringLiteral("estimator_radius"), number(0));
    xml.writeAttribute(QStringLiteral("background"),
                       numbers<float>({clampedUnit(bg.r), clampedUnit(bg.g), clampedUnit(bg.b)}));
    xml.writeAttribute(QStringLiteral("brightness"), number(4));
    xml.writeAttribute(QStringLiteral("gamma"), number(4));
    xml.writeAttribute(QStringLiteral("vibrancy"), number(1));
    xml.writeAttribute(QStringLiteral("palette_mode"), QStringLiteral("step"));

    const std::vector<double> odds = drawOdds(tables);
    for (size_t i = 0; i < n; ++i) {
        const _t_matrix &m = tables.matrix[i];
        xml.writeEmptyElement(QStringLiteral("xform"));
        xml.writeAttribute(QStringLiteral("weight"), number(odds[i]));
        // The middle of the slot: flam3 takes slot floor(256 * color).
        xml.writeAttribute(QStringLiteral("color"), number((paletteSlot(i, n) + 0.5) / kPaletteSize));
        // The engine moves the colour half way to the drawn map's.
        xml.writeAttribute(QStringLiteral("color_speed"), number(0.5));
        xml.writeAttribute(QStringLiteral("linear"), number(1));
        // flam3 lists the matrix by columns, and its y grows downward: the map
        // seen through y -> -y turns b, c and ty around.
        xml.writeAttribute(QStringLiteral("coefs"), numbers<float>({m.a, -m.c, -m.b, m.d, m.tx, -m.ty}));
    }
    if (n == 0) {
        // flam3 cannot iterate an empty flame: one map that plots nothing.
        xml.writeEmptyElement(QStringLiteral("xform"));
        xml.writeAttribute(QStringLiteral("weight"), number(1));
        xml.writeAttribute(QStringLiteral("color"), number(0));
        xml.writeAttribute(QStringLiteral("opacity"), number(0));
        xml.writeAttribute(QStringLiteral("linear"), number(1));
        xml.writeAttribute(QStringLiteral("coefs"), numbers<double>({0.5, 0, 0, 0.5, 0, 0}));
    }

    const auto entries = palette(tables);
    for (int s = 0; s < kPaletteSize; ++s) {
        const PaletteEntry &e = entries[static_cast<size_t>(s)];
        xml.writeEmptyElement(QStringLiteral("color"));
        xml.writeAttribute(QStringLiteral("index"), number(s));
        xml.writeAttribute(QStringLiteral("rgb"),
                           numbers<float>({float(e[0] * 255), float(e[1] * 255), float(e[2] * 255)}));
    }
    xml.writeEndDocument();
    return text;
}

} // namespace attractor
