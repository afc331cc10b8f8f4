// The fill dialog "Fill": one byte value written into a range of the main
// buffer. Opened modally by the Fill command; lives for the whole run, so
// the fill value is kept between uses.
#pragma once

#include "buffer/hex_list.h"

#include <QDialog>

#include <exception>
#include <functional>

class QLabel;
class QPushButton;
class THexEdit;

class TFillDialog : public QDialog {
    Q_OBJECT

  public:
    // What the dialog asks of its owner: the main buffer (or none), and the
    // report of an error raised by Fill.
    struct THost {
        std::function<THexList*()> MainBuffer;
        std::function<void(const std::exception& e)> ReportError;
    };

    TFillDialog(QWidget* owner, THost Host);

    // Start 0, end the main buffer's size minus 1, the fill value as it was;
    // the Fill button takes the focus.
    void FormShow();
    // Fills start .. end inclusive with the low eight bits of the fill value
    // (nothing when start is above end), then closes with OK. An end past
    // the buffer fills up to its last byte, then raises the range error and
    // the dialog stays open.
    void Button1Click();

    QLabel* Label1;
    THexEdit* StartAddr;
    QLabel* Label2;
    THexEdit* EndAddr;
    QLabel* Label3;
    THexEdit* FillByte;
    QPushButton* Button1; // Fill
    QPushButton* Button2; // Cancel

  protected:
    void showEvent(QShowEvent* e) override;
    // An Enter that reaches the form itself performs Fill.
    void keyReleaseEvent(QKeyEvent* e) override;

  private:
    void GuardedFill();

    THost FHost;
};
