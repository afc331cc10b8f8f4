#include "gui/ch341_options_dialog.h"

#include "gui/hex_edit.h"
#include "programmer/ch341a/ch341a_protocol.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TCh341OptionsForm::TCh341OptionsForm(QWidget* owner, std::function<int(QDialog&)> Exec)
    : QDialog(owner), FExec(std::move(Exec)) {
    setWindowTitle(QStringLiteral("CH341A Configuration"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto* board = new QGroupBox(QStringLiteral("USB Programmer"), this);
    BoardSelector = new QComboBox(board);
    BoardSelector->setEditable(false);
    BoardSelector->addItem(QStringLiteral("The first CH341A found"), QString());
    auto* boardNote =
        new QLabel(QStringLiteral("With several CH341A boards plugged in, choose one by the USB "
                                  "port it sits in."),
                   board);
    boardNote->setWordWrap(true);
    {
        auto* l = new QVBoxLayout(board);
        l->addWidget(BoardSelector);
        l->addWidget(boardNote);
    }

    auto* speed = new QGroupBox(QStringLiteral("I2C Clock Speed"), this);
    auto* speedNote =
        new QLabel(QStringLiteral("24C devices only. Slow down for old parts and for A, AA or LC "
                                  "parts at low voltage."),
                   speed);
    speedNote->setWordWrap(true);
    {
        auto* l = new QVBoxLayout(speed);
        auto* row = new QHBoxLayout;
        for (int i = 0; i < 4; ++i) {
            Speed[i] = new QRadioButton(QStringLiteral("%1 kHz").arg(Ch341::I2CSpeedsKHz[i]), speed);
            row->addWidget(Speed[i]);
        }
        row->addStretch(1);
        l->addLayout(row);
        l->addWidget(speedNote);
    }
    Speed[2]->setChecked(true);

    auto* timing = new QGroupBox(QStringLiteral("Device Timing"), this);
    auto* timeLabel = new QLabel(QStringLiteral("EEPROM Write Time:"), timing);
    WriteTime = new THexEdit(timing);
    WriteTime->SetNumBase(ebDec);
    WriteTime->SetValidate(false);
    WriteTime->SetValue(0);
    timeLabel->setBuddy(WriteTime);
    auto* timeNote =
        new QLabel(QStringLiteral("After each page or byte the programmer asks the chip until it "
                                  "has finished writing, and gives up after twice this time in mS "
                                  "plus 10 mS.\n\n( A 0 value will set the default value for the "
                                  "device ) "),
                   timing);
    timeNote->setWordWrap(true);
    {
        auto* l = new QVBoxLayout(timing);
        auto* row = new QHBoxLayout;
        row->addWidget(timeLabel);
        row->addWidget(WriteTime);
        row->addStretch(1);
        l->addLayout(row);
        l->addWidget(timeNote);
    }

    VoltageNote =
        new QLabel(QStringLiteral("Most CH341A boards drive the socket with 5 V logic: program 3.3 V "
                                  "parts only on a board set to 3.3 V (see the README)."),
                   this);
    VoltageNote->setWordWrap(true);

    OkButton = new QPushButton(QStringLiteral("Ok"), this);
    OkButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);

    auto* l = new QVBoxLayout(this);
    l->addWidget(board);
    l->addWidget(speed);
    l->addWidget(timing);
    l->addWidget(VoltageNote);
    l->addLayout(buttons);
}

void TCh341OptionsForm::AddBoard(const std::string& Path, const std::string& Place) {
    BoardSelector->addItem(QString::fromStdString(Place), QString::fromStdString(Path));
}

bool TCh341OptionsForm::Execute(const std::string& Path, int I2CSpeedKHz, std::uint8_t EEPROMTime) {
    const QString path = QString::fromStdString(Path);
    int index = BoardSelector->findData(path);
    if (index < 0) {
        // The chosen board is not plugged in now: it stays the choice.
        BoardSelector->addItem(QStringLiteral("%1 (not plugged in)").arg(path), path);
        index = BoardSelector->count() - 1;
    }
    BoardSelector->setCurrentIndex(index);
    int code = 0;
    for (int i = 0; i < 4; ++i)
        if (Ch341::I2CSpeedsKHz[i] <= I2CSpeedKHz) code = i;
    Speed[code]->setChecked(true);
    WriteTime->SetValue(EEPROMTime);
    const int result = FExec ? FExec(*this) : exec();
    return result == QDialog::Accepted;
}

std::string TCh341OptionsForm::GetPath() {
    return BoardSelector->currentData().toString().toStdString();
}

int TCh341OptionsForm::GetI2CSpeedKHz() {
    for (int i = 0; i < 4; ++i)
        if (Speed[i]->isChecked()) return Ch341::I2CSpeedsKHz[i];
    return Ch341::I2CSpeedsKHz[2];
}

std::uint8_t TCh341OptionsForm::GetEEPROMTime() {
    return static_cast<std::uint8_t>(WriteTime->Value() & 0xFF);
}
