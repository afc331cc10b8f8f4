// The Auto Program options dialog "Auto Program Options": a check list of
// the five steps and an OK button. The choice lives in the settings store,
// section "AUTOPROGRAM", names "0" to "4" (the step's index), and the
// traceability log the runs append one record per part to, "LOGFILE" (no
// log when empty).
#pragma once

#include "settings/settings_store.h"

#include <QDialog>
#include <QStringList>

#include <functional>

class QLineEdit;
class QListWidget;
class QPushButton;

class TAutoProgramDialog : public QDialog {
    Q_OBJECT

  public:
    // The steps in the order they run; the index is the setting's name.
    enum TStep { ap_Reload = 0, ap_Erase = 1, ap_Program = 2, ap_Verify = 3, ap_Serial = 4 };
    static constexpr int StepCount = 5;
    static const QStringList& StepNames();

    // Exec runs the dialog modally and returns its result code.
    TAutoProgramDialog(QWidget* owner, std::function<int(QDialog&)> Exec);

    // Check marks from the settings ("AUTOPROGRAM", "0".."4", default false).
    void LoadOptions(TISPSettings& ASettings);
    // Check marks to the settings, global scope.
    void SaveOptions(TISPSettings& ASettings);
    // Loads the options, shows the dialog and, when it closes with OK, saves
    // them. The two flags are accepted and have no effect.
    void Execute(bool EEPROMEnabled, bool CanVerifyFlash, TISPSettings& ASettings);

    bool Checked(int Step) const;
    void SetChecked(int Step, bool Value);
    bool AnyChecked() const;
    // The traceability log file; empty for none.
    QString LogFile() const;

    static constexpr const char* LogFileName = "LOGFILE";

    QListWidget* CheckListBox1;
    QLineEdit* LogFileEdit;
    QPushButton* LogFileBrowse;
    QPushButton* Button1; // OK

  public slots:
    // The dialog has no Cancel: OK is its only way out, so Esc (and a
    // window manager's close) leave it as OK does.
    void reject() override { accept(); }

  private:
    std::function<int(QDialog&)> FExec;
    TISPSettings* FSettings = nullptr;
};
