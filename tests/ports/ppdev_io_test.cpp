// The ppdev printer-port backend against a recorded ioctl layer (the kernel's
// ppdev driver simulated over printer port models): which requests each
// register access makes, the claim and release, the failures with their
// advice, the port object's mode tests over it, and the computer's access
// that takes ppdev first and /dev/port for the rest.
#include "lpt_tree.h"
#include "ports/ppdev_io.h"
#include "ports/sim_ppdev_calls.h"
#include "ports/system_lpt_io.h"
#include "ports/vic_lpt.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

namespace {

using TCall = TSimPpdevCalls::TCall;

} // namespace

// Readable failures: a call as path, request, value and result.
void PrintTo(const TSimPpdevCalls::TCall& c, std::ostream* os) {
    *os << "{" << c.Path << " 0x" << std::hex << c.Request << " 0x" << c.Value << std::dec << " " << c.Result
        << "}";
}

namespace {

constexpr char kDev0[] = "/dev/parport0";
constexpr char kDev1[] = "/dev/parport1";

// A port at 0x378 behind /dev/parport0, every call recorded.
struct TRecorded {
    TSimPrinterPort Port{0x378, TSimLptKind::Ecp};
    TSimPpdevCalls Calls;
    TRecorded() {
        Calls.AddDevice(kDev0, Port);
        Calls.KeepLog = true;
    }
};

TEST(PpdevIo, EachRegisterAccessIsOneRequest) {
    TRecorded r;
    TPpdevIo io({{0, kDev0, 0x378}}, r.Calls);
    ASSERT_TRUE(io.Open(1));
    EXPECT_EQ(r.Calls.Log(),
              (std::vector<TCall>{{kDev0, 0, 0, 100}, {kDev0, PPEXCL, 0, 0}, {kDev0, PPCLAIM, 0, 0}}));
    EXPECT_TRUE(r.Calls.Claimed(kDev0));
    // Claiming put the ECP port in PS/2 mode and the control lines at rest.
    EXPECT_EQ(r.Port.EcrMode(), 0b001);
    EXPECT_EQ(r.Port.ControlLatch(), 0x0C);
    r.Calls.ClearLog();

    io.SetPort(0x378, 0x55);
    EXPECT_EQ(io.GetPort(0x378), 0x55);
    const std::uint8_t status = io.GetPort(0x379);
    io.SetPort(0x379, 0x01); // the status register cannot be written: no request
    io.SetPort(0x37A, 0x2F); // data lines in: the direction, then the four lines
    EXPECT_EQ(io.GetPort(0x37A), 0x2F);
    io.SetPort(0x37A, 0x2B); // direction unchanged: one request
    io.SetPort(0x37A, 0x04); // data lines out again
    EXPECT_EQ(r.Calls.Log(), (std::vector<TCall>{{kDev0, PPWDATA, 0x55, 0},
                                                 {kDev0, PPRDATA, 0x55, 0},
                                                 {kDev0, PPRSTATUS, status, 0},
                                                 {kDev0, PPDATADIR, 1, 0},
                                                 {kDev0, PPWCONTROL, 0x0F, 0},
                                                 {kDev0, PPRCONTROL, 0x0F, 0},
                                                 {kDev0, PPWCONTROL, 0x0B, 0},
                                                 {kDev0, PPDATADIR, 0, 0},
                                                 {kDev0, PPWCONTROL, 0x04, 0}}));
    EXPECT_EQ(r.Port.ControlLatch(), 0x04);
    r.Calls.ClearLog();

    // Registers ppdev cannot reach read as absent and take no writes; other
    // addresses are not this port's.
    for (std::uint16_t a : {0x37B, 0x37F, 0x778, 0x77A})
        EXPECT_EQ(io.GetPort(a), 0xFF) << std::hex << a;
    io.SetPort(0x77A, 0x94);
    io.SetPort(0x37B, 0x55);
    EXPECT_EQ(io.GetPort(0x278), 0xFF);
    EXPECT_TRUE(io.Covers(0x77A));
    EXPECT_FALSE(io.Covers(0x278));
    EXPECT_FALSE(io.Covers(0x380));
    EXPECT_TRUE(r.Calls.Log().empty());
    EXPECT_EQ(r.Port.EcrMode(), 0b001);

    io.Close();
    EXPECT_EQ(r.Calls.Log(), (std::vector<TCall>{{kDev0, PPRELEASE, 0, 0}, {kDev0, 0, 0, 0}}));
    EXPECT_EQ(r.Calls.OpenDescriptors(), 0);
    EXPECT_EQ(io.GetPort(0x378), 0xFF); // closed
}

TEST(PpdevIo, FailuresNameTheDeviceAndTheFix) {
    struct TCase {
        const char* Name;
        int OpenError;      // 0: opens
        bool OtherDriver;   // lp is registered on the port
        std::string Advice; // after the device name
    };
    const TCase cases[] = {
        {"no permission", EACCES, false,
         ": permission denied: add your user to the 'lp' group (sudo usermod -aG lp $USER, then log in "
         "again; "
         "see Permissions in README.md)"},
        {"no ppdev module", ENOENT, false, ": no such device: load the ppdev module (sudo modprobe ppdev)"},
        {"printer driver", 0, true,
         ": in use by another driver or program (the printer driver lp holds the port while it is loaded: "
         "sudo modprobe -r lp)"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TRecorded r;
        if (c.OpenError) r.Calls.OpenErrors[kDev0] = c.OpenError;
        if (c.OtherDriver) r.Calls.OtherDriver.insert(kDev0);
        TPpdevIo io({{0, kDev0, 0x378}}, r.Calls);
        EXPECT_FALSE(io.Open(1));
        EXPECT_EQ(io.OpenAdvice(), kDev0 + c.Advice);
        EXPECT_EQ(r.Calls.OpenDescriptors(), 0);
        EXPECT_FALSE(r.Calls.Claimed(kDev0));
    }
}

TEST(PpdevIo, APortAnotherProgramHoldsIsLeftAndTheOthersServe) {
    TRecorded r;
    TSimPrinterPort second(0x278, TSimLptKind::Spp);
    r.Calls.AddDevice(kDev1, second);
    TPpdevIo other({{0, kDev0, 0x378}}, r.Calls);
    ASSERT_TRUE(other.Open(1)); // another program has parport0

    TPpdevIo io({{0, kDev0, 0x378}, {1, kDev1, 0x278}}, r.Calls);
    ASSERT_TRUE(io.Open(1));
    EXPECT_EQ(io.Claimed(), std::vector<int>{1});
    EXPECT_NE(io.OpenAdvice().find("/dev/parport0: in use by another driver or program"), std::string::npos);
    io.SetPort(0x278, 0xA5);
    EXPECT_EQ(second.DataLatch(), 0xA5);
    EXPECT_EQ(io.GetPort(0x378), 0xFF); // not held here
}

TEST(PpdevIo, ThePortObjectSettlesOnWhatPpdevReaches) {
    for (const TSimLptKind kind : {TSimLptKind::Ecp, TSimLptKind::Epp, TSimLptKind::Ps2, TSimLptKind::Spp}) {
        SCOPED_TRACE(static_cast<int>(kind));
        TSimPrinterPort port(0x378, kind);
        TSimPpdevCalls calls;
        calls.AddDevice(kDev0, port);
        calls.KeepLog = true;
        TVicLPT lpt(std::make_unique<TPpdevIo>(std::vector<TPpdevPort>{{0, kDev0, 0x378}}, calls), "");
        lpt.SetActive(1);
        ASSERT_EQ(lpt.Active(), 1);
        EXPECT_EQ(lpt.BasePortAddress(), 0x378);
        // No ECR, no EPP registers: the bidirectional ports test as PS/2.
        EXPECT_EQ(lpt.MaxLptMode(), kind == TSimLptKind::Spp ? LPT_SPP_MODE : LPT_PS2_MODE);
        EXPECT_FALSE(lpt.EPPEnabled());
        lpt.SetCurrentLptMode(LPT_EPP_MODE); // as the driver's open does: nothing to switch
        EXPECT_EQ(lpt.CurrentLptMode(), lpt.MaxLptMode());
        for (const TCall& c : calls.Log()) {
            EXPECT_EQ(c.Result >= 0 || c.Request == 0, true);
            EXPECT_TRUE(c.Request == 0 || c.Request == PPEXCL || c.Request == PPCLAIM ||
                        c.Request == PPRDATA || c.Request == PPWDATA || c.Request == PPRSTATUS ||
                        c.Request == PPRCONTROL || c.Request == PPWCONTROL || c.Request == PPDATADIR)
                << std::hex << c.Request;
        }
        // Pins through the requests: pin 1 is inverted, pin 16 is not.
        calls.ClearLog();
        lpt.SetPin(1, true);
        lpt.SetPin(16, true);
        lpt.SetPin(2, true);
        EXPECT_EQ(port.OutputLevel(1), true);
        EXPECT_EQ(port.OutputLevel(16), true);
        EXPECT_EQ(port.OutputLevel(2), true);
        EXPECT_EQ(calls.Log().size(), 3u);
        lpt.SetActive(0);
        EXPECT_FALSE(calls.Claimed(kDev0));
    }
}

// ------------------------------------------------- ppdev first, /dev/port after

struct TSystemRig {
    TLptTree Tree;
    TSimPrinterPort Port0{0x378, TSimLptKind::Ecp};
    TSimPrinterPort Port1{0x278, TSimLptKind::Spp};
    TSimPpdevCalls Calls;
    TSystemLptPaths Paths;
    std::string PortFile;

    explicit TSystemRig(bool TwoPorts, bool PortFileExists) {
        Tree.Parport(0, "888\t1912\n");
        if (TwoPorts) Tree.Parport(1, "632\t0\n");
        PortFile = Tree.Root() + "/port";
        if (PortFileExists) Tree.Write("port", std::string(0x800, '\x11'));
        Calls.AddDevice(kDev0, Port0);
        Calls.AddDevice(kDev1, Port1);
        Paths.DiscoveryRoot = Tree.Root();
        Paths.PpdevPrefix = "/dev/parport";
        Paths.DevPort = {PortFile, Tree.Root() + "/mem", Tree.Root() + "/lp"};
    }
};

TEST(SystemLptIo, PpdevFirstAndThePortDeviceForTheRest) {
    {
        SCOPED_TRACE("every port through ppdev: /dev/port stays shut");
        TSystemRig rig(false, true);
        TSystemLptIo io(rig.Paths, rig.Calls);
        ASSERT_TRUE(io.Open(1));
        EXPECT_FALSE(io.DevPortOpen());
        io.SetPort(0x378, 0x42);
        EXPECT_EQ(rig.Port0.DataLatch(), 0x42);
        EXPECT_EQ(io.GetPort(0x77A), 0xFF);
    }
    {
        SCOPED_TRACE("parport0 refused: /dev/port serves it");
        TSystemRig rig(false, true);
        rig.Calls.OpenErrors[kDev0] = EACCES;
        TSystemLptIo io(rig.Paths, rig.Calls);
        ASSERT_TRUE(io.Open(1));
        EXPECT_TRUE(io.DevPortOpen());
        EXPECT_EQ(io.GetPort(0x378), 0x11); // the port file
        EXPECT_EQ(io.OpenAdvice(), "");
    }
    {
        SCOPED_TRACE("two ports, parport1 busy: ppdev for one, /dev/port for the other");
        TSystemRig rig(true, true);
        rig.Calls.OtherDriver.insert(kDev1);
        TSystemLptIo io(rig.Paths, rig.Calls);
        ASSERT_TRUE(io.Open(1));
        EXPECT_TRUE(io.DevPortOpen());
        io.SetPort(0x378, 0x42);
        EXPECT_EQ(rig.Port0.DataLatch(), 0x42);
        EXPECT_EQ(io.GetPort(0x278), 0x11);
        // The ppdev port's other registers never go to /dev/port.
        EXPECT_EQ(io.GetPort(0x77A), 0xFF);
        EXPECT_EQ(io.GetPort(0x37B), 0xFF);
    }
    {
        SCOPED_TRACE("neither: the open fails with what to do");
        TSystemRig rig(false, false);
        rig.Calls.OpenErrors[kDev0] = EACCES;
        TSystemLptIo io(rig.Paths, rig.Calls);
        EXPECT_FALSE(io.Open(1));
        EXPECT_EQ(io.OpenAdvice(), PpdevAdvice(kDev0, EACCES, false));
        TVicLPT lpt(std::make_unique<TSystemLptIo>(rig.Paths, rig.Calls), rig.Tree.Root());
        lpt.SetActive(1);
        EXPECT_EQ(lpt.Active(), 0);
        EXPECT_EQ(lpt.OpenAdvice(), PpdevAdvice(kDev0, EACCES, false));
    }
}

TEST(SystemLptIo, DiscoveryNamesTheDevices) {
    TLptTree tree;
    tree.Parport(0, "888\t1912\n");
    tree.Parport(2, "632\t0\n");
    const auto ports = DiscoveredPpdevPorts(tree.Root(), "/x/pp");
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].Number, 0);
    EXPECT_EQ(ports[0].Path, "/x/pp0");
    EXPECT_EQ(ports[0].Base, 0x378);
    EXPECT_EQ(ports[1].Number, 2);
    EXPECT_EQ(ports[1].Path, "/x/pp2");
    EXPECT_EQ(ports[1].Base, 0x278);
    EXPECT_TRUE(DiscoveredPpdevPorts("", "/dev/parport").empty());
}

} // namespace
