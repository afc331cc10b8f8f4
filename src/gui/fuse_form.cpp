#include "gui/fuse_form.h"

#include "buffer/hex_text.h"
#include "catalogue/device.h"
#include "gui/hex_edit.h"
#include "gui/radio_group.h"
#include "programmer/isp_programmer.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPalette>
#include <QVBoxLayout>

namespace {

THexEdit* NumericEdit(QWidget* parent, TEditBase base, int maxValue) {
    auto* e = new THexEdit(parent);
    e->SetNumBase(base);
    e->SetMinValue(0);
    e->SetMaxValue(maxValue);
    e->SetValidate(false);
    e->SetValue(0);
    e->setMaximumWidth(80);
    return e;
}

} // namespace

TBaseFuseForm::TBaseFuseForm(TFuseFormOwner* AOwner)
    : QWidget(AOwner ? AOwner->PanelParent() : nullptr), FOwner(AOwner) {
    // 25C status register.
    Group25C = new QGroupBox(QStringLiteral("25CXX Devices"), this);
    Label1 = new QLabel(QStringLiteral("WARNING! You may not be able to write to the device after setting "
                                       "the Write Protection Enable Pin."),
                        Group25C);
    Label1->setWordWrap(true);
    // Red while it applies; a disabled warning takes the dimmed text colour.
    QPalette red = Label1->palette();
    red.setColor(QPalette::Active, QPalette::WindowText, Qt::red);
    red.setColor(QPalette::Inactive, QPalette::WindowText, Qt::red);
    Label1->setPalette(red);
    WPEN = new TRadioGroup(QStringLiteral("Write Protection Enable Pin"),
                           {QStringLiteral("Enabled"), QStringLiteral("Disabled")}, Group25C, 2);
    WPEN->SetItemIndex(1);
    BP = new TRadioGroup(QStringLiteral("Block Write Protection"),
                         {QStringLiteral("Level 0 - NONE"), QStringLiteral("Level 1 - 1/4"),
                          QStringLiteral("Level 2 - 1/2"), QStringLiteral("Level 3 -  ALL")},
                         Group25C, 2);
    BP->SetItemIndex(0);
    Label2 = new QLabel(QStringLiteral("Status Register:"), Group25C);
    StatusReg = new QLineEdit(QStringLiteral("00000000"), Group25C);
    StatusReg->setReadOnly(true);
    {
        auto* l = new QVBoxLayout(Group25C);
        l->addWidget(Label1);
        l->addWidget(WPEN);
        l->addWidget(BP);
        auto* reg = new QHBoxLayout;
        reg->addWidget(Label2);
        reg->addWidget(StatusReg, 1);
        l->addLayout(reg);
    }

    // 93C organisation and write-all value.
    Group93C = new QGroupBox(QStringLiteral("93CX6 Devices"), this);
    Mode = new TRadioGroup(QStringLiteral("Programming Mode"), {QStringLiteral("X8"), QStringLiteral("X16")},
                           Group93C);
    Mode->SetItemIndex(1);
    WriteAllLabel = new QLabel(QStringLiteral("Write ALL Value:"), Group93C);
    WriteAllValue = NumericEdit(Group93C, ebHex, 255);
    WriteAllLabel->setBuddy(WriteAllValue);
    {
        auto* l = new QVBoxLayout(Group93C);
        l->addWidget(Mode);
        auto* wa = new QHBoxLayout;
        wa->addWidget(WriteAllLabel);
        wa->addWidget(WriteAllValue);
        wa->addStretch(1);
        l->addLayout(wa);
    }

    ResetPolarity =
        new TRadioGroup(QStringLiteral("MCU Reset Polarity"),
                        {QStringLiteral("Low"), QStringLiteral("High"), QStringLiteral("Off")}, this);
    ResetPolarity->SetItemIndex(2);
    ResetPolarity->setToolTip(
        QStringLiteral("MCU Reset Polarity :\nUsed to put Microcontroller\ninto reset while "
                       "eeprom\nprogramming is activated"));

    // I2C bus number.
    GroupBox1 = new QGroupBox(QStringLiteral("Bus Address Select"), this);
    Label3 = new QLabel(QStringLiteral("Device Bus Number:"), GroupBox1);
    // The chip's three address pins: 0..7. Higher numbers would make select
    // bytes no chip answers, so the box takes no more.
    DeviceAddress = NumericEdit(GroupBox1, ebDec, 7);
    DeviceAddress->SetValidate(true);
    Label3->setBuddy(DeviceAddress);
    {
        auto* l = new QHBoxLayout(GroupBox1);
        l->addWidget(Label3);
        l->addWidget(DeviceAddress);
        l->addStretch(1);
    }

    // Page size.
    GroupBox2 = new QGroupBox(QStringLiteral("Device Page Size"), this);
    Label4 = new QLabel(QStringLiteral("Device Page Size:"), GroupBox2);
    DevicePageSize = NumericEdit(GroupBox2, ebDec, 255);
    Label4->setBuddy(DevicePageSize);
    Button1 = new QPushButton(QStringLiteral("Defaults"), GroupBox2);
    {
        auto* l = new QHBoxLayout(GroupBox2);
        l->addWidget(Label4);
        l->addWidget(DevicePageSize);
        l->addWidget(Button1);
        l->addStretch(1);
    }

    auto* grid = new QGridLayout(this);
    grid->addWidget(Group25C, 0, 0, 2, 1);
    grid->addWidget(Group93C, 0, 1);
    grid->addWidget(ResetPolarity, 1, 1);
    grid->addWidget(GroupBox1, 2, 0);
    grid->addWidget(GroupBox2, 2, 1);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 0);

    connect(WPEN, &TRadioGroup::Click, this, [this] { WPENClick(); });
    connect(BP, &TRadioGroup::Click, this, [this] { BPClick(); });
    connect(ResetPolarity, &TRadioGroup::Click, this, [this] {
        if (FOwner) FOwner->RunPanelCommand([this] { ResetPolarityClick(); });
    });
    connect(Mode, &TRadioGroup::Click, this, [this] {
        if (FOwner) FOwner->RunPanelCommand([this] { ModeClick(); });
    });
    connect(Button1, &QPushButton::clicked, this, [this] {
        if (FOwner) FOwner->RunPanelCommand([this] { Button1Click(); });
    });
    hide();
}

