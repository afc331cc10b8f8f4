#include "programmer/driver_host.h"

namespace {
TDriverHost* gHost = nullptr;

const TFusePanel* Panel() {
    return gHost ? gHost->FusePanel() : nullptr;
}
} // namespace

void SetDriverHost(TDriverHost* Host) {
    gHost = Host;
}
TDriverHost* DriverHost() {
    return gHost;
}

int HostResetPolarity() {
    const TFusePanel* p = Panel();
    return p ? p->ResetPolarityIndex() : 2;
}

int HostBusNumber() {
    const TFusePanel* p = Panel();
    return p ? p->DeviceAddressValue() : 0;
}

int HostModeIndex() {
    const TFusePanel* p = Panel();
    return p ? p->ModeIndex() : 1;
}
