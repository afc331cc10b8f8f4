// The buffer file commands: load a data file (format found from the content,
// binary otherwise), reload it, save it in a chosen format or as binary, the
// recent-files list, load a pattern file, and the two file-checker tools.
#include "formats/data_file_save.h"
#include "formats/file_loader.h"
#include "gui/display_name.h"
#include "gui/hex_view.h"
#include "gui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <string>

namespace {

const char* const kRecentSection = "Main.MRUList";

// The hour-glass for the length of a command.
class TWaitCursor {
  public:
    TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
};

std::string LocalPath(const QString& FileName) {
    return QFile::encodeName(FileName).toStdString();
}

QString FromLocalPath(const std::string& FileName) {
    return QFile::decodeName(QByteArray::fromStdString(FileName));
}

QString FormatName(int Code) {
    return QString::fromStdString(TFileLoader::WhatIs(Code));
}

} // namespace

QString Tmain::DisplayName(const QString& FileName, int Width) const {
    return MinimizeName(FileName, fontMetrics(), Width);
}

QString Tmain::OverflowText(const std::string& File, bool Binary) const {
    const TDevice* device = FPrjct ? FPrjct->Device() : nullptr;
    if (!device) return {};
    const auto size = static_cast<qint64>(FPrjct->FlashMemory.Size());
    const QString holds = QStringLiteral(": the ") + QString::fromStdString(device->DeviceName()) +
                          QStringLiteral(" holds %1 bytes").arg(size);
    const auto hex = [](qint64 a) { return QString::number(a, 16).toUpper() + QLatin1Char('h'); };
    if (Binary) {
        const qint64 length = QFileInfo(FromLocalPath(File)).size();
        return holds + QStringLiteral(", the file has %1 (%2 too many): nothing was loaded")
                           .arg(length)
                           .arg(length - size);
    }
    // Where the file's data ends, from a load into a buffer large enough
    // for any file meant for a serial EEPROM.
    constexpr std::uint32_t kProbe = 16u << 20;
    THexList probe;
    probe.SetSize(kProbe);
    int r = 0;
    try {
        r = TFileLoader::LoadFile(File, probe, 0);
    } catch (const std::exception&) {
        return holds;
    }
    if (r != 0)
        return holds + QStringLiteral(", the file's data goes on past 16 MiB: only those were loaded");
    const qint64 end = probe.LastActualLocation();
    if (end <= size)
        return holds + QStringLiteral("; the file's bytes after them are FFh only and were not loaded");
    const qint64 dropped = end - size;
    return holds + QStringLiteral(" (0h-%1); the file's data from %2 to %3 (%4 %5) was not loaded")
                       .arg(hex(size - 1), hex(size), hex(end - 1))
                       .arg(dropped)
                       .arg(dropped == 1 ? QStringLiteral("byte") : QStringLiteral("bytes"));
}

void Tmain::ShowLoadedFile(const QString& FileName, int Width) {
    SetBufferOrigin(TBufferOrigin::File);
    ShowFlashPage();
    // After the page change, so the shortened name is the one shown.
    SetCurrentFileName(QStringLiteral("EEPROM: ") + DisplayName(FileName, Width));
    FlashViewer->ResetCursor();
    ShowFlashViewer();
}

void Tmain::LoadFromDialog(const QString& Folder, const QString& TextWarning) {
    if (!FPrjct) return;
    LoadDialog.Folder = Folder;
    if (LoadDialog.Filters.isEmpty()) LoadDialog.Filters = LoadFilters;
    ShowFlashViewer();
    TWaitCursor wait;
    if (!FPrompts.FileDialog(this, LoadDialog)) return;
    const QString chosen = LoadDialog.FileName;
    if (!QFileInfo::exists(chosen)) {
        FailOp(QStringLiteral("EEPROM File Load: File load failed"));
        return;
    }
    THexList& buffer = FPrjct->FlashMemory;
    const std::string file = LocalPath(chosen);
    const int type = TFileLoader::GetFileType(file);
    if (type > 0) {
        if (TFileLoader::LoadFile(file, buffer, 0) != 0) {
            FailOp(TextWarning + OverflowText(file, false));
            buffer.InvalidateData();
        } else {
            EndOp(QStringLiteral("File Load: File loaded (") + FormatName(type) + QLatin1Char(')'));
        }
        ShowLoadedFile(chosen, 260);
        return;
    }
    if (TFileLoader::LoadBinary(file, buffer) != 0) {
        FailOp(QStringLiteral("File Load - Warning: file larger than device") + OverflowText(file, true));
        buffer.InvalidateData();
        FlashViewer->viewport()->update();
        return;
    }
    EndOp(QStringLiteral("File Load: File loaded (as a Binary file)"));
    ShowLoadedFile(chosen, 260);
}

