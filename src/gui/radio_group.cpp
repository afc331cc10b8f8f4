#include "gui/radio_group.h"

#include <QGridLayout>

#include <algorithm>

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, QWidget* owner, int columns)
    : QGroupBox(caption, owner), FButtons(new QButtonGroup(this)) {
    auto* layout = new QGridLayout(this);
    const int count = static_cast<int>(items.size());
    columns = std::max(1, columns);
    const int rows = std::max(1, (count + columns - 1) / columns);
    for (int i = 0; i < count; ++i) {
        auto* b = new QRadioButton(items[i], this);
        FButtons->addButton(b, i);
        layout->addWidget(b, i % rows, i / rows);
    }
    layout->setRowStretch(rows, 1);
    connect(FButtons, &QButtonGroup::idClicked, this, &TRadioGroup::Click);
}

void TRadioGroup::SetItemIndex(int index) {
    if (index < 0 || index >= Count()) {
        if (QAbstractButton* b = FButtons->checkedButton()) {
            FButtons->setExclusive(false);
            b->setChecked(false);
            FButtons->setExclusive(true);
        }
        return;
    }
    FButtons->button(index)->setChecked(true);
}

QRadioButton* TRadioGroup::Item(int index) const {
    return qobject_cast<QRadioButton*>(FButtons->button(index));
}
