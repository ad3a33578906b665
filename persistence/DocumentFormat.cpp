#include "persistence/DocumentFormat.h"

#include "model/QvTransform.h"
#include "persistence/JsonValue.h"
#include "persistence/WdJsonParser.h"

#include <QOperatingSystemVersion>
#include <QRegularExpression>
#include <QStringList>
#include <QSysInfo>

#include <charconv>
#include <cfloat>
#include <cmath>
#include <limits>
#include <string>

namespace attractor {

namespace {

const QString applicationIdentifier = QStringLiteral("org.attractor.Attractor");

// printf's %.15g without printf's dependence on the C locale, which
// QCoreApplication sets from the environment.
QString formatG15(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    std::string_view text(buffer, static_cast<size_t>(result.ptr - buffer));
    // A whole number beyond the 32-bit integer range would read back as an
    // integer and saturate (1e10 would reopen as 2147483647): write it with an
    // exponent so that it reads back as the number it is.
    if ((value > 2147483647.0 || value < -2147483648.0) && text.find_first_of(".e") == std::string_view::npos) {
        const auto sci = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
        std::string digits(buffer, sci.ptr);
        const size_t e = digits.find('e');
        size_t cut = e;
        while (cut > 0 && digits[cut - 1] == '0')
            --cut;
        if (cut > 0 && digits[cut - 1] == '.')
            --cut;
        digits.erase(cut, e - cut);
        return QString::fromLatin1(digits.data(), static_cast<qsizetype>(digits.size()));
    }
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// The double-to-float narrowing of the model's 32-bit fields, saturating like
// the reader does instead of producing an infinity.
float narrowToFloat(double value)
{
    if (value > FLT_MAX)
        return FLT_MAX;
    if (value < -FLT_MAX)
        return -FLT_MAX;
    return static_cast<float>(value);
}

int32_t truncateToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return INT32_MAX;
    if (value <= -2147483648.0)
        return INT32_MIN;
    return static_cast<int32_t>(value); // toward zero
}

// The decimal number at the start of a string after leading white space,
// as a text's own numeric value reads it; 0 when there is none.
double leadingDouble(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    std::string number;
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-'))
        negative = text.at(i++) == u'-';
    // Only the characters a decimal number can hold; from_chars finds the longest valid prefix.
    for (; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        if (!((u >= u'0' && u <= u'9') || u == u'.' || u == u'e' || u == u'E' || u == u'+' || u == u'-'))
            break;
        number.push_back(static_cast<char>(u));
    }
    if (number.empty() || number[0] == '+' || number[0] == '-')
        return 0.0;
    double value = 0.0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value,
                                           std::chars_format::general);
    if (ec == std::errc::invalid_argument)
        return 0.0;
    if (ec == std::errc::result_out_of_range) {
        // Too small reads as 0; too large as the largest double, never an infinity.
        const size_t e = number.find_first_of("eE");
        const bool large = e == std::string::npos || e + 1 >= number.size() || number[e + 1] != '-';
        value = large ? DBL_MAX : 0.0;
    }
    return negative ? -value : value;
}

// The reader keeps numbers as 32-bit floats, too coarse for a deep zoom's
// centre: the view's numbers go as strings of the shortest text that reads
// back as the same double, which floatForKey reads in full.
QString exactNumberToJSON(const QString &key, double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QStringLiteral("'%1':'%2'").arg(key, QString::fromLatin1(buffer, static_cast<qsizetype>(result.ptr - buffer)));
}

// "'view':{'x':'..', 'y':'..', 'zoom':'..'}"
QString viewToJSON(const View &view)
{
    return QStringLiteral("'view':{%1, %2, %3}")
        .arg(exactNumberToJSON(QStringLiteral("x"), view.centre.x()), exactNumberToJSON(QStringLiteral("y"), view.centre.y()),
             exactNumberToJSON(QStringLiteral("zoom"), view.zoom));
}

// "'density':{'gamma':'..', ...}", exact like the view's numbers: a look
// read back must compare equal to the one written.
QString densityToJSON(const DensityOptions &density)
{
    return QStringLiteral("'density':{%1, %2, %3, %4, %5}")
        .arg(exactNumberToJSON(QStringLiteral("gamma"), density.gamma),
             exactNumberToJSON(QStringLiteral("brightness"), density.brightness),
             exactNumberToJSON(QStringLiteral("vibrancy"), density.vibrancy),
             exactNumberToJSON(QStringLiteral("highlight"), density.highlight),
             floatToJSON(QStringLiteral("radius"), density.deRadius));
}

// The look saved in a document table; each part missing (or not a number)
// is the default's.
DensityOptions densityFromDictionary(const JsonValue *table)
{
    DensityOptions density;
    const JsonValue *saved = table ? table->value(QStringLiteral("density")) : nullptr;
    if (!saved || !saved->isTable())
        return density;
    const auto read = [saved](const char *key, double fallback) {
        const JsonValue *value = saved->value(QLatin1String(key));
        return value && (value->isNumber() || value->isString()) ? floatForKey(QLatin1String(key), saved) : fallback;
    };
    density.gamma = read("gamma", density.gamma);
    density.brightness = read("brightness", density.brightness);
    density.vibrancy = read("vibrancy", density.vibrancy);
    density.highlight = read("highlight", density.highlight);
    density.deRadius = truncateToInt(read("radius", density.deRadius));
    return density;
}

} // namespace

