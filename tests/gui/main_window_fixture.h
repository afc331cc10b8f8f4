// Shared pieces of the main-window tests: a scripted programmer driver
// registered under test names, boxes answered by the test, a settings hive
// in a temporary folder and a clock the test moves.
#pragma once

#include "errors/errors.h"
#include "gui/main_window.h"
#include "gui/status_log.h"
#include "kinds/hardware.h"
#include "programmer/isp_programmer.h"

#include <QApplication>
#include <QDialog>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// What the fake drivers do and what they were asked; shared by every fake
// driver instance, reset by each test.
struct TFakeScript {
    // Calls in order: "Open", "Close", "Run(2)", "WriteTiming(16)", ...
    QStringList Calls;
    // The chip's memory as the fake unit holds it.
    std::vector<std::uint8_t> Chip;
    std::uint8_t StatusRegister = 0;
    // Raised by the next HardwareOpen / memory operation, when set.
    std::function<void()> OpenFault;
    std::function<void()> OperationFault;
    // Called with each progress position during program, read and verify.
    std::function<void(int)> OnBlock;
    // Progress reports without a figure instead of positions.
    bool ReportWithoutFigures = false;
    bool CancelOptions = false;
    int BlockSize = 64;
    // The milliseconds a program, read or verify takes on the test clock.
    qint64 OperationMs = 0;
    qint64* Clock = nullptr;

    void Reset() { *this = TFakeScript(); }
};

TFakeScript& Script();

class TFakeDriver : public TISPProgrammer {
  public:
    TFakeDriver();
    void ProgramFlash(THexList& Afile) override;
    void VerifyFlash(THexList& Afile) override;
    void ReadFlash(THexList& Afile) override;
    void EraseDevice() override;
    std::uint8_t ReadOptionByte() override;
    void WriteOptionByte(std::uint8_t Option) override;
    void WriteTiming(std::uint8_t Timing) override;
    void AskOptions() override;
    void Run(std::uint8_t pol) override;
    bool HardwareOpen() override;
    void HardwareClose() override;
    void ShowStatus(const std::string& ISPGoldVersion) override;
    void LoadSettings() override;
    void SaveSettings() override;

  private:
    // Reports the blocks of the device; the callback may raise.
    void Blocks(int size);
};

// Registers "FAKE ISP A" (entry 0), "FAKE ISP B" and the hidden
// "FAKE HIDDEN", once per process.
void RegisterFakeHardware();

// Boxes and dialogs answered by the test, with a record of what was shown.
struct TPromptLog {
    QStringList Messages;  // ShowMessage texts
    QStringList Errors;    // error box texts
    QStringList Questions; // "title|text" of both question kinds
    bool AnswerYes = true;
    bool AnswerOk = false;
    QString SaveFileName;
    int Beeps = 0;
    std::function<int(QDialog&)> OnDialog;
    QStringList DialogTitles;
    // File dialogs: the titles shown; OnFileDialog answers (cancel without it).
    QStringList FileDialogTitles;
    std::function<bool(TFileRequest&)> OnFileDialog;

    TUserPrompts Prompts();
};

// A window on a temporary settings hive and program folder, with the test
// clock; started (shown and initialised) by Start.
class TWindowFixture {
  public:
    TWindowFixture();
    ~TWindowFixture();

    // Creates and shows the window and lets the queued start-up run. Without
    // a hive written by the test, the remembered hardware is "Fake ISP A".
    Tmain& Start(const QStringList& args = {});
    // The same on an empty settings hive (the first start of the program).
    Tmain& StartWithoutSettings(const QStringList& args = {});
    Tmain& Window() { return *FWindow; }
    // Closes the window as the operator would; true when it closed.
    bool Close();
    void Destroy();

    QStringList Lines() const { return FWindow->StatusList->Lines(); }
    QString LastLine() const {
        const QStringList l = Lines();
        return l.isEmpty() ? QString() : l.last();
    }
    QString HiveFile() const { return FDir.filePath(QStringLiteral("registry.reg")); }
    QString Folder() const { return FDir.path(); }
    // Writes the hive file before the window starts: the ENVIRONMENT key
    // with the given "name"="value" lines.
    void WriteEnvironment(const QString& values);
    void WriteHive(const QString& text);
    QString ReadHive() const;

    TPromptLog Log;
    qint64 Clock = 1000;

  private:
    QTemporaryDir FDir;
    std::unique_ptr<Tmain> FWindow;
};
