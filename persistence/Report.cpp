#include "persistence/Report.h"

#include "model/QvFrac.h"
#include "model/QvTransform.h"

#include <cstdio>

namespace attractor {

namespace {

// printf's %f with a point as separator: the C locale is never changed by this
// program, so snprintf gives the same text on every system.
void appendFormat(std::string &out, const char *format, auto... values)
{
    char buffer[512];
    const int n = std::snprintf(buffer, sizeof buffer, format, values...);
    if (n > 0 && static_cast<size_t>(n) < sizeof buffer) {
        out.append(buffer, static_cast<size_t>(n));
    } else if (n > 0) {
        std::string big(static_cast<size_t>(n) + 1, '\0');
        std::snprintf(big.data(), big.size(), format, values...);
        out.append(big.data(), static_cast<size_t>(n));
    }
}

} // namespace

QString textReport(const QvFrac &fractal)
{
    std::string out;
    int n = 0;
    for (const TransformPtr &t : *fractal.transforms()) {
        ++n;
        const _t_matrix m = t->transformMatrix();
        appendFormat(out, "Transform %d:\n", n);
        appendFormat(out, "\tTranslation: (%f, %f)\n", t->translation().x(), t->translation().y());
        appendFormat(out, "\tRotation: %f radians\n", static_cast<double>(t->rotation()));
        appendFormat(out, "\tScale: (%f, %f)\n", t->scale().x(), t->scale().y());
        appendFormat(out, "\tMatrix:\t%f \t%f \n\t\t%f \t%f\n\n", static_cast<double>(m.a),
                     static_cast<double>(m.b), static_cast<double>(m.c), static_cast<double>(m.d));
    }
    return QString::fromStdString(out);
}

} // namespace attractor
