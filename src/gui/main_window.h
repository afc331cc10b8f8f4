// The main window Tmain: tool bar with the device and programmer choices,
// the pages "EEPROM Memory", "Status Register" and "Status", the status bar,
// the menus, and the shared objects every command reaches (settings store,
// project, driver). Its implementation is split by subject:
//   main_window.cpp       construction, start-up, Switch, shut-down, pages
//   main_window_menus.cpp actions, menus, tool bar and their enabling rules
//   operation_frame.cpp   operation frame, status log, progress, exceptions
//   device_commands.cpp   program, read, verify, erase, status register,
//                         programmer options and information
//   support_commands.cpp  read-me and about
//   window_services.cpp   what the drivers and the panel ask of the window
// Commands of the buffer files, serial numbers, fill, Auto Program, projects
// and the support tools add their own files and connect to the actions
// declared here.
#pragma once

#include "buffer/test_patterns.h"
#include "catalogue/device_panel.h"
#include "gui/command_line.h"
#include "gui/fuse_form.h"
#include "gui/tessel_project.h"
#include "gui/user_prompts.h"
#include "programmer/driver_host.h"
#include "settings/settings_store.h"

#include <QColor>
#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <array>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QComboBox;
class QDialog;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QStackedLayout;
class QTabWidget;
class QTimer;
class TFileVersionInfo;
class TFillDialog;
class THexWindow;
class TLoadConfigForm;
class TISPProgrammer;
class TSerialNum;
class TStatusLog;
class TStatusPanel;

class Tmain : public QMainWindow, public TDriverHost, public TFuseFormOwner {
    Q_OBJECT

  public:
    // The application title, also the window caption.
    static const QString AppTitle;

    // Status message types, as a set of these bits. The first of ok, busy,
    // warning in the set decides the message's prefix.
    enum TStatusType : int { st_ok = 1, st_busy = 2, st_warning = 4 };

    // Arguments: the command line without the program name.
    explicit Tmain(QStringList Arguments, TUserPrompts Prompts = TUserPrompts::Standard(),
                   QWidget* parent = nullptr);
    ~Tmain() override;

    // --- shared objects ---
    TISPSettings& ISPSettings() { return *FISPSettings; }
    // The current project; nullptr until Initialize created it.
    TTesselProject* Prjct() const { return FPrjct.get(); }
    // The current driver; nullptr until the first Switch.
    TISPProgrammer* Hardwr() const { return FHardwr.get(); }
    // The command-line choices, read by Initialize.
    const TCommandLine& CommandLine() const { return FCommandLine; }
    // The status register and organisation panel of the current device.
    TBaseFuseForm* FuseForm() const { return FFuseForm; }
    TFileVersionInfo& FI() const { return *FFI; }
    const TUserPrompts& Prompts() const { return FPrompts; }
    // The folder of the program's own files (readme.txt, samples, patterns,
    // the help file, the firmware updater): beside the program in a build
    // tree, share/norvoisp when installed (see program_folder.h).
    QString ProgramFolder() const { return FProgramFolder; }
    void SetProgramFolder(const QString& folder) { FProgramFolder = folder; }
    // Millisecond tick source of the operation times.
    void SetTickCount(std::function<qint64()> tick) { FTickCount = std::move(tick); }

    // --- start-up, switching, shut-down ---
    // Runs once, after the window was first shown: command line, remembered
    // choices, driver, programmer open.
    void Initialize();
    bool Initialized() const { return FInitializeRan; }
    // Selects a device and, when a hardware name is given or no driver
    // exists, rebuilds the driver. Opens an operation that the caller closes.
    void Switch(const std::string& Anewdevice, const std::string& ANewHardware);
    // Any of the three drop-downs changed.
    void HardwareSelectorChange();
    // The name of the kind chosen in the hardware drop-down (its entry may
    // show a caption instead); the entry of a kind name, -1 when none.
    std::string SelectedHardware() const;
    int HardwareEntry(const std::string& Name) const;
    // Saves the remembered choices and the settings, closes and frees the
    // driver and the project.
    void DeInitialize();
    // True when no operation runs and a driver exists.
    bool StdEnable() const;
    QString CurrentFileName() const { return FCurrentFileName; }
    void SetCurrentFileName(const QString& Value);
    // The EEPROM page became visible: the caption names the buffer's file,
    // or the chip a Read filled it from; nothing once a device change or
    // "Clear EEPROM Buffer" emptied it.
    void FlashTabShow();
    // Where the buffer's contents are kept besides the buffer: in its file
    // (loaded from or saved to it), on the chip a Read took them from, or
    // nowhere (new, cleared). Each command that makes one of these true sets
    // it; the buffer then holds no changes.
    enum class TBufferOrigin { File, Chip, Cleared };
    void SetBufferOrigin(TBufferOrigin Origin);
    TBufferOrigin BufferOrigin() const { return FBufferOrigin; }
    // The buffer was changed (edited, filled, serial number) since then.
    bool BufferHasChanges() const;
    void FileExitExecute();

