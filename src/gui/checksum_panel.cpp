// What the window shows and records of the production line: the buffer's
// checksums in the status bar, and the port named in the traceability
// records.
#include "buffer/checksums.h"
#include "gui/main_window.h"
#include "kinds/hardware.h"
#include "programmer/isp_programmer.h"

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
    const THardwareKind* kind = HardwareKind(FHardwr->HardwareName());
    if (!kind || !kind->PortName) return {};
    return kind->PortName(TKindSettings(*FISPSettings, FHardwr->HardwareName()));
}
