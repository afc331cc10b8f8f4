#include "programmer/isp_programmer.h"

#include "errors/errors.h"

TISPProgrammer::TISPProgrammer() = default;

TISPProgrammer::~TISPProgrammer() {
    FOnProgressUpdate = nullptr;
}

void TISPProgrammer::NotProvided(const char* Operation) const {
    throw EISPException(std::string(Operation) + " is not supported by this programmer", false,
                        FHardwareName);
}

void TISPProgrammer::DoUpdateProgress(int I, int Size) {
    if (FOnProgressUpdate) FOnProgressUpdate(I, Size);
}

// Operations without a body of their own in this base.
void TISPProgrammer::ProgramFlash(THexList&) {
    NotProvided("ProgramFlash");
}
void TISPProgrammer::ProgramEEPROM(THexList&) {
    NotProvided("ProgramEEPROM");
}
void TISPProgrammer::VerifyFlash(THexList&) {
    NotProvided("VerifyFlash");
}
void TISPProgrammer::VerifyEEPROM(THexList&) {
    NotProvided("VerifyEEPROM");
}
void TISPProgrammer::ReadFlash(THexList&) {
    NotProvided("ReadFlash");
}
void TISPProgrammer::ReadEEPROM(THexList&) {
    NotProvided("ReadEEPROM");
}
void TISPProgrammer::EraseDevice() {
    NotProvided("EraseDevice");
}
std::uint8_t TISPProgrammer::ReadOptionByte() {
    NotProvided("ReadOptionByte");
}
void TISPProgrammer::WriteOptionByte(std::uint8_t) {
    NotProvided("WriteOptionByte");
}
void TISPProgrammer::CheckValidDeviceSelected(THexList&) {
    NotProvided("CheckValidDeviceSelected");
}
void TISPProgrammer::WriteTiming(std::uint8_t) {
    NotProvided("WriteTiming");
}
std::uint8_t TISPProgrammer::ReadTiming() {
    NotProvided("ReadTiming");
}
void TISPProgrammer::DetectTargetSpeed(THexList&) {
    NotProvided("DetectTargetSpeed");
}
void TISPProgrammer::ProgramResetPolarity(std::uint8_t) {
    NotProvided("ProgramResetPolarity");
}
std::string TISPProgrammer::GetDeviceSignature() {
    NotProvided("GetDeviceSignature");
}
std::string TISPProgrammer::GetFirmwareFileName() {
    NotProvided("GetFirmwareFileName");
}
void TISPProgrammer::AskOptions() {
    NotProvided("AskOptions");
}
void TISPProgrammer::Run(std::uint8_t) {
    NotProvided("Run");
}
bool TISPProgrammer::HardwareOpen() {
    NotProvided("HardwareOpen");
}
void TISPProgrammer::HardwareClose() {
    NotProvided("HardwareClose");
}
std::string TISPProgrammer::HardwareStatus() {
    NotProvided("HardwareStatus");
}
void TISPProgrammer::ShowStatus(const std::string&) {
    NotProvided("ShowStatus");
}
std::uint8_t TISPProgrammer::ReadCal() {
    NotProvided("ReadCal");
}
void TISPProgrammer::CheckSoftwareVersion() {
    NotProvided("CheckSoftwareVersion");
}
void TISPProgrammer::SetSlowSCK(bool) {
    NotProvided("SetSlowSCK");
}
void TISPProgrammer::LoadSettings() {
    NotProvided("LoadSettings");
}
void TISPProgrammer::SaveSettings() {
    NotProvided("SaveSettings");
}
void TISPProgrammer::TestRoutine(char, std::uint8_t) {
    NotProvided("TestRoutine");
}
void TISPProgrammer::ResetInhibitOff() {
    NotProvided("ResetInhibitOff");
}
void TISPProgrammer::RedLEDon() {
    NotProvided("RedLEDon");
}
void TISPProgrammer::GreenLEDon() {
    NotProvided("GreenLEDon");
}
bool TISPProgrammer::TargetFound() {
    NotProvided("TargetFound");
}
void TISPProgrammer::SetTimings(int) {
    NotProvided("SetTimings");
}
void TISPProgrammer::CheckISPMode() {
    NotProvided("CheckISPMode");
}
void TISPProgrammer::WriteString(char, const std::string&) {
    NotProvided("WriteString");
}
void TISPProgrammer::WriteStringNOACK(char, const std::string&) {
    NotProvided("WriteStringNOACK");
}
void TISPProgrammer::WriteAll(std::uint16_t) {
    NotProvided("WriteAll");
}
std::string TISPProgrammer::GetFirmwareVers() {
    NotProvided("GetFirmwareVers");
}
