// The program's names: the application title every window caption and
// untitled box starts from, and the name the desktop and the single-instance
// lock know the program by.
#pragma once

#include <QString>

// "Dezuvu RODOVU DAZ".
const QString& ApplicationTitle();

// Names the application "norvoisp". No display name is set: Qt would add it
// to every window caption, which already begins with the title, a second
// time.
void SetApplicationIdentity();
