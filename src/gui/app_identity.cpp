#include "gui/app_identity.h"

#include <QGuiApplication>

const QString& ApplicationTitle() {
    static const QString title = QStringLiteral("Dezuvu RODOVU DAZ");
    return title;
}

void SetApplicationIdentity() {
    QGuiApplication::setApplicationName(QStringLiteral("norvoisp"));
}
