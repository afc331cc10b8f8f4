// A driver on the simulated unit, in-process: the hidden SIM kind with a
// fake front end (device panel, status log, options dialog, information
// window) and helpers that print the unit's transcript as short command
// strings, e.g. "M00", "X", "w A0", "W 04 00 01 02 03".
#pragma once

#include "catalogue/device_list.h"
#include "programmer/driver_host.h"
#include "settings/settings_store.h"
#include "sim_kinds/smart_sim.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct TFakePanel : TFusePanel {
    int Polarity = 2; // "Off"
    int Bus = 0;
    int Mode = 1; // "X16"
    int ResetPolarityIndex() const override { return Polarity; }
    int DeviceAddressValue() const override { return Bus; }
    int ModeIndex() const override { return Mode; }
};

struct TFakeDialog : TPortOptionsDialog {
    std::vector<std::string>* Listed = nullptr; // where the port entries go
    bool Ok = true;
    int Port = -1; // returned by both GetPortLpt and GetPort
    std::uint8_t EEPROM = 0;
    std::uint8_t Flash = 0;
    int ExecutedWith = -99;
    int* ShownEEPROM = nullptr; // where the write delay the dialog is shown goes
    void SetupPortsLpt(const std::string& PortName) override {
        if (Listed) Listed->push_back(PortName);
    }
    bool Execute(int selected, int, std::uint8_t, std::uint8_t AEEPROMTime) override {
        ExecutedWith = selected;
        if (ShownEEPROM) *ShownEEPROM = AEEPROMTime;
        return Ok;
    }
    int GetPortLpt() override { return Port; }
    int GetPort() override { return Port; }
    std::uint8_t GetEEPROMTime() override { return EEPROM; }
    std::uint8_t GetFlashTime() override { return Flash; }
};

struct TFakeHost : TDriverHost {
    TFakePanel Panel;
    std::vector<std::string> Lines;
    int Clears = 0;
    bool RefuseLines = false;
    // Settings of the next dialog; no dialog when unset.
    std::function<void(TFakeDialog&)> DialogSetup;
    std::vector<std::string> DialogPorts;
    struct TShown {
        std::string Caption;
        std::vector<std::string> Lines;
        std::string Version, Firmware;
    };
    std::vector<TShown> Shown;

    const TFusePanel* FusePanel() const override { return &Panel; }
    void AddStatusLine(const std::string& Line) override {
        if (RefuseLines) throw std::runtime_error("log full");
        Lines.push_back(Line);
    }
    void ClearStatusLog() override {
        ++Clears;
        Lines.clear();
    }
    std::unique_ptr<TPortOptionsDialog> CreateOptionsDialog() override;
    void ShowInformation(const std::string& Caption, const std::vector<std::string>& L,
                         const std::string& Version, const std::string& Firmware) override {
        Shown.push_back({Caption, L, Version, Firmware});
    }
};

// Short form of one command: letter, then the argument bytes in hex; the
// hex-text commands M, P, E, D as the letter and their two digits.
std::string CommandText(const TExchange& Exchange);
// The commands of a transcript in order (events and unasked output left out).
std::vector<std::string> CommandTexts(const TTranscript& Transcript);
// A vector of byte values as "01 02 ..." (for building expected page commands).
std::string HexBytes(const std::vector<std::uint8_t>& Bytes);
// The message of the exception f raises, an EVerifyError's after
// "EVerifyError: " ("(nothing raised)" when f returns); an EISPException's
// hardware name goes to HardwareName if given.
std::string MessageOf(const std::function<void()>& f, std::string* HardwareName = nullptr);

class TSimRig {
  public:
    explicit TSimRig(const std::string& DeviceName, TUnitConfig Unit = {}, TSimOptions Options = {});
    ~TSimRig();

    // HardwareOpen, then the transcript is cleared.
    void Open();
    // Commands sent since the last Open or Clear.
    std::vector<std::string> Commands() const { return CommandTexts(Driver->Unit().Transcript()); }
    void Clear() { Driver->Unit().Transcript().Clear(); }
    TSimChip& Chip() { return *Driver->Unit().Chip(); }
    double Seconds() const { return Driver->Unit().Clock().Seconds(); }
    // The buffer sized to the device with bytes i -> Pattern(i).
    void FillBuffer(const std::function<std::uint8_t(int)>& Pattern);

    TDevice* Device = nullptr;
    TISPSettings Settings;
    TFakeHost Host;
    std::unique_ptr<TSmartSim> Driver;
    THexList Buffer;
};
