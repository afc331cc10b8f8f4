#include "main_window_fixture.h"

#include "catalogue/programmer_support.h"

#include <QFile>
#include <QTest>

TFakeScript& Script() {
    static TFakeScript script;
    return script;
}

TFakeDriver::TFakeDriver() {
    SetHadOptions(true);
    SetHasStatus(true);
}

void TFakeDriver::Blocks(int size) {
    TFakeScript& s = Script();
    const int blocks = std::max(1, (size + s.BlockSize - 1) / s.BlockSize);
    DoUpdateProgress(s.ReportWithoutFigures ? -1 : 0, s.ReportWithoutFigures ? -1 : size);
    for (int b = 0; b < blocks; ++b) {
        if (s.Clock) *s.Clock += s.OperationMs / blocks;
        if (s.OnBlock) s.OnBlock(b * s.BlockSize);
        if (s.ReportWithoutFigures)
            DoUpdateProgress(-1, -1);
        else
            DoUpdateProgress(b * s.BlockSize, size);
    }
}

void TFakeDriver::ProgramFlash(THexList& Afile) {
    TFakeScript& s = Script();
    s.Calls << QStringLiteral("ProgramFlash");
    if (s.OperationFault) s.OperationFault();
    s.Chip.assign(Afile.HexData.begin(), Afile.HexData.end());
    Blocks(static_cast<int>(Afile.Size()));
}

void TFakeDriver::VerifyFlash(THexList& Afile) {
    TFakeScript& s = Script();
    s.Calls << QStringLiteral("VerifyFlash");
    if (s.OperationFault) s.OperationFault();
    Blocks(static_cast<int>(Afile.Size()));
    int failed = 0;
    for (std::uint32_t i = 0; i < Afile.Size(); ++i) {
        const bool same = i < s.Chip.size() && s.Chip[i] == Afile.HexData[i];
        Afile.SetStatus(i, TProgStatus(same ? ps_verified : ps_failed));
        if (!same) ++failed;
    }
    if (failed > 0) throw EVerifyError("EEPROM: Verify failed - " + std::to_string(failed) + " bytes differ");
}

void TFakeDriver::ReadFlash(THexList& Afile) {
    TFakeScript& s = Script();
    s.Calls << QStringLiteral("ReadFlash");
    if (s.OperationFault) s.OperationFault();
    Blocks(static_cast<int>(Afile.Size()));
    for (std::uint32_t i = 0; i < Afile.Size() && i < s.Chip.size(); ++i)
        Afile.HexData[i] = s.Chip[i];
}

void TFakeDriver::EraseDevice() {
    Script().Calls << QStringLiteral("EraseDevice");
    if (Script().OperationFault) Script().OperationFault();
    std::fill(Script().Chip.begin(), Script().Chip.end(), 0xFF);
}

std::uint8_t TFakeDriver::ReadOptionByte() {
    Script().Calls << QStringLiteral("ReadOptionByte");
    return Script().StatusRegister;
}

void TFakeDriver::WriteOptionByte(std::uint8_t Option) {
    Script().Calls << QStringLiteral("WriteOptionByte(%1)").arg(Option, 2, 16, QLatin1Char('0'));
    Script().StatusRegister = Option;
}

void TFakeDriver::WriteTiming(std::uint8_t Timing) {
    Script().Calls << QStringLiteral("WriteTiming(%1)").arg(Timing);
    SetProgmode(Timing);
}

void TFakeDriver::AskOptions() {
    Script().Calls << QStringLiteral("AskOptions");
    if (Script().CancelOptions) throw EAbort();
}

void TFakeDriver::Run(std::uint8_t pol) {
    Script().Calls << QStringLiteral("Run(%1)").arg(pol);
}

bool TFakeDriver::HardwareOpen() {
    Script().Calls << QStringLiteral("Open");
    if (Script().OpenFault) Script().OpenFault();
    return true;
}

void TFakeDriver::HardwareClose() {
    Script().Calls << QStringLiteral("Close");
}

