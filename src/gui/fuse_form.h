// The status register and organisation panel of the "Status Register" page:
// the 25C status register (write-protect-pin enable, block protection), the
// 93C organisation and write-all value, the reset polarity of the target's
// microcontroller, the I2C bus number and the page size. The drivers read
// the operator's choices through TFusePanel while they run; the main window
// builds a fresh panel for every device or hardware switch.
#pragma once

#include "catalogue/device_panel.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include <cstdint>
#include <functional>

class TDevice;
class THexEdit;
class TISPProgrammer;
class TRadioGroup;
class QGroupBox;

// What a panel needs from the window that shows it.
class TFuseFormOwner {
  public:
    virtual ~TFuseFormOwner() = default;
    // The widget the panel is placed in.
    virtual QWidget* PanelParent() = 0;
    // The current driver and device; nullptr when none.
    virtual TISPProgrammer* CurrentDriver() = 0;
    virtual TDevice* CurrentDevice() = 0;
    // Sets the driver module's block size of the read and program loops.
    virtual void SetDriverPageSize(int Value) = 0;
    // Runs a handler that talks to the driver: refused while another command
    // runs; an exception goes to the window's exception handler.
    virtual void RunPanelCommand(const std::function<void()>& Handler) = 0;
};

class TBaseFuseForm : public QWidget, public TFusePanel {
    Q_OBJECT

  public:
    explicit TBaseFuseForm(TFuseFormOwner* AOwner);

    // The panel factory of every catalogue device. AOwner is the
    // TFuseFormOwner that shows the panel; the panel is parented to its
    // PanelParent and starts hidden.
    static TFusePanel* GetNewForm(void* AOwner);

    // Shows the byte: the status text, WPEN from bit 7 (set: "Enabled"), BP
    // from bits 3 and 2.
    void SetStatusReg(std::uint8_t bt);
    // The byte encoded from WPEN and BP; also refreshes the status text.
    std::uint8_t GetStatusReg();
    // "10001100 8Ch" for 0x8C.
    static QString StatusText(std::uint8_t bt);

    // Enables the controls that apply to a device family: 24C none of the
    // status register and organisation fields; 25C block protection and the
    // status text, write protection from 1024 bytes up; 93C organisation and
    // write-all value, with the page size field disabled.
    void SetFamily(int Family, int FlashSize);

    // TFusePanel
    int ResetPolarityIndex() const override;
    int DeviceAddressValue() const override;
    int ModeIndex() const override;

    // Controls, in the panel's order.
    QGroupBox* Group25C;
    QLabel* Label1;
    TRadioGroup* WPEN;
    TRadioGroup* BP;
    QLabel* Label2;
    QLineEdit* StatusReg;
    QGroupBox* Group93C;
    TRadioGroup* Mode;
    QLabel* WriteAllLabel;
    THexEdit* WriteAllValue;
    TRadioGroup* ResetPolarity;
    QGroupBox* GroupBox1;
    QLabel* Label3;
    THexEdit* DeviceAddress;
    QPushButton* Button1;
    QGroupBox* GroupBox2;
    QLabel* Label4;
    THexEdit* DevicePageSize;

    // Handlers of the operator's clicks.
    void WPENClick();
    void BPClick();
    void ResetPolarityClick();
    void ModeClick();
    void Button1Click();

  private:
    TFuseFormOwner* FOwner;
};
