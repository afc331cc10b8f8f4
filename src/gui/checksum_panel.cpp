// What the window shows and records of the production line: the buffer's
// checksums in the status bar, and the port named in the traceability
// records.
#include "buffer/checksums.h"
#include "catalogue/device_list.h"
#include "gui/main_window.h"
#include "programmer/isp_programmer.h"
#include "programmer/unit/com_port_settings.h"
#include "programmer/unit/smart_dongle.h"

#include <QLabel>

void Tmain::UpdateChecksumPanel() {
    if (!ChecksumPanel) return;
    if (!FPrjct || FPrjct->FlashMemory.Size() == 0) {
        ChecksumPanel->clear();
        ChecksumPanel->setToolTip(QString());
        return;
    }
    const TChecksums sums = BufferChecksums(FPrjct->FlashMemory);
    ChecksumPanel->setText(
        QStringLiteral("CRC-32 %1  Sum %2")
            .arg(QString::fromStdString(sums.Crc32Text()), QString::fromStdString(sums.Sum16Text())));
    ChecksumPanel->setToolTip(QStringLiteral("Buffer, %1 bytes\nCRC-32 %2\nSHA-256 %3\nSum of the bytes %4")
                                  .arg(sums.Length)
                                  .arg(QString::fromStdString(sums.Crc32Text()),
                                       QString::fromStdString(sums.Sha256Text()),
                                       QString::fromStdString(sums.Sum16Text())));
}

std::string Tmain::CurrentPortName() const {
    if (!FHardwr) return {};
    const std::string hardware = AsciiUpper(FHardwr->HardwareName());
    const int number = FISPSettings->GetInteger(FHardwr->HardwareName(), "BASEPORT", 0) + 1;
    if (hardware == AsciiUpper(LptHardwareName)) return "LPT" + std::to_string(number);
    if (hardware == AsciiUpper(ComHardwareName)) {
        const std::string path = LoadComPortTable(FISPSettings.get()).PathOf(number);
        return "COM" + std::to_string(number) + (path.empty() ? std::string() : " (" + path + ")");
    }
    return {};
}