void TFakeDriver::ShowStatus(const std::string& ISPGoldVersion) {
    Script().Calls << QStringLiteral("ShowStatus(%1)").arg(QString::fromStdString(ISPGoldVersion));
    if (DriverHost())
        DriverHost()->ShowInformation("ISP Information", {"Printer Port: LPT1 Port Address:378"},
                                      ISPGoldVersion, "000A");
}

void TFakeDriver::LoadSettings() {
    Script().Calls << QStringLiteral("LoadSettings");
}

void TFakeDriver::SaveSettings() {
    Script().Calls << QStringLiteral("SaveSettings");
}

void RegisterFakeHardware() {
    static bool done = false;
    if (done) return;
    done = true;
    auto factory = [] { return std::make_unique<TFakeDriver>(); };
    RegisterNewHardware("Fake ISP A", TProgrammerSupport{pk_eisp}, factory, true);
    RegisterNewHardware("Fake ISP B", TProgrammerSupport{pk_eisp}, factory, true);
    RegisterNewHardware("Fake Hidden", TProgrammerSupport{pk_eisp}, factory, false);
}

TUserPrompts TPromptLog::Prompts() {
    TUserPrompts p;
    p.ShowMessage = [this](QWidget*, const QString& text) { Messages << text; };
    p.ErrorBox = [this](QWidget*, const QString&, const QString& text) { Errors << text; };
    p.AskYesNo = [this](QWidget*, const QString& title, const QString& text) {
        Questions << title + QLatin1Char('|') + text;
        return AnswerYes;
    };
    p.AskOkCancel = [this](QWidget*, const QString& title, const QString& text) {
        Questions << title + QLatin1Char('|') + text;
        return AnswerOk;
    };
    p.GetSaveFileName = [this](QWidget*, const QString&, const QString&, const QString&) {
        return SaveFileName;
    };
    p.GetOpenFileName = [](QWidget*, const QString&, const QString&, const QString&) { return QString(); };
    p.ExecDialog = [this](QDialog& d) {
        DialogTitles << d.windowTitle();
        return OnDialog ? OnDialog(d) : int(QDialog::Accepted);
    };
    p.FileDialog = [this](QWidget*, TFileRequest& request) {
        FileDialogTitles << request.Title;
        return OnFileDialog ? OnFileDialog(request) : false;
    };
    p.Beep = [this] { ++Beeps; };
    return p;
}

TWindowFixture::TWindowFixture() {
    RegisterFakeHardware();
    Script().Reset();
    Script().Clock = &Clock;
    qputenv("NORVOISP_REGISTRY", HiveFile().toLocal8Bit());
}

TWindowFixture::~TWindowFixture() {
    Destroy();
    Script().Clock = nullptr;
}

Tmain& TWindowFixture::Start(const QStringList& args) {
    if (!QFile::exists(HiveFile())) WriteEnvironment(QStringLiteral("\"LASTHARDWARE\"=\"Fake ISP A\""));
    return StartWithoutSettings(args);
}

Tmain& TWindowFixture::StartWithoutSettings(const QStringList& args) {
    FWindow = std::make_unique<Tmain>(args, Log.Prompts());
    FWindow->SetProgramFolder(Folder());
    FWindow->SetTickCount([this] { return Clock; });
    FWindow->show();
    // The start-up is queued behind the first show.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    return *FWindow;
}

bool TWindowFixture::Close() {
    const bool closed = FWindow->close();
    QCoreApplication::processEvents();
    return closed;
}

void TWindowFixture::Destroy() {
    FWindow.reset();
    QCoreApplication::processEvents();
}

void TWindowFixture::WriteEnvironment(const QString& values) {
    WriteHive(QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                             "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\GLOBAL\\ENVIRONMENT]\r\n") +
              values + QStringLiteral("\r\n\r\n"));
}

void TWindowFixture::WriteHive(const QString& text) {
    QFile f(HiveFile());
    if (f.open(QIODevice::WriteOnly)) f.write(text.toUtf8());
}

QString TWindowFixture::ReadHive() const {
    QFile f(HiveFile());
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll());
}