QString floatToJSON(const QString &key, double value)
{
    if (std::isnan(value))
        value = 0.0;
    else if (std::isinf(value))
        value = value > 0 ? static_cast<double>(FLT_MAX) : -static_cast<double>(FLT_MAX);
    return QLatin1Char('\'') + key + QStringLiteral("':") + formatG15(value);
}

QString rgbToJSON(const QString &key, _rgb_color colour)
{
    return QStringLiteral("'%1':{%2, %3, %4, %5}")
        .arg(key, floatToJSON(QStringLiteral("r"), colour.r), floatToJSON(QStringLiteral("g"), colour.g),
             floatToJSON(QStringLiteral("b"), colour.b), floatToJSON(QStringLiteral("a"), colour.a));
}

QString platformString()
{
#if defined(Q_OS_MACOS)
    return QStringLiteral("Mac");
#elif defined(Q_OS_WIN)
    return QStringLiteral("Windows");
#elif defined(Q_OS_LINUX)
    return QStringLiteral("Linux");
#else
    return QSysInfo::kernelType();
#endif
}

QString operatingSystemVersionString()
{
    int major = 0;
    int minor = 0;
    int patch = 0;
#if defined(Q_OS_LINUX)
    // "6.1.0-18-amd64": the leading dotted numbers of the kernel release.
    static const QRegularExpression leading(QStringLiteral("^(\\d+)(?:\\.(\\d+))?(?:\\.(\\d+))?"));
    const QRegularExpressionMatch m = leading.match(QSysInfo::kernelVersion());
    if (m.hasMatch()) {
        major = m.captured(1).toInt();
        minor = m.captured(2).toInt();
        patch = m.captured(3).toInt();
    }
#else
    const QOperatingSystemVersion v = QOperatingSystemVersion::current();
    major = std::max(v.majorVersion(), 0);
    minor = std::max(v.minorVersion(), 0);
    patch = std::max(v.microVersion(), 0);
#endif
    return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(patch);
}

QString jsonRepresentation(const QvTransform &transform)
{
    QStringList entries{
        floatToJSON(QStringLiteral("tx"), transform.translation().x()),
        floatToJSON(QStringLiteral("ty"), transform.translation().y()),
        floatToJSON(QStringLiteral("sx"), transform.scale().x()),
        floatToJSON(QStringLiteral("sy"), transform.scale().y()),
        floatToJSON(QStringLiteral("r"), transform.rotation()),
        floatToJSON(QStringLiteral("p"), transform.probability()),
        rgbToJSON(QStringLiteral("c"), transform.rgb()),
    };
    // Only where it is set, so documents without shear keep their bytes.
    if (transform.shear() != 0.0f)
        entries.insert(5, floatToJSON(QStringLiteral("sh"), transform.shear()));
    return QLatin1Char('{') + entries.join(QStringLiteral(", ")) + QLatin1Char('}');
}

