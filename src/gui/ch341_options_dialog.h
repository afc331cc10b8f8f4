// The options dialog of the "CH341A (USB)" kind ("CH341A Configuration"):
// which board when several are plugged in, the I2C clock and the longest
// write time the write-cycle polls wait for.
#pragma once

#include "programmer/driver_host.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class THexEdit;

class TCh341OptionsForm : public QDialog, public TCh341OptionsDialog {
    Q_OBJECT

  public:
    // Exec runs the dialog modally.
    TCh341OptionsForm(QWidget* owner, std::function<int(QDialog&)> Exec);

    // TCh341OptionsDialog
    void AddBoard(const std::string& Path, const std::string& Place) override;
    bool Execute(const std::string& Path, int I2CSpeedKHz, std::uint8_t EEPROMTime) override;
    std::string GetPath() override;
    int GetI2CSpeedKHz() override;
    std::uint8_t GetEEPROMTime() override;

    QComboBox* BoardSelector;
    QRadioButton* Speed[4]; // 20, 100, 400, 750 kHz
    THexEdit* WriteTime;
    QLabel* VoltageNote;
    QPushButton* OkButton;
    QPushButton* CancelButton;

  private:
    std::function<int(QDialog&)> FExec;
};
