// Auto Program: the chosen steps (reload, erase, program, verify, next
// serial number) in one run, counted per session, with the run's total time
// on its completion line. With a traceability log chosen in the options,
// every run appends the record of its part.
#include "buffer/checksums.h"
#include "errors/errors.h"
#include "gui/auto_program_dialog.h"
#include "gui/hex_edit.h"
#include "gui/main_window.h"
#include "gui/radio_group.h"
#include "gui/serial_number_dialog.h"
#include "gui/status_log.h"
#include "production/local_time.h"
#include "production/trace_log.h"
#include "production/trace_record.h"
#include "programmer/isp_programmer.h"

#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <memory>
#include <optional>
#include <thread>

namespace {

// The pause between steps; it blocks without handling events.
void Wait10ms() {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

} // namespace

void Tmain::AutoProgramoptionsExecute() {
    const TDevice* device = FPrjct ? FPrjct->Device() : nullptr;
    TAutoProgramDialog dialog(this, FPrompts.ExecDialog);
    dialog.Execute(device && device->EEPROMSize() != 0, device && device->PageSize() == 0, ISPSettings());
}

void Tmain::AutoProgramExecute() {
    if (InAutoProgram || !FHardwr) return;
    InAutoProgram = true;
    auto dialog = std::make_unique<TAutoProgramDialog>(this, FPrompts.ExecDialog);

    // The part's record, when the options name a log.
    std::optional<TTraceLog> log;
    TTraceRecord record;
    const auto started = std::chrono::steady_clock::now();
    bool imageTaken = false;
    // The image as it goes into the part: the buffer with its serial number.
    const auto takeImage = [&] {
        if (imageTaken || !FPrjct) return;
        imageTaken = true;
        THexList& buffer = FPrjct->FlashMemory;
        record.Image = BufferChecksums(buffer);
        if (!buffer.FileName().empty()) {
            const QString name = QFile::decodeName(QByteArray::fromStdString(buffer.FileName()));
            record.DataFile = QFile::encodeName(QFileInfo(name).absoluteFilePath()).toStdString();
            try {
                record.DataFileSha256 = FileSha256(buffer.FileName());
            } catch (const EISPException&) {
                // The file is gone since it was loaded: the record has no hash.
            }
        }
        if (FSerialNum->StoreInMemory()) {
            const auto address = static_cast<std::uint32_t>(FSerialNum->heSerialLocation->Value());
            const int bytes = 2 + std::max(0, FSerialNum->rgSerialNumSize->ItemIndex());
            if (std::uint64_t(address) + std::uint64_t(bytes) <= buffer.Size()) {
                TTraceSerial serial{static_cast<std::uint32_t>(FSerialNum->CurrentSerial()), address, {}};
                for (int k = 0; k < bytes; ++k)
                    serial.Bytes.push_back(buffer.HexData[address + static_cast<std::uint32_t>(k)]);
                record.Serial = serial;
            }
        }
    };
    const auto finishRecord = [&](bool Passed, const QString& Failure) {
        record.Passed = Passed;
        record.Failure = Failure.toStdString();
        if (FPrjct) CountFailedBytes(FPrjct->FlashMemory, record);
        record.DurationSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        log->Append(TraceRecordJson(record));
    };

    try {
        dialog->LoadOptions(ISPSettings());
        if (!dialog->AnyChecked()) {
            const TDevice* device = FPrjct ? FPrjct->Device() : nullptr;
            dialog->Execute(device && device->EEPROMSize() != 0, device && device->PageSize() == 0,
                            ISPSettings());
        }
        if (!dialog->AnyChecked()) {
            // Nothing to run: no part is programmed, none is counted.
            dialog.reset();
            InAutoProgram = false;
            FailOp(QStringLiteral("Auto Program: No step is chosen - tick the steps to run in Device > "
                                  "Auto Program Options"));
            return;
        }
        // Counted before any step runs: a failed run counts too.
        ++AutoCount;
        if (!dialog->LogFile().isEmpty()) {
            log.emplace(QFile::encodeName(dialog->LogFile()).toStdString());
            record.Time = Iso8601LocalTime(std::chrono::system_clock::now());
            record.Host = HostName();
            record.Program = "norvoisp";
            record.Hardware = FHardwr->HardwareName();
            record.Port = CurrentPortName();
            record.Device = FPrjct && FPrjct->Device() ? FPrjct->Device()->DeviceName() : std::string();
        }
        const auto chosen = [&dialog, &record](int step, const char* name) {
            if (!dialog->Checked(step)) return false;
            record.Steps.push_back(name);
            return true;
        };
        AutoOn = true;
        FHardwr->HardwareClose();
        FHardwr->HardwareOpen();
        Wait10ms();
        StartOp(QStringLiteral("Auto Programming Device"));
        SetInOperation(false);
        if (chosen(TAutoProgramDialog::ap_Reload, "reload")) {
            ReloadFlashExecute();
            // The reload replaced the buffer, serial number included: the
            // part about to be programmed gets the current number again.
            if (dialog->Checked(TAutoProgramDialog::ap_Serial) && FPrjct)
                FSerialNum->RewriteSerialNumber(FPrjct->FlashMemory);
        }
        Wait10ms();
        if (chosen(TAutoProgramDialog::ap_Erase, "erase")) DeviceEraseExecute();
        Wait10ms();
        if (dialog->Checked(TAutoProgramDialog::ap_Program)) {
            takeImage();
            chosen(TAutoProgramDialog::ap_Program, "program");
            ProgramFlashExecute();
        }
        FHardwr->HardwareClose();
        FHardwr->HardwareOpen();
        Wait10ms();
        if (dialog->Checked(TAutoProgramDialog::ap_Verify)) {
            takeImage();
            chosen(TAutoProgramDialog::ap_Verify, "verify");
            VerifyFlashExecute();
        }
        Wait10ms();
        if (chosen(TAutoProgramDialog::ap_Serial, "serial")) {
            // The part just programmed carries the number the buffer held;
            // the next one gets the number after it.
            FSerialNum->IncrementSerial();
            FSerialNum->Button2Click();
            ShowFlashViewer();
        }
    } catch (const std::exception& e) {
        dialog.reset();
        InAutoProgram = false;
        AutoOn = false;
        if (log) {
            try {
                finishRecord(false, FailureText(e));
            } catch (const EISPException& logError) {
                // The run's own failure is the one reported; the log's is
                // listed before it.
                StatusList->Append(QString::fromStdString(logError.Message()));
            }
        }
        throw;
    } catch (...) {
        dialog.reset();
        InAutoProgram = false;
        AutoOn = false;
        throw;
    }
    dialog.reset();
    InAutoProgram = false;
    AutoOn = false;
    EndOp(QStringLiteral("Auto Program: Complete (") + QString::number(AutoCount) +
          QStringLiteral(" devices programmed this session)"));
    // The record goes to the disk before the next part can start; a log
    // that cannot be written ends the run with a warning.
    if (log) finishRecord(true, QString());
}