    // --- operation frame and status log ---
    bool InOperation() const { return FInOperation; }
    // The operator confirmed a cancel request.
    bool AbortOp = false;
    void StartOp(const QString& s);
    void StartProgressOp(const QString& s);
    void EndOp(const QString& s);
    void FailOp(const QString& s);
    void SetStatusMessage(const QString& s2, int StatusType);
    // The driver's progress callback; raises EAbortOp after a confirmed Abort.
    void UpdateStatus(int i, int Max);
    void ResetButtonClick();
    // Reports an exception that ended a command and closes the frame.
    void AppException(const std::exception& E);
    // The warning line AppException logs for E.
    QString FailureText(const std::exception& E) const;
    void ClearStatus1Click();
    void SaveStatusLog1Click();
    void Timer1Timer();
    QString StatusMessage() const { return FStatusMessage; }
    bool StatusOn() const { return FStatusOn; }
    int Optime() const { return FOptime; }
    // Runs a command: refused (false) while another command is running, so
    // nothing can start from an event handled during an operation's message
    // pumping; an escaping exception goes to AppException.
    bool RunCommand(const std::function<void()>& Command);
    bool CommandRunning() const { return FCommandDepth > 0; }

    // --- device commands ---
    void ProgramFlashExecute();
    void ReadFlashExecute();
    void VerifyFlashExecute();
    void DeviceEraseExecute();
    void ProgramFusesExecute();
    void ReadFusesExecute();
    void ProgrammerOptionsExecute();
    void ProgrammerStatusExecute();

    // --- support ---
    QString ReadMeFile() const;
    void ViewReadMeExecute();
    // With Shift held, shows the Support menu instead of the about box.
    void About1Click(bool ShiftHeld);
    // The about box text.
    QString AboutText() const;

    // --- projects (projects.cpp) ---
    // Loads a project file and applies it: Auto Program choice, device,
    // family, hardware, data files, driver settings; opens the programmer.
    void LoadFromProject(const QString& AProjectName);
    // Writes the current set-up and every project-scoped setting to a file.
    void SaveToProject(const QString& AProjectName);
    void LoadWorkSpaceExecute();
    void SaveWorkspaceExecute();
    // Applies an old project kept in the registry (a regedit export can be
    // merged from the same dialog).
    void ExportOldNorvoProjects1Click();

    // --- support tools (support_tools.cpp, firmware_update.cpp) ---
    void Copydevicelisttoclipboard1Click();
    // The help file beside the program, opened by the desktop's handler.
    QString HelpFile() const;
    void HelpTopics1Click();
    void UpdatesWebsite1Click();
    void Tessel1Click();
    // How long the firmware updater may run before it is killed.
    std::chrono::milliseconds FirmwareUpdaterLimit{std::chrono::minutes(5)};

    // --- Auto Program (auto_program.cpp), firmware update (firmware_update.cpp) ---
    // Auto Program: the chosen steps in one run; /A runs it at start-up.
    void AutoProgramExecute();
    // The firmware update command; the error handler offers it.
    void FirmwareUpdate1Click();

