#include "gui/display_name.h"

#include <QStringList>

QString MinimizeName(const QString& Path, const QFontMetrics& Metrics, int Width) {
    const auto fits = [&](const QString& s) { return Metrics.horizontalAdvance(s) <= Width; };
    if (fits(Path)) return Path;
    const QChar sep = QLatin1Char('/');
    QStringList folders = Path.split(sep);
    const QString file = folders.takeLast();
    if (folders.isEmpty()) return file;
    // The root stays ("" for an absolute path, so the result starts with
    // "/..."); the folders after it go one by one from the left.
    const QString root = folders.takeFirst();
    while (!folders.isEmpty()) {
        folders.removeFirst();
        QStringList rest = folders;
        rest.append(file);
        const QString candidate = root + sep + QStringLiteral("...") + sep + rest.join(sep);
        if (fits(candidate)) return candidate;
    }
    const QString candidate = QStringLiteral("...") + sep + file;
    return fits(candidate) ? candidate : file;
}
