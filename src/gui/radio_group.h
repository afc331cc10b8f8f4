// A captioned group of radio buttons with one chosen item, addressed by item
// index. Click is emitted only when the operator clicks an item.
#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QRadioButton>
#include <QStringList>

class TRadioGroup : public QGroupBox {
    Q_OBJECT

  public:
    // The items fill the columns top to bottom, left to right.
    TRadioGroup(const QString& caption, const QStringList& items, QWidget* owner = nullptr, int columns = 1);

    // The chosen item, -1 when none.
    int ItemIndex() const { return FButtons->checkedId(); }
    // Chooses an item without emitting Click; -1 clears the choice.
    void SetItemIndex(int index);
    int Count() const { return static_cast<int>(FButtons->buttons().size()); }
    QRadioButton* Item(int index) const;

  signals:
    void Click(int index);

  private:
    QButtonGroup* FButtons;
};