QString jsonRepresentation(const QvFrac &fractal, const View &view)
{
    // Identifier and version are ours and hold no quote or backslash, so they go unescaped.
    const QStringList header{
        QStringLiteral("'type':'frac'"),
        floatToJSON(QStringLiteral("v"), 1),
        QStringLiteral("'creator':'%1'").arg(applicationIdentifier),
        QStringLiteral("'bundle':'%1'").arg(QStringLiteral(ATTRACTOR_VERSION)),
        QStringLiteral("'platform':'%1'").arg(platformString()),
        QStringLiteral("'os':'%1'").arg(operatingSystemVersionString()),
    };
    QStringList maps;
    maps.reserve(static_cast<qsizetype>(fractal.transforms()->size()));
    for (const TransformPtr &t : *fractal.transforms())
        maps.append(jsonRepresentation(*t));
    QStringList body{
        floatToJSON(QStringLiteral("n"), fractal.iterations()),
        rgbToJSON(QStringLiteral("bg"), fractal.bgColor()),
        QStringLiteral("\n'transforms':\n[\n\t") + maps.join(QStringLiteral(",\n\t")) + QStringLiteral("\n]"),
    };
    if (const View saved = clampedView(view); !saved.isStandard())
        body.insert(2, viewToJSON(saved));
    // Only where it was changed, so documents drawn as they always were keep their bytes.
    if (!fractal.density().sameLook(DensityOptions{}))
        body.insert(body.size() - 1, densityToJSON(fractal.density()));
    return QStringLiteral("{'file':{") + header.join(QStringLiteral(", ")) + QStringLiteral("},\n")
        + body.join(QStringLiteral(", ")) + QLatin1Char('}');
}

double floatForKey(const QString &key, const JsonValue *table)
{
    const JsonValue *value = table ? table->value(key) : nullptr;
    if (!value)
        return 0.0;
    if (value->isNumber())
        return value->toDouble();
    if (value->isString())
        return leadingDouble(value->toString());
    return 0.0;
}

_rgb_color rgbForKey(const QString &key, const JsonValue *table)
{
    const JsonValue *colour = table ? table->value(key) : nullptr;
    return _rgb_color{
        narrowToFloat(floatForKey(QStringLiteral("r"), colour)),
        narrowToFloat(floatForKey(QStringLiteral("g"), colour)),
        narrowToFloat(floatForKey(QStringLiteral("b"), colour)),
        narrowToFloat(floatForKey(QStringLiteral("a"), colour)),
    };
}

TransformPtr transformFromDictionary(const JsonValue *table)
{
    // No model defaults: whatever the table lacks is 0.
    auto transform = std::make_shared<QvTransform>(
        QPointF(floatForKey(QStringLiteral("sx"), table), floatForKey(QStringLiteral("sy"), table)),
        narrowToFloat(floatForKey(QStringLiteral("r"), table)),
        QPointF(floatForKey(QStringLiteral("tx"), table), floatForKey(QStringLiteral("ty"), table)),
        rgbForKey(QStringLiteral("c"), table));
    transform->setProbability(narrowToFloat(floatForKey(QStringLiteral("p"), table)));
    transform->setShear(narrowToFloat(floatForKey(QStringLiteral("sh"), table)));
    return transform;
}

FracPtr fractalFromDictionary(const JsonValue *table)
{
    auto list = std::make_shared<TransformList>();
    const JsonValue *transforms = table ? table->value(QStringLiteral("transforms")) : nullptr;
    if (transforms) {
        const JsonArray &items = transforms->toArray(); // empty when it is no array
        list->reserve(items.size());
        for (const JsonValue &item : items)
            list->push_back(transformFromDictionary(&item)); // a non-table element reads as an all-zero map
    }
    auto fractal = std::make_shared<QvFrac>(list, truncateToInt(floatForKey(QStringLiteral("n"), table)),
                                            rgbForKey(QStringLiteral("bg"), table));
    fractal->setDensity(densityFromDictionary(table));
    return fractal;
}

View viewFromDictionary(const JsonValue *table)
{
    const JsonValue *view = table ? table->value(QStringLiteral("view")) : nullptr;
    if (!view || !view->isTable())
        return {};
    // A missing zoom reads as 0, which clamping takes as the standard zoom.
    return clampedView({QPointF(floatForKey(QStringLiteral("x"), view), floatForKey(QStringLiteral("y"), view)),
                        floatForKey(QStringLiteral("zoom"), view)});
}

} // namespace attractor