    // --- buffer file commands (file_commands.cpp, pattern_commands.cpp) ---
    void LoadFlashExecute();
    // Also Auto Program's "Reload Files" step.
    void ReloadFlashExecute();
    void SaveFlashExecute();
    void EEPROM5Click();
    // Loads a file chosen from the recent-files list.
    void LMDMRUList1Click(const QString& FileName);
    void LoadPattern1Click();
    void Fill1Click();
    void RandomData1Click();
    void PagedTestFile1Click();
    void ClearFlashBufferExecute();
    void FileChecker1Click();
    void FileCheckerSave1Click();
    // A file's path shortened to Width pixels in the window's font.
    QString DisplayName(const QString& FileName, int Width = 260) const;
    // The recent-files list, newest first: at most four paths, kept in the
    // settings section "Main.MRUList".
    QStringList RecentFiles() const;
    void SetRecentFiles(const QStringList& Files);
    QAction* RecentFileAction(int Index) const {
        return FRecentFileActions.at(static_cast<std::size_t>(Index));
    }
    // The file dialogs and their remembered state.
    TFileRequest LoadDialog;     // "Load EEPROM"
    TFileRequest SaveDialog;     // "Select file for Intel Hex file Save"
    TFileRequest LoadTestDialog; // "File Loader Test"
    TFileRequest SaveTestDialog; // "Save Test"

    // --- serial numbers and Auto Program (pattern_commands.cpp, auto_program.cpp) ---
    TSerialNum* SerialNum() const { return FSerialNum; }
    TFillDialog* FillDialog() const { return FFillDialog; }
    void SerialNumbers1Click();
    void AutoProgramoptionsExecute();

    // --- pages ---
    void ShowFlashPage();
    void ShowStatusPage();
    void ShowFusesPage();

    // --- TDriverHost ---
    const TFusePanel* FusePanel() const override;
    void AddStatusLine(const std::string& Line) override;
    void ClearStatusLog() override;
    std::unique_ptr<TPortOptionsDialog> CreateOptionsDialog() override;
    bool ShowOptionsForm(TOptionsForm& Form) override;
    void ShowInformation(const std::string& Caption, const std::vector<std::string>& Lines,
                         const std::string& Version, const std::string& Firmware) override;

    // --- TFuseFormOwner ---
    QWidget* PanelParent() override;
    TISPProgrammer* CurrentDriver() override { return Hardwr(); }
    TDevice* CurrentDevice() override;
    void SetDriverPageSize(int Value) override;
    // Sets the driver module's clock-speed value.
    void SetDriverClockSpeed(int Value);
    void RunPanelCommand(const std::function<void()>& Handler) override;

    // Re-evaluates the enabled state of every action.
    void UpdateActions();
    // Sets an action's enabling rule.
    void SetEnableRule(QAction* Action, std::function<bool()> Rule);

    // --- tool bar, pages, status bar ---
    QLabel* DeviceLabel = nullptr;
    QComboBox* DeviceType = nullptr;
    QComboBox* DeviceSelector = nullptr;
    QLabel* HardwareLabel = nullptr;
    QComboBox* HardwareSelector = nullptr;
    QPushButton* OptionsButton = nullptr;
    QPushButton* ResetButton = nullptr;
    QTabWidget* PageControl = nullptr;
    QWidget* FlashTab = nullptr;
    QWidget* FusesTab = nullptr;
    QWidget* StatusTab = nullptr;
    THexWindow* FlashViewer = nullptr;
    TStatusLog* StatusList = nullptr;
    QLabel* NoOptionsLabel = nullptr;
    TStatusPanel* StatusPanel = nullptr;
    QLabel* StatusTextPanel = nullptr;
    // The buffer's CRC-32 and byte sum, the SHA-256 in its tool tip.
    QLabel* ChecksumPanel = nullptr;
    // Shows the checksums of the buffer as it is now; after every command
    // and every edit in the hex view.
    void UpdateChecksumPanel();
    // The port of the current driver as the operator knows it ("COM3
    // (/dev/ttyUSB0)", "LPT1"); empty for the simulated unit.
    std::string CurrentPortName() const;
    QProgressBar* ProgressBar = nullptr;
    QTimer* Timer1 = nullptr;

