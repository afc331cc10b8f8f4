#include "gui/port_options_dialog.h"

#include "catalogue/device.h"
#include "gui/hex_edit.h"
#include "programmer/unit/smart_parallel.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

Tfispgold::Tfispgold(QWidget* owner, const TDevice* Device, std::function<int(QDialog&)> Exec)
    : QDialog(owner), FDevice(Device), FExec(std::move(Exec)) {
    setWindowTitle(QStringLiteral("ISP Configuration"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    GroupBox2 = new QGroupBox(QStringLiteral("Communications Port"), this);
    PortSelector = new QComboBox(GroupBox2);
    PortSelector->setEditable(false);
    (new QVBoxLayout(GroupBox2))->addWidget(PortSelector);

    GroupBox1 = new QGroupBox(QStringLiteral("Device Timing"), this);
    Label1 = new QLabel(QStringLiteral("EEPROM Prog Time:"), GroupBox1);
    EEtime = new THexEdit(GroupBox1);
    EEtime->SetNumBase(ebDec);
    EEtime->SetValidate(false);
    EEtime->SetValue(0);
    Label1->setBuddy(EEtime);
    Label2 = new QLabel(
        QStringLiteral("This option selects the delay in mS that is used after each page or byte is "
                       "written to the I2C devices\n\nReducing this value will increase programming "
                       "speeds but may cause programming errors if the value is to low.\n\n( A 0 "
                       "value will set the default value for the device ) "),
        GroupBox1);
    Label2->setWordWrap(true);
    {
        auto* l = new QVBoxLayout(GroupBox1);
        auto* row = new QHBoxLayout;
        row->addWidget(Label1);
        row->addWidget(EEtime);
        row->addStretch(1);
        l->addLayout(row);
        l->addWidget(Label2);
    }

    GroupBox3 = new QGroupBox(QStringLiteral("Clock Programming Speed"), this);
    Fast = new QRadioButton(QStringLiteral("Fast"), GroupBox3);
    Medium = new QRadioButton(QStringLiteral("Medium"), GroupBox3);
    Slow = new QRadioButton(QStringLiteral("Slow"), GroupBox3);
    Fast->setChecked(true);
    Label3 = new QLabel(
        QStringLiteral("These options can be used to slow down the frequency of data that is loaded "
                       "into the memories. \n\nThis may be required on some older EEPROMS."),
        GroupBox3);
    Label3->setWordWrap(true);
    {
        auto* l = new QHBoxLayout(GroupBox3);
        auto* buttons = new QVBoxLayout;
        buttons->addWidget(Fast);
        buttons->addWidget(Medium);
        buttons->addWidget(Slow);
        l->addLayout(buttons);
        l->addWidget(Label3, 1);
    }

    Button1 = new QPushButton(QStringLiteral("Ok"), this);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Cancel"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);

    auto* l = new QVBoxLayout(this);
    l->addWidget(GroupBox2);
    l->addWidget(GroupBox1);
    l->addWidget(GroupBox3);
    l->addLayout(buttons);
    FitToContents();

    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    UpdateOk();
}

int Tfispgold::PortNumber(const QString& Entry) {
    const QString digits = Entry.size() == 4 ? Entry.mid(3, 1) : Entry.mid(3, 2);
    bool ok = false;
    const int n = digits.toInt(&ok, 10);
    return ok && !digits.isEmpty() && digits[0].isDigit() ? n : -1;
}

void Tfispgold::SetupPortsLpt(const std::string& PortName) {
    const QString entry = QString::fromStdString(PortName);
    PortSelector->addItem(entry, entry);
    UpdateOk();
}

QString Tfispgold::Entry(int Index) const {
    const QVariant entry = PortSelector->itemData(Index);
    return entry.isValid() ? entry.toString() : PortSelector->itemText(Index);
}

void Tfispgold::ShowComPaths() {
    if (!FComPathOf) return;
    for (int i = 0; i < PortSelector->count(); ++i) {
        const QString entry = Entry(i);
        if (!entry.startsWith(QStringLiteral("COM"), Qt::CaseInsensitive)) continue;
        const int n = PortNumber(entry);
        const std::string path = n > 0 ? FComPathOf(n) : std::string();
        if (path.empty()) continue;
        QString text = entry + QStringLiteral(" = ") + QString::fromStdString(path);
        QString tip = QString::fromStdString(path);
        const std::string what = FDescribe ? FDescribe(path) : std::string();
        if (!what.empty()) {
            text += QStringLiteral("  (") + QString::fromStdString(what) + QLatin1Char(')');
            tip += QLatin1Char('\n') + QString::fromStdString(what);
        }
        PortSelector->setItemText(i, text);
        PortSelector->setItemData(i, tip, Qt::ToolTipRole);
    }
}

void Tfispgold::UpdateOk() {
    // Without a port there is nothing to choose.
    Button1->setEnabled(PortSelector->count() > 0);
}

void Tfispgold::FitToContents() {
    // Wide enough for the port entries, and as high as the wrapped texts
    // need at that width.
    const int w = std::max(sizeHint().width(), 440);
    resize(w, std::max(heightForWidth(w), sizeHint().height()));
}

bool Tfispgold::Execute(int selected, int, std::uint8_t AFlashTime, std::uint8_t AEEPROMTime) {
    ShowComPaths();
    FitToContents();
    for (int i = 0; i < PortSelector->count(); ++i) {
        if (PortNumber(Entry(i)) == selected + 1) {
            PortSelector->setCurrentIndex(i);
            break;
        }
        PortSelector->setCurrentIndex(0);
    }
    switch (SmartDongle::ClockSpeed) {
    case 1:
        Fast->setChecked(true);
        break;
    case 16:
        Medium->setChecked(true);
        break;
    case 32:
        Slow->setChecked(true);
        break;
    default:
        break;
    }
    FlashTime = AFlashTime;
    EEPROMTime = AEEPROMTime;
    EEtime->SetValue(AEEPROMTime);

    const int result = FExec ? FExec(*this) : exec();

    // The clock choice counts whichever button closed the dialog.
    SmartDongle::ClockSpeed = Slow->isChecked() ? 32 : Medium->isChecked() ? 16 : 1;
    return result == QDialog::Accepted && PortSelector->count() > 0;
}

int Tfispgold::GetPortLpt() {
    return PortSelector->currentIndex();
}

int Tfispgold::GetPort() {
    const int n = PortSelector->currentIndex() >= 0 ? PortNumber(Entry(PortSelector->currentIndex())) : -1;
    return n > 0 ? n - 1 : -1;
}

std::uint8_t Tfispgold::GetEEPROMTime() {
    if (EEtime->Value() != 0)
        EEPROMTime = static_cast<std::uint8_t>(EEtime->Value() & 0xFF);
    else
        EEPROMTime = static_cast<std::uint8_t>((FDevice ? FDevice->EEPROMSize() : 0) & 0xFF);
    return EEPROMTime;
}
