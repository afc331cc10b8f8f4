// A file's path shortened to a width for captions and status lines: folders
// from the middle give way to an ellipsis, the file name itself stays whole.
#pragma once

#include <QFontMetrics>
#include <QString>

// Path when it fits Width pixels in the font; otherwise the first element
// (the root), "..." and as many of the last folders as fit, then ".../" and
// the file name, and at last the file name alone, whatever its width.
QString MinimizeName(const QString& Path, const QFontMetrics& Metrics, int Width);
