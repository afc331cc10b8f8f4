// The programmer options dialog "ISP Configuration": the port, the EEPROM
// write delay and the bus clock speed. Both drivers open it from their
// options command; the clock speed is stored by the dialog itself, also when
// the dialog is cancelled.
#pragma once

#include "programmer/driver_host.h"

#include <QDialog>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class TDevice;
class THexEdit;

class Tfispgold : public QDialog, public TPortOptionsDialog {
    Q_OBJECT

  public:
    // Device: the current driver's device (its EEPROMSize stands in for an
    // EEPROM time of 0). Exec runs the dialog modally.
    Tfispgold(QWidget* owner, const TDevice* Device, std::function<int(QDialog&)> Exec);

    // The port number of a list entry: its fourth character when the entry
    // has four, else the fourth and fifth, as a decimal number ("LPT2" 2,
    // "COM12" 12); -1 when they are not digits.
    static int PortNumber(const QString& Entry);

    // TPortOptionsDialog
    void SetupPortsLpt(const std::string& PortName) override;
    bool Execute(int selected, int sckselect, std::uint8_t AFlashTime, std::uint8_t AEEPROMTime) override;
    int GetPortLpt() override;
    // The chosen entry's port number minus 1; -1 when there is none.
    int GetPort() override;
    std::uint8_t GetEEPROMTime() override;
    std::uint8_t GetFlashTime() override { return FlashTime; }

    // The device path a "COM<n>" entry stands for (empty when unknown);
    // asked when the dialog is shown, so that each such entry shows its
    // device. Without it the entries show their names only.
    void SetComPortPaths(std::function<std::string(int Number)> PathOf) { FComPathOf = std::move(PathOf); }
    // What the device at a path is (a USB adapter's product, ids, serial
    // number, bus), shown after its path so that two adapters can be told
    // apart; empty when nothing is known.
    void SetComPortDescriptions(std::function<std::string(const std::string& Path)> Describe) {
        FDescribe = std::move(Describe);
    }
    // The entry at Index as it was added (its shown text may add the path).
    QString Entry(int Index) const;

    QGroupBox* GroupBox2;
    QComboBox* PortSelector;
    QGroupBox* GroupBox1;
    QLabel* Label1;
    THexEdit* EEtime;
    QLabel* Label2;
    QGroupBox* GroupBox3;
    QRadioButton* Fast;
    QRadioButton* Medium;
    QRadioButton* Slow;
    QLabel* Label3;
    QPushButton* Button1;
    QPushButton* Button2;

  private:
    void UpdateOk();
    void ShowComPaths();
    // The size that shows every text whole.
    void FitToContents();

    const TDevice* FDevice;
    std::function<int(QDialog&)> FExec;
    std::function<std::string(int)> FComPathOf;
    std::function<std::string(const std::string&)> FDescribe;
    std::uint8_t FlashTime = 0;
    std::uint8_t EEPROMTime = 0;
};
