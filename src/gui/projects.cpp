// Projects: the set-up (device, family, hardware, data file, Auto Program
// choice) written to and restored from project files (".prj", initialisation
// files through the settings store), and old projects kept in the registry.
//
// Scopes: a loaded project's Auto Program choice becomes the global one (the
// registry keeps it at exit); a save makes the choice project-scoped, so
// from then on it goes into project files and the registry keeps the last
// global choice.
#include "catalogue/device_list.h"
#include "errors/errors.h"
#include "formats/file_loader.h"
#include "gui/hex_view.h"
#include "gui/load_config_form.h"
#include "gui/main_window.h"
#include "programmer/isp_programmer.h"
#include "settings/isp_reg_key.h"
#include "settings/name_compare.h"
#include "settings/registry_hive.h"

#include <QAction>
#include <QComboBox>

#include <array>
#include <span>

namespace {

constexpr const char kConfig[] = "CONFIG";
constexpr const char kAutoProgram[] = "AUTOPROGRAM";
constexpr std::array<const char*, 5> kConfigKeys = {"DEVICE", "DEVICETYPE", "HARDWARE", "FLASHFILE",
                                                    "EEPROMFILE"};
constexpr std::array<const char*, 5> kAutoProgramKeys = {"0", "1", "2", "3", "4"};

int ValidFamily(int family) {
    return family >= FAMILY_24C && family <= FAMILY_93C ? family : FAMILY_24C;
}

// The settings of one scope in Section, whatever the letter case of its name.
std::vector<TSetting> SectionSettings(const TISPSettings& Store, std::string_view Section, TSetScope Scope) {
    std::vector<TSetting> found;
    for (const TSetting& s : Store.Settings())
        if (s.Scope == Scope && SameText(s.Module, Section)) found.push_back(s);
    return found;
}

// The spellings under which Section occurs in the store.
std::vector<std::string> Spellings(const TISPSettings& Store, std::string_view Section) {
    std::vector<std::string> names;
    for (const TSetting& s : Store.Settings())
        if (SameText(s.Module, Section) && std::find(names.begin(), names.end(), s.Module) == names.end())
            names.push_back(s.Module);
    return names;
}

void ClearSection(TISPSettings& Store, TSetScope Scope, std::string_view Section) {
    for (const std::string& name : Spellings(Store, Section))
        Store.ClearSettings(Scope, name);
}

void ChangeSectionScope(TISPSettings& Store, std::string_view Section, TSetScope Scope) {
    for (const std::string& name : Spellings(Store, Section))
        Store.ChangeScope(name, Scope);
}

// Section and key names of project files are not case-sensitive; a file
// edited by hand or written by another program may spell them otherwise.
// The project-scoped entries of Section are given the spelling this program
// uses, so that later lookups, scope changes and saves find them.
void SpellAsWritten(TISPSettings& Store, const char* Section, std::span<const char* const> Keys) {
    std::vector<TSetting> entries = SectionSettings(Store, Section, ss_project);
    bool differs = false;
    for (TSetting& e : entries) {
        if (e.Module != Section) {
            e.Module = Section;
            differs = true;
        }
        for (const char* key : Keys)
            if (e.Name != key && SameText(e.Name, key)) {
                e.Name = key;
                differs = true;
            }
    }
    if (!differs) return;
    ClearSection(Store, ss_project, Section);
    for (TSetting& e : entries)
        Store.SetSetting(e.Module, e.Name, ss_project, std::move(e.Value));
}

// The file name with its extension replaced by ".prj" (added when it has
// none). A leading dot names a hidden file, not an extension.
QString WithProjectExtension(const QString& Name) {
    const qsizetype slash = Name.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = Name.lastIndexOf(QLatin1Char('.'));
    if (dot > slash + 1) return Name.left(dot) + QStringLiteral(".prj");
    return Name + QStringLiteral(".prj");
}

} // namespace

void Tmain::ConnectProjectCommands() {
    const auto command = [this](QAction* a, void (Tmain::*handler)()) {
        connect(a, &QAction::triggered, this,
                [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); });
        SetEnableRule(a, [this] { return StdEnable(); });
    };
    command(LoadWorkSpace, &Tmain::LoadWorkSpaceExecute);
    command(SaveWorkspace, &Tmain::SaveWorkspaceExecute);
    command(ExportOldNorvoProjects1, &Tmain::ExportOldNorvoProjects1Click);
}

std::string Tmain::HiveFileName() const {
    return FISPSettings->RegistryFile().empty() ? TRegistryHive::DefaultFileName()
                                                : FISPSettings->RegistryFile();
}

TLoadConfigForm& Tmain::LoadConfigForm() {
    if (!FLoadConfigForm)
        FLoadConfigForm = new TLoadConfigForm(
            this, [this] { return HiveFileName(); }, FPrompts);
    return *FLoadConfigForm;
}

void Tmain::LoadFromProject(const QString& AProjectName) {
    LoadProject(AProjectName.toStdString(), sl_file);
}

