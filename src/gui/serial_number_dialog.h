// The serial number dialog "Serial Number Generation": whether a serial
// number is stored, its width, its current value (shown in a chosen base)
// and its location. The dialog lives for the whole run and its controls are
// the serial number's state; Auto Program advances the number and runs OK
// without showing the dialog.
#pragma once

#include "buffer/hex_list.h"

#include <QDialog>
#include <QString>

#include <exception>
#include <functional>

class QLabel;
class QPushButton;
class THexEdit;
class TRadioGroup;

class TSerialNum : public QDialog {
    Q_OBJECT

  public:
    // What the dialog asks of its owner: the main buffer (or none), an
    // information box, and the report of an error raised by a button.
    struct THost {
        std::function<THexList*()> MainBuffer;
        std::function<void(const QString& text)> ShowMessage;
        std::function<void(const std::exception& e)> ReportError;
    };

    TSerialNum(QWidget* owner, THost Host);

    // Mode items.
    enum { mode_Disabled = 0, mode_StoreInMemory = 1 };

    // Writes the current serial number into Buffer at the location (2, 3 or
    // 4 bytes, most significant first); raises the buffer's range error when
    // it runs past the end.
    void prepareserialnumber(THexList& Buffer);
    // With "Store in Memory" and a location inside Buffer, writes the
    // current number into it again (as OK would, without closing).
    void RewriteSerialNumber(THexList& Buffer);

    // OK: with "Store in Memory", refuses a location past the main buffer
    // with a message and stays open, otherwise writes the number into the
    // main buffer; then closes. May raise the buffer's range error.
    void Button2Click();
    // Cancel: Clear, then close.
    void Button1Click();
    // Clear: mode "Disabled", both numbers 0.
    void Button3Click();
    // Enabled states follow the mode.
    void rgSerialNumModeClick();
    // The current number's base follows the base choice.
    void RadioGroup1Click();
    void FormShow();

    bool StoreInMemory() const;
    // The current serial number, and one added to it (wrapping at 32 bits;
    // the edit shows a negative result as 0).
    int CurrentSerial() const;
    void IncrementSerial();

    TRadioGroup* rgSerialNumMode;
    TRadioGroup* rgSerialNumSize;
    QLabel* Label1;
    THexEdit* heCurrentSerial;
    QLabel* Label2;
    THexEdit* heSerialLocation;
    TRadioGroup* RadioGroup1;
    QPushButton* Button2; // OK
    QPushButton* Button1; // Cancel
    QPushButton* Button3; // Clear

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    // A button's action; an error it raises goes to the host.
    void Guarded(void (TSerialNum::*Action)());

    THost FHost;
};
