#include "gui/radio_group.h"

#include <QVBoxLayout>

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, QWidget* owner)
    : QGroupBox(caption, owner), FButtons(new QButtonGroup(this)) {
    auto* layout = new QVBoxLayout(this);
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items[i], this);
        FButtons->addButton(b, i);
        layout->addWidget(b);
    }
    layout->addStretch(1);
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