    // --- menus ---
    QMenu* FileMenu = nullptr;
    QMenu* LoadMenu = nullptr;
    QMenu* SaveMenu = nullptr;
    QMenu* ReloadMenu = nullptr;
    QMenu* DeviceMenu = nullptr;
    QMenu* ProgramMenu = nullptr;
    QMenu* ReadMenu = nullptr;
    QMenu* VerifyMenu = nullptr;
    QMenu* ViewMenu = nullptr;
    QMenu* PatternsMenu = nullptr;
    QMenu* SupportMenu = nullptr;
    QMenu* GenerateTestFilesMenu = nullptr;
    QMenu* BuildToolsMenu = nullptr;
    QMenu* HelpMenu = nullptr;
    QMenu* OnlineSupportMenu = nullptr;
    QMenu* FlashViewerMenu = nullptr;
    QMenu* StatusListMenu = nullptr;

    // --- actions ---
    // File
    QAction* LoadFlash = nullptr;   // Load > "&EEPROMfile..."
    QAction* SaveFlash = nullptr;   // Save > "&EEPROMfile"
    QAction* EEPROM5 = nullptr;     // Save > "&Binary File"
    QAction* ReloadFlash = nullptr; // Reload > "&EEPROMFile"
    QAction* ExportOldNorvoProjects1 = nullptr;
    QAction* LoadWorkSpace = nullptr;
    QAction* SaveWorkspace = nullptr;
    QAction* FileExit = nullptr;
    // Device
    QAction* DeviceErase = nullptr;
    QAction* ProgramFlash = nullptr;
    QAction* ProgramFuses = nullptr;
    QAction* WriteAll1 = nullptr; // Program > "Write ALL Value"
    QAction* ReadFlash = nullptr;
    QAction* ReadFuses = nullptr;
    QAction* VerifyFlash = nullptr;
    QAction* AutoProgram = nullptr;
    QAction* AutoProgramoptions = nullptr;
    // View
    QAction* ProgrammerStatus = nullptr; // "&Information"
    QAction* ViewFlash = nullptr;
    QAction* ViewStatus = nullptr;
    QAction* ViewFuses = nullptr; // F12, not in the menu
    QAction* PopUpWarnings1 = nullptr;
    QAction* ShowCodePage1 = nullptr; // the hex view's text column
    // Serial numbers, patterns
    QAction* SerialNumbers1 = nullptr;
    QAction* Fill1 = nullptr;
    QAction* RandomData1 = nullptr;
    QAction* LoadPattern1 = nullptr;
    // Support
    QAction* PagedTestFile1 = nullptr;
    QAction* FileChecker1 = nullptr;
    QAction* FileCheckerSave1 = nullptr;
    QAction* Copydevicelisttoclipboard1 = nullptr;
    // Help
    QAction* HelpTopics1 = nullptr;
    QAction* UpdatesWebsite1 = nullptr;
    QAction* Tessel1 = nullptr;
    QAction* ViewReadMe = nullptr;
    QAction* FirmwareUpdate1 = nullptr;
    QAction* About1 = nullptr;
    // Tool bar
    QAction* ProgrammerOptions = nullptr;
    // Hex view context menu
    QAction* ReloadFlashPopup = nullptr;
    QAction* LoadFlashPopup = nullptr;
    QAction* ClearFlashBuffer = nullptr;
    QAction* ProgramFlashPopup = nullptr;
    QAction* VerifyFlashPopup = nullptr;
    QAction* ReadFlashPopup = nullptr;
    // Status list context menu
    QAction* ClearStatus1 = nullptr;
    QAction* SaveStatusLog1 = nullptr;

    // Data-file dialog filters built from the format names: the save filter
    // has one entry per format code 1 to 10 (entry i is code i + 1); the load
    // filter starts with the name of code 0 and ends with binary files.
    QStringList SaveFilters;
    QStringList LoadFilters;

  protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

  private:
    // Construction.
    void FormCreate();
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreatePages();
    void CreateStatusBar();
    void ConnectCommands();
    void BuildFileFilters();
    // Queued after the first show.
    void StartComms();

    // Opens the driver (Open does it); a failure is reported with the way
    // to try the program without hardware.
    void OpenProgrammer(const std::function<void()>& Open);
    bool FOpeningProgrammer = false;
    // Initialize of a first start is opening the programmer.
    bool FFirstStart = false;
    // FailureText without that advice.
    QString ReportText(const std::exception& E) const;

    // The drop-downs show the device, family and hardware in use again.
    void ShowCurrentChoices();
    // Before a change of device or hardware empties the buffer: true when
    // it holds no changes or the operator lets them go.
    bool MayClearBuffer();

