// The smaller commands of the Help and Support menus: copying the device
// list, the help file and the maker's web pages. (Read-me and about box:
// support_commands.cpp; firmware update: firmware_update.cpp.)
#include "catalogue/device_list.h"
#include "errors/errors.h"
#include "gui/main_window.h"
#include "kinds/hardware.h"
#include "programmer/isp_programmer.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QUrl>

namespace {

// The maker's pages: where new program versions and firmware are offered,
// and the maker's home page.
const QString kUpdatesWebsite = QStringLiteral("https://www.lumora.example/norvoisp/updates");
const QString kTesselWebsite = QStringLiteral("https://www.lumora.example/");

void OpenPage(const QString& Address) {
    // The desktop hands the address to its web browser; it reports failure
    // when it has none to hand it to.
    if (!QDesktopServices::openUrl(QUrl(Address)))
        throw Exception("No web browser was found to open the page. Open it by hand: " +
                        Address.toStdString());
}

} // namespace

void Tmain::ConnectSupportTools() {
    const auto command = [this](QAction* a, void (Tmain::*handler)()) {
        connect(a, &QAction::triggered, this,
                [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); });
    };
    command(Copydevicelisttoclipboard1, &Tmain::Copydevicelisttoclipboard1Click);
    SetEnableRule(Copydevicelisttoclipboard1, {});
    command(HelpTopics1, &Tmain::HelpTopics1Click);
    SetEnableRule(HelpTopics1, {});
    command(UpdatesWebsite1, &Tmain::UpdatesWebsite1Click);
    SetEnableRule(UpdatesWebsite1, {});
    command(Tessel1, &Tmain::Tessel1Click);
    SetEnableRule(Tessel1, {});
    command(FirmwareUpdate1, &Tmain::FirmwareUpdate1Click);
    SetEnableRule(FirmwareUpdate1, [this] { return StdEnable(); });
}

void Tmain::Copydevicelisttoclipboard1Click() {
    const TProgrammerSupport support = FHardwr ? FHardwr->GetHardwareType() : GetHardware(0).HardwareSupport;
    const int family = DeviceType->currentIndex();
    QString text;
    for (const std::string& name : DeviceList().GetDeviceList(
             support, family >= FAMILY_24C && family <= FAMILY_93C ? family : FAMILY_24C))
        text += QString::fromStdString(name) + QStringLiteral("\r\n");
    QGuiApplication::clipboard()->setText(text);
}

QString Tmain::HelpFile() const {
    return QDir(FProgramFolder).filePath(QStringLiteral("isp.html"));
}

void Tmain::HelpTopics1Click() {
    const QString file = HelpFile();
    if (!QFileInfo::exists(file)) throw Exception("Help file not found: " + file.toStdString());
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(file)))
        throw Exception("No program was found to open the help file (a web browser shows it). Open it "
                        "by hand: " +
                        QDir::toNativeSeparators(file).toStdString());
}

void Tmain::UpdatesWebsite1Click() {
    OpenPage(kUpdatesWebsite);
}

void Tmain::Tessel1Click() {
    OpenPage(kTesselWebsite);
}
