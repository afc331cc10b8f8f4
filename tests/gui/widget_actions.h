// What a user does to a widget, as the window tests do it: choose an entry
// of a drop-down, click a radio button, read back a file the window wrote.
#pragma once

#include "gui/radio_group.h"

#include <QComboBox>
#include <QFile>
#include <QRadioButton>
#include <QString>
#include <QTest>

// Selects Text (any letter case) and sends the signal a user's choice sends;
// false when the box has no such entry.
inline bool Choose(QComboBox* box, const QString& text) {
    const int i = box->findText(text, Qt::MatchFixedString);
    if (i < 0) return false;
    box->setCurrentIndex(i);
    emit box->activated(i);
    return true;
}

// Clicks the round indicator: a radio button takes clicks on its indicator
// and text only.
inline void ClickItem(TRadioGroup* group, int index) {
    QRadioButton* b = group->Item(index);
    QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, QPoint(8, b->height() / 2));
}

// The file's text, empty when it cannot be read.
inline QString ReadFile(const QString& name) {
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll());
}