TFusePanel* TBaseFuseForm::GetNewForm(void* AOwner) {
    return new TBaseFuseForm(static_cast<TFuseFormOwner*>(AOwner));
}

QString TBaseFuseForm::StatusText(std::uint8_t bt) {
    return QString::fromStdString(bytetobin(bt) + ' ' + IntToHex(bt, 2) + 'h');
}

void TBaseFuseForm::SetStatusReg(std::uint8_t bt) {
    StatusReg->setText(StatusText(bt));
    WPEN->SetItemIndex(((bt >> 7) & 1) ^ 1);
    BP->SetItemIndex((bt >> 2) & 3);
}

std::uint8_t TBaseFuseForm::GetStatusReg() {
    int b = 0;
    if (WPEN->ItemIndex() == 0) b |= 0x80;
    b |= (std::max(BP->ItemIndex(), 0) & 3) << 2;
    const auto bt = static_cast<std::uint8_t>(b);
    StatusReg->setText(StatusText(bt));
    return bt;
}

void TBaseFuseForm::SetFamily(int Family, int FlashSize) {
    const bool spi = Family == FAMILY_25C;
    const bool microwire = Family == FAMILY_93C;
    Mode->setEnabled(microwire);
    WriteAllValue->setEnabled(microwire);
    WriteAllLabel->setEnabled(microwire);
    WPEN->setEnabled(spi && FlashSize >= 1024);
    // The warning is about that choice.
    Label1->setEnabled(WPEN->isEnabled());
    BP->setEnabled(spi);
    StatusReg->setEnabled(spi);
    Label2->setEnabled(spi);
    DevicePageSize->setEnabled(!microwire);
    // The bus number is the I2C chip's address pins; SPI and Microwire
    // chips have none.
    GroupBox1->setEnabled(Family == FAMILY_24C);
}

int TBaseFuseForm::ResetPolarityIndex() const {
    return ResetPolarity->ItemIndex();
}

int TBaseFuseForm::DeviceAddressValue() const {
    return DeviceAddress->CheckValue(DeviceAddress->Value());
}

int TBaseFuseForm::ModeIndex() const {
    return Mode->ItemIndex();
}

void TBaseFuseForm::WPENClick() {
    GetStatusReg();
}

void TBaseFuseForm::BPClick() {
    GetStatusReg();
}

void TBaseFuseForm::ResetPolarityClick() {
    TISPProgrammer* driver = FOwner ? FOwner->CurrentDriver() : nullptr;
    if (driver) driver->Run(static_cast<std::uint8_t>(ResetPolarity->ItemIndex()));
}

void TBaseFuseForm::ModeClick() {
    DevicePageSize->SetValue(Mode->ItemIndex() == 1 ? 16 : 8);
    TISPProgrammer* driver = FOwner ? FOwner->CurrentDriver() : nullptr;
    if (!driver) {
        if (FOwner) FOwner->SetDriverPageSize(DevicePageSize->Value());
        return;
    }
    driver->LoadSettings();
    FOwner->SetDriverPageSize(DevicePageSize->Value());
    driver->SaveSettings();
    driver->LoadSettings();
}

void TBaseFuseForm::Button1Click() {
    TISPProgrammer* driver = FOwner ? FOwner->CurrentDriver() : nullptr;
    const TDevice* device = FOwner ? FOwner->CurrentDevice() : nullptr;
    if (driver) driver->LoadSettings();
    if (device) DevicePageSize->SetValue(device->PageSize());
    if (FOwner) FOwner->SetDriverPageSize(DevicePageSize->Value());
    if (driver) {
        driver->SaveSettings();
        driver->LoadSettings();
    }
}