    // The options dialogs' runner: notes in FOptionsCancelled whether the
    // operator cancelled.
    std::function<int(QDialog&)> OptionsDialogExec();
    bool FOptionsCancelled = false;

    // Switch helpers.
    void FillDeviceSelector();
    void FillHardwareSelector();
    void AdaptToFamily(const TDevice& Device);
    void ReleaseFuseForm();
    // Organisation hand-over: the panel's "Programming Mode" to the driver.
    void HandOverOrganisation();
    std::uint8_t PanelResetPolarity() const;

    void SetInOperation(bool Value);
    void EnableSelectors(bool Value);
    void PumpMessages();
    void RepaintStatusBar();
    qint64 TickCount() const;
    void UpdatePageChecks();
    void ShowFlashViewer();
    // One operation on the EEPROM memory through the driver: the viewer shows
    // the bytes' status afterwards, also when Work fails part way.
    void FlashOperation(const QString& Busy, const QString& Complete, const std::function<void()>& Work);
    // Buffer file commands, serial numbers, fill and Auto Program: their
    // dialogs, actions and enabling rules.
    void ConnectBufferCommands();
    void UpdateRecentFileActions();
    void LoadFromDialog(const QString& Folder, const QString& TextWarning);
    void ShowLoadedFile(const QString& FileName, int Width);
    // For the warning of a load that did not fit: the device's size and
    // what of the file was not loaded (": the 25C256 holds 32768 bytes ...").
    QString OverflowText(const std::string& File, bool Binary) const;

    TUserPrompts FPrompts;
    QStringList FArguments;
    std::unique_ptr<TISPSettings> FISPSettings;
    std::unique_ptr<TTesselProject> FPrjct;
    std::unique_ptr<TISPProgrammer> FHardwr;
    TCommandLine FCommandLine;
    TBaseFuseForm* FFuseForm = nullptr;
    QStackedLayout* FFusesLayout = nullptr;
    TFileVersionInfo* FFI = nullptr;
    QString FProgramFolder;
    std::function<qint64()> FTickCount;

    bool FInOperation = false;
    qint64 FOpstart = 0;
    int FOptime = 0;
    QString FStatusMessage;
    QColor FStatusColor;
    bool FStatusOn = true;
    bool FBusyCursor = false;
    QString FCurrentFileName;
    bool FShownOnce = false;
    TBufferOrigin FBufferOrigin = TBufferOrigin::File;
    std::vector<std::uint8_t> FBufferBaseline;
    QString FReadFrom; // the device a Read took the buffer from
    bool FInitializeRan = false;
    bool FSettingsLoaded = false;
    int FCommandDepth = 0;
    bool FClosing = false;
    TRandomBytes FRandomData;
    TSerialNum* FSerialNum = nullptr;
    TFillDialog* FFillDialog = nullptr;
    std::array<QAction*, 4> FRecentFileActions{};

  public:
    // Auto Program state.
    int AutoCount = 0;
    bool InAutoProgram = false;
    bool AutoOn = false;
    // The project file last loaded or saved.
    QString ProjectName;

  private:
    // Projects and support tools.
    void ConnectProjectCommands();
    void ConnectSupportTools();
    void LoadProject(const std::string& Path, TSaveLocation Location);
    // True when the file was loaded into Buffer.
    bool LoadProjectDataFile(const std::string& File, int Size, THexList& Buffer, const QString& Failure);
    // At exit: a project-scoped Auto Program choice is not written to the
    // registry; the last global one is kept there.
    void KeepGlobalAutoProgram();
    std::string HiveFileName() const;
    // The firmware updater's run; the warning text when it did not run to
    // its end.
    QString RunFirmwareUpdater();
    // The global Auto Program choice as it was when a project save made it
    // project-scoped.
    std::vector<TSetting> FGlobalAutoProgram;
    // The saved-configurations dialog with the project file dialogs, made at
    // its first use and kept for the run.
    TLoadConfigForm& LoadConfigForm();
    TLoadConfigForm* FLoadConfigForm = nullptr;

  private:
    struct TEnableRule {
        QAction* Action;
        std::function<bool()> Rule;
    };
    std::vector<TEnableRule> FEnableRules;
};
