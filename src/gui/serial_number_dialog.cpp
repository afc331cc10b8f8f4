#include "gui/serial_number_dialog.h"

#include "buffer/serial_number.h"
#include "gui/hex_edit.h"
#include "gui/radio_group.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstdint>

namespace {
// RadioGroup1's items in their order, and the base each one selects.
constexpr TEditBase kBases[] = {ebBin, ebDec, ebHex, ebOct};
} // namespace

TSerialNum::TSerialNum(QWidget* owner, THost Host) : QDialog(owner), FHost(std::move(Host)) {
    setWindowTitle(QStringLiteral("Serial Number Generation"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    rgSerialNumMode = new TRadioGroup(QStringLiteral("Serial Numbering"),
                                      {QStringLiteral("Disabled"), QStringLiteral("Store in Memory")}, this);
    rgSerialNumSize =
        new TRadioGroup(QStringLiteral("Serial Number Size"),
                        {QStringLiteral("2 Byte"), QStringLiteral("3 Byte"), QStringLiteral("4 Byte")}, this);
    Label1 = new QLabel(QStringLiteral("Current Serial Number:"), this);
    heCurrentSerial = new THexEdit(this);
    heCurrentSerial->SetMaxLength(8);
    Label1->setBuddy(heCurrentSerial);
    Label2 = new QLabel(QStringLiteral("Location:"), this);
    heSerialLocation = new THexEdit(this);
    heSerialLocation->SetMaxLength(6);
    Label2->setBuddy(heSerialLocation);
    RadioGroup1 = new TRadioGroup(QStringLiteral("Serial Number Base"),
                                  {QStringLiteral("Binary"), QStringLiteral("Decimal"),
                                   QStringLiteral("Hexadecimal"), QStringLiteral("Octal")},
                                  this, 4);
    Button2 = new QPushButton(QStringLiteral("OK"), this);
    Button1 = new QPushButton(QStringLiteral("Cancel"), this);
    Button3 = new QPushButton(QStringLiteral("Clear"), this);
    // Enter in a number box performs OK itself; no button takes it over.
    for (QPushButton* b : {Button1, Button2, Button3})
        b->setAutoDefault(false);

    auto* numbers = new QGridLayout;
    numbers->addWidget(Label1, 0, 0);
    numbers->addWidget(heCurrentSerial, 0, 1);
    numbers->addWidget(Label2, 1, 0);
    numbers->addWidget(heSerialLocation, 1, 1);
    auto* top = new QHBoxLayout;
    top->addWidget(rgSerialNumMode);
    top->addWidget(rgSerialNumSize);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button2);
    buttons->addWidget(Button1);
    buttons->addWidget(Button3);
    auto* l = new QVBoxLayout(this);
    l->addLayout(top);
    l->addLayout(numbers);
    l->addWidget(RadioGroup1);
    l->addLayout(buttons);

    rgSerialNumMode->SetItemIndex(mode_Disabled);
    rgSerialNumSize->SetItemIndex(0);
    RadioGroup1->SetItemIndex(2);
    heCurrentSerial->SetNumBase(ebHex);
    heCurrentSerial->SetValue(0);
    heSerialLocation->SetNumBase(ebHex);
    heSerialLocation->SetValue(0);
    rgSerialNumModeClick();

    connect(rgSerialNumMode, &TRadioGroup::Click, this, [this] { rgSerialNumModeClick(); });
    connect(RadioGroup1, &TRadioGroup::Click, this, [this] { RadioGroup1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Guarded(&TSerialNum::Button2Click); });
    connect(Button1, &QPushButton::clicked, this, [this] { Guarded(&TSerialNum::Button1Click); });
    connect(Button3, &QPushButton::clicked, this, [this] { Guarded(&TSerialNum::Button3Click); });
    for (THexEdit* e : {heCurrentSerial, heSerialLocation})
        connect(e, &QLineEdit::returnPressed, this, [this] { Guarded(&TSerialNum::Button2Click); });
}

void TSerialNum::Guarded(void (TSerialNum::*Action)()) {
    try {
        (this->*Action)();
    } catch (const std::exception& e) {
        if (FHost.ReportError) FHost.ReportError(e);
    }
}

bool TSerialNum::StoreInMemory() const {
    return rgSerialNumMode->ItemIndex() == mode_StoreInMemory;
}

int TSerialNum::CurrentSerial() const {
    return heCurrentSerial->Value();
}

void TSerialNum::IncrementSerial() {
    const auto next = static_cast<std::uint32_t>(heCurrentSerial->Value()) + 1u;
    heCurrentSerial->SetValue(static_cast<int>(next));
}

void TSerialNum::prepareserialnumber(THexList& Buffer) {
    const int sizeIndex = rgSerialNumSize->ItemIndex() < 0 ? 0 : rgSerialNumSize->ItemIndex();
    StoreSerialNumber(Buffer, static_cast<std::uint32_t>(heSerialLocation->Value()), heCurrentSerial->Value(),
                      sizeIndex);
}

void TSerialNum::RewriteSerialNumber(THexList& Buffer) {
    if (StoreInMemory() && std::int64_t(heSerialLocation->Value()) <= std::int64_t(Buffer.Size()))
        prepareserialnumber(Buffer);
}

void TSerialNum::Button2Click() {
    if (StoreInMemory()) {
        THexList* buffer = FHost.MainBuffer ? FHost.MainBuffer() : nullptr;
        const std::int64_t size = buffer ? std::int64_t(buffer->Size()) : 0;
        // The location box holds at most six hex digits, never negative.
        if (!buffer || std::int64_t(heSerialLocation->Value()) > size) {
            if (FHost.ShowMessage)
                FHost.ShowMessage(QStringLiteral("Location is not valid! - Please enter another"));
            return;
        }
        prepareserialnumber(*buffer);
    }
    accept();
}

void TSerialNum::Button1Click() {
    Button3Click();
    reject();
}

void TSerialNum::Button3Click() {
    rgSerialNumMode->SetItemIndex(mode_Disabled);
    rgSerialNumModeClick();
    heCurrentSerial->SetValue(0);
    heSerialLocation->SetValue(0);
}

void TSerialNum::rgSerialNumModeClick() {
    const bool on = StoreInMemory();
    for (QWidget* w :
         std::initializer_list<QWidget*>{rgSerialNumSize, Label1, Label2, heCurrentSerial, heSerialLocation})
        w->setEnabled(on);
}

void TSerialNum::RadioGroup1Click() {
    const int i = RadioGroup1->ItemIndex();
    if (i >= 0 && i < 4) heCurrentSerial->SetNumBase(kBases[i]);
}

void TSerialNum::FormShow() {
    rgSerialNumModeClick();
}

void TSerialNum::showEvent(QShowEvent* e) {
    FormShow();
    QDialog::showEvent(e);
}