void Tmain::LoadFlashExecute() {
    LoadFromDialog(QDir(FProgramFolder).filePath(QStringLiteral("samples")),
                   QStringLiteral("File Load - Warning: File larger than device"));
}

void Tmain::LoadPattern1Click() {
    LoadFromDialog(QDir(FProgramFolder).filePath(QStringLiteral("patterns")),
                   QStringLiteral("File Load - Warning: bad data or file larger than device"));
}

void Tmain::ReloadFlashExecute() {
    if (!FPrjct || FPrjct->FlashMemory.FileName().empty()) return;
    THexList& buffer = FPrjct->FlashMemory;
    // A buffer emptied or read since no longer showed the file's name.
    const bool named = FBufferOrigin == TBufferOrigin::File;
    StartOp(QStringLiteral("Reloading: EEPROM Intel Hex File"));
    int r = 0;
    if (FCommandLine.LoadHex) {
        r = TFileLoader::LoadFile(FCommandLine.HexFile, buffer, 0);
    } else {
        const std::string file = buffer.FileName();
        r = TFileLoader::LoadFile(file, buffer, 0);
        if (TFileLoader::GetFileType(file) <= 0) {
            // Not a text format: the file is a binary image. Its result is
            // the reload's, so a failed binary load never ends as a plain
            // "File Reloaded".
            r = TFileLoader::LoadBinary(file, buffer);
            if (r != 0) {
                FailOp(QStringLiteral("File Load - Warning: file larger than device") +
                       OverflowText(file, true));
                buffer.InvalidateData();
            } else {
                EndOp(QStringLiteral("File Load: File loaded (as a Binary file)"));
                SetCurrentFileName(QStringLiteral("EEPROM: ") + DisplayName(FromLocalPath(file)));
            }
        }
    }
    SetBufferOrigin(TBufferOrigin::File);
    if (!named)
        SetCurrentFileName(
            QStringLiteral("EEPROM: ") +
            DisplayName(FromLocalPath(FCommandLine.LoadHex ? FCommandLine.HexFile : buffer.FileName())));
    FlashViewer->ResetCursor();
    ShowFlashViewer();
    if (r != 0)
        EndOp(QStringLiteral("EEPROM: File Reloaded - Warning: Bad data or file larger than device "));
    else
        EndOp(QStringLiteral("EEPROM: File Reloaded"));
}

void Tmain::SaveFlashExecute() {
    if (!FPrjct) return;
    SaveDialog.Folder = QDir(FProgramFolder).filePath(QStringLiteral("samples"));
    if (SaveDialog.Filters.isEmpty()) SaveDialog.Filters = SaveFilters;
    StartOp(QStringLiteral("EEPROM: Saving File"));
    TWaitCursor wait;
    if (!FPrompts.FileDialog(this, SaveDialog)) {
        EndOp(QStringLiteral("EEPROM: Save Cancelled"));
        return;
    }
    const QString chosen = SaveDialog.FileName;
    // The chosen entry is the format (entry 0 is code 1).
    const int code = (SaveDialog.FilterIndex < 0 ? 0 : SaveDialog.FilterIndex) + ft_IntelIntellec;
    const std::string why = SaveDataFile(LocalPath(chosen), FPrjct->FlashMemory, code);
    LoadDialog.FileName = chosen;
    const QString name = DisplayName(chosen);
    if (!why.empty()) {
        // Nothing was written (the file as it was stays); the caption keeps
        // naming the file that holds the data.
        FailOp(QStringLiteral("EEPROM: File Save Failed (") + name + QStringLiteral("): ") +
               QString::fromStdString(why));
        return;
    }
    EndOp(QStringLiteral("EEPROM: File Saved (") + name + QLatin1Char(')'));
    SetBufferOrigin(TBufferOrigin::File);
    SetCurrentFileName(QStringLiteral("EEPROM: ") + name);
}

