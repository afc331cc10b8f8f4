// Where the program's own files are: the "samples" and "patterns" folders,
// "readme.txt", the help file and the firmware updater.
#pragma once

#include <QString>

// The program folder for an executable in exeDir. A build tree keeps the
// files beside the executable, so exeDir is used when it holds "samples".
// An installed program keeps them in the data folder reached from exeDir by
// dataFromExe ("../share/norvoisp" for the usual prefix layout), used when
// that folder exists. Otherwise exeDir, where the commands that need a file
// report it missing under a path the user recognises.
QString ResolveProgramFolder(const QString& exeDir, const QString& dataFromExe);

// ResolveProgramFolder with the data folder this build installs to.
QString ResolveProgramFolder(const QString& exeDir);
