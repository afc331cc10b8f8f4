#include "gui/program_folder.h"

#include <QDir>
#include <QFileInfo>

#ifndef NORVOISP_DATA_FROM_BIN
#define NORVOISP_DATA_FROM_BIN "../share/norvoisp"
#endif

QString ResolveProgramFolder(const QString& exeDir, const QString& dataFromExe) {
    const QDir dir(exeDir);
    if (QFileInfo(dir.filePath(QStringLiteral("samples"))).isDir()) return exeDir;
    const QString installed = QDir::cleanPath(dir.filePath(dataFromExe));
    if (QFileInfo(installed).isDir()) return installed;
    return exeDir;
}

QString ResolveProgramFolder(const QString& exeDir) {
    return ResolveProgramFolder(exeDir, QStringLiteral(NORVOISP_DATA_FROM_BIN));
}
