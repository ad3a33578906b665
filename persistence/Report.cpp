#include "persistence/Report.h"

#include "model/QvFrac.h"
#include "model/QvTransform.h"

#include <charconv>

namespace attractor {

namespace {

// printf's "%f": six decimals, the sign of a negative zero kept. to_chars never
// looks at the locale, so the separator is a point wherever the program runs.
QString fixed(double value)
{
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

} // namespace

QString textReport(const QvFrac &fractal)
{
    QString out;
    int n = 0;
    for (const TransformPtr &t : *fractal.transforms()) {
        ++n;
        const _t_matrix m = t->transformMatrix();
        out += QStringLiteral("Transform %1:\n").arg(n);
        out += QStringLiteral("\tTranslation: (%1, %2)\n").arg(fixed(t->translation().x()), fixed(t->translation().y()));
        out += QStringLiteral("\tRotation: %1 radians\n").arg(fixed(t->rotation()));
        out += QStringLiteral("\tScale: (%1, %2)\n").arg(fixed(t->scale().x()), fixed(t->scale().y()));
        if (t->shear() != 0.0f)
            out += QStringLiteral("\tShear: %1\n").arg(fixed(t->shear()));
        out += QStringLiteral("\tMatrix:\t%1 \t%2 \n\t\t%3 \t%4\n\n").arg(fixed(m.a), fixed(m.b), fixed(m.c), fixed(m.d));
    }
    return out;
}

} // namespace attractor