void Tmain::EEPROM5Click() {
    if (!FPrjct) return;
    StartOp(QStringLiteral("EEPROM: Saving Binary File"));
    TWaitCursor wait;
    // The dialog opens where it was left: this command sets no folder.
    if (SaveDialog.Filters.isEmpty()) SaveDialog.Filters = SaveFilters;
    if (!FPrompts.FileDialog(this, SaveDialog)) {
        EndOp(QStringLiteral("EEPROM: Save Cancelled"));
        return;
    }
    const QString chosen = SaveDialog.FileName;
    THexList& buffer = FPrjct->FlashMemory;
    const std::string previous = buffer.FileName();
    const std::string why = SaveDataFile(LocalPath(chosen), buffer, ft_Binary);
    LoadDialog.FileName = chosen;
    const QString name = DisplayName(chosen);
    if (!why.empty()) {
        // The reload source stays the file that holds the data.
        buffer.SetFileName(previous);
        FailOp(QStringLiteral("EEPROM: Binary File Save Failed (") + name + QStringLiteral("): ") +
               QString::fromStdString(why));
        return;
    }
    EndOp(QStringLiteral("EEPROM: Binary File Saved (") + name + QLatin1Char(')'));
    SetBufferOrigin(TBufferOrigin::File);
    SetCurrentFileName(QStringLiteral("EEPROM: ") + name);
}

QStringList Tmain::RecentFiles() const {
    QStringList files;
    for (std::size_t i = 0; i < FRecentFileActions.size(); ++i) {
        const std::string f = FISPSettings->GetString(kRecentSection, std::to_string(i), "");
        if (!f.empty()) files.append(FromLocalPath(f));
    }
    return files;
}

void Tmain::SetRecentFiles(const QStringList& Files) {
    FISPSettings->ClearSettings(ss_global, kRecentSection);
    const auto n = std::min<std::size_t>(FRecentFileActions.size(), static_cast<std::size_t>(Files.size()));
    for (std::size_t i = 0; i < n; ++i)
        FISPSettings->SetSetting(kRecentSection, std::to_string(i), ss_global,
                                 LocalPath(Files[static_cast<qsizetype>(i)]));
    UpdateRecentFileActions();
}

void Tmain::UpdateRecentFileActions() {
    const QStringList files = RecentFiles();
    for (std::size_t i = 0; i < FRecentFileActions.size(); ++i) {
        QAction* a = FRecentFileActions[i];
        const bool used = i < static_cast<std::size_t>(files.size());
        const QString file = used ? files[static_cast<qsizetype>(i)] : QString();
        // Shown by file name only; a "&" in it is no accelerator.
        a->setText(QFileInfo(file).fileName().replace(QLatin1Char('&'), QStringLiteral("&&")));
        a->setData(file);
        a->setVisible(used);
    }
}

void Tmain::LMDMRUList1Click(const QString& FileName) {
    if (!FPrjct) return;
    // The chosen entry moves to the top.
    QStringList files = RecentFiles();
    files.removeAll(FileName);
    files.prepend(FileName);
    SetRecentFiles(files);

    ShowFlashViewer();
    LoadDialog.FileName = FileName;
    TWaitCursor wait;
    if (!QFileInfo::exists(FileName)) {
        FailOp(QStringLiteral("EEPROM File Load: File load failed"));
        return;
    }
    THexList& buffer = FPrjct->FlashMemory;
    const std::string file = LocalPath(FileName);
    const int type = TFileLoader::GetFileType(file);
    if (type <= 0) {
        // Binary images are not loaded from this list.
        FailOp(QStringLiteral("File Load: File not accessable or a supported file type"));
        return;
    }
    if (TFileLoader::LoadFile(file, buffer, 0) != 0) {
        FailOp(QStringLiteral("File Load - Warning: bad data or file larger than device") +
               OverflowText(file, false));
        buffer.InvalidateData();
    } else {
        EndOp(QStringLiteral("File Load: File loaded (") + FormatName(type) + QLatin1Char(')'));
    }
    ShowLoadedFile(FileName, 160);
}

void Tmain::FileChecker1Click() {
    if (!FPrjct) return;
    if (!FPrompts.FileDialog(this, LoadTestDialog)) return;
    const std::string file = LocalPath(LoadTestDialog.FileName);
    FPrompts.ShowMessage(this, QStringLiteral("File Is: ") + FormatName(TFileLoader::GetFileType(file)));
    TFileLoader::LoadFile(file, FPrjct->FlashMemory, 0);
    SetBufferOrigin(TBufferOrigin::File);
    FlashViewer->RecreateCanvas();
}

void Tmain::FileCheckerSave1Click() {
    if (!FPrjct) return;
    if (SaveTestDialog.Filters.isEmpty()) SaveTestDialog.Filters = SaveFilters;
    if (!FPrompts.FileDialog(this, SaveTestDialog)) return;
    const int code = (SaveTestDialog.FilterIndex < 0 ? 0 : SaveTestDialog.FilterIndex) + ft_IntelIntellec;
    TFileLoader::SaveFile(LocalPath(SaveTestDialog.FileName), FPrjct->FlashMemory, code);
    FlashViewer->RecreateCanvas();
}