void Tmain::LoadProject(const std::string& Path, TSaveLocation Location) {
    if (!FPrjct) FPrjct = std::make_unique<TTesselProject>();
    StartOp(QStringLiteral("Loading Project"));

    TISPSettings& store = *FISPSettings;
    // The Auto Program choice in force goes; it comes back when the project
    // cannot be read.
    const std::vector<TSetting> before = SectionSettings(store, kAutoProgram, ss_global);
    ClearSection(store, ss_global, kAutoProgram);
    try {
        store.LoadSettings(Path, Location, ss_project);
    } catch (...) {
        for (const TSetting& s : before)
            store.SetSetting(s.Module, s.Name, ss_global, s.Value);
        throw;
    }
    SpellAsWritten(store, kConfig, kConfigKeys);
    SpellAsWritten(store, kAutoProgram, kAutoProgramKeys);
    // The project's choice is now the global one, and what the registry
    // keeps at exit.
    ChangeSectionScope(store, kAutoProgram, ss_global);
    FGlobalAutoProgram.clear();

    DeviceType->setCurrentIndex(ValidFamily(store.GetInteger(kConfig, "DEVICETYPE", 0)));
    const std::string hardware = store.GetString(kConfig, "HARDWARE", "");
    // The driver is kept: its device list is refilled for the project's
    // family, as a rebuilt driver's would be.
    if (hardware.empty() && FHardwr) FillDeviceSelector();
    Switch(store.GetString(kConfig, "DEVICE", ""), hardware);

    const TDevice* device = FPrjct->Device();
    LoadProjectDataFile(store.GetString(kConfig, "EEPROMFILE", ""), device ? device->EEPROMSize() : 0,
                        FPrjct->EEPROMMemory, QStringLiteral("EEPROM: Could not open "));
    if (LoadProjectDataFile(store.GetString(kConfig, "FLASHFILE", ""), device ? device->FlashSize() : 0,
                            FPrjct->FlashMemory, QStringLiteral("Flash: Could not open ")))
        SetBufferOrigin(TBufferOrigin::File);

    FHardwr->LoadSettings();
    FlashViewer->RecreateCanvas();
    FlashTabShow();
    PumpMessages();
    FHardwr->HardwareOpen();
    EndOp(QStringLiteral("ISP Initialized; Detected Device: "));
    EndOp(QStringLiteral("Project Load Complete"));
}

bool Tmain::LoadProjectDataFile(const std::string& File, int Size, THexList& Buffer, const QString& Failure) {
    if (File.empty() || Size == 0) return false;
    // Missing, empty, binary or unrecognised: the rest of the project still
    // loads.
    if (TFileLoader::GetFileType(File) <= 0) {
        FPrompts.ErrorBox(this, QString(), Failure + QString::fromStdString(File));
        return false;
    }
    try {
        // A file larger than the buffer leaves the bytes that fit.
        TFileLoader::LoadFile(File, Buffer, 0);
    } catch (const EISPException&) {
    }
    return true;
}

void Tmain::SaveToProject(const QString& AProjectName) {
    TISPSettings& store = *FISPSettings;
    if (FHardwr) FHardwr->SaveSettings();
    const TDevice* device = FPrjct ? FPrjct->Device() : nullptr;
    store.SetSetting(kConfig, "DEVICE", ss_project, device ? device->DeviceName() : std::string());
    store.SetSetting(
        kConfig, "DEVICETYPE", ss_project,
        static_cast<std::int32_t>(device ? device->ProgrammerId() : ValidFamily(DeviceType->currentIndex())));
    store.SetSetting(kConfig, "HARDWARE", ss_project, FHardwr ? FHardwr->HardwareName() : std::string());
    store.SetSetting("ENVIRONMENT", "LASTPROJECT", ss_global, AProjectName.toStdString());
    if (FPrjct && !FPrjct->FlashMemory.FileName().empty())
        store.SetSetting(kConfig, "FLASHFILE", ss_project, FPrjct->FlashMemory.FileName());

    // The choice stays project-scoped from now on; the registry keeps the
    // one that was global until now.
    std::vector<TSetting> global = SectionSettings(store, kAutoProgram, ss_global);
    if (!global.empty()) FGlobalAutoProgram = std::move(global);
    ChangeSectionScope(store, kAutoProgram, ss_project);

    store.SaveSettings(AProjectName.toStdString(), sl_file, ss_project);
}

void Tmain::KeepGlobalAutoProgram() {
    TISPSettings& store = *FISPSettings;
    if (SectionSettings(store, kAutoProgram, ss_project).empty()) return;
    ClearSection(store, ss_project, kAutoProgram);
    for (const TSetting& s : FGlobalAutoProgram)
        store.SetSetting(s.Module, s.Name, ss_global, s.Value);
}

void Tmain::LoadWorkSpaceExecute() {
    const QString file = LoadConfigForm().OpenProjectDialog();
    if (file.isEmpty()) return;
    StartOp(QStringLiteral("Loading Workspace"));
    LoadFromProject(file);
    ProjectName = file;
    EndOp(QStringLiteral("Workspace loaded successfully"));
}

void Tmain::SaveWorkspaceExecute() {
    const QString chosen = LoadConfigForm().SaveProjectDialog();
    if (chosen.isEmpty()) return;
    const QString file = WithProjectExtension(chosen);
    SaveToProject(file);
    ProjectName = file;
}

void Tmain::ExportOldNorvoProjects1Click() {
    const std::string root = std::string(ISPRegKey) + "\\PROJECTS";
    TLoadConfigForm& form = LoadConfigForm();
    form.SetMergeOffered(true);
    QString name;
    const bool chosen = form.Execute(name, root, lf_open);
    form.SetMergeOffered(false);
    if (!chosen) return;
    StartOp(QStringLiteral("Loading Workspace"));
    LoadProject(root + '\\' + name.toStdString(), sl_registry);
    ProjectName = name;
    EndOp(QStringLiteral("Workspace loaded successfully"));
}
