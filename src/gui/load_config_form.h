// The saved-configurations dialog: lists the subkeys of one registry key as
// named configurations, lets the operator pick one (open mode) or type a name
// (save mode) and delete entries. It also carries the open and save dialogs
// of project files. Where asked, it offers to merge a registry export file
// (".reg", for instance one made with regedit on Windows) into the hive, so
// that configurations kept on another computer come along.
#pragma once

#include "gui/user_prompts.h"

#include <QDialog>
#include <QString>

#include <exception>
#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

enum TLoadFunc { lf_open = 0, lf_save = 1 };

class TLoadConfigForm : public QDialog {
    Q_OBJECT

  public:
    // HiveFile: the registry file of the current user's hive, asked at each
    // use. Prompts: how the dialog itself and the file dialogs are run.
    TLoadConfigForm(QWidget* owner, std::function<std::string()> HiveFile, TUserPrompts Prompts);

    // Shows the dialog modally on the subkeys of aroot. True when closed with
    // OK; sectionname then holds the chosen entry (open mode) or the typed
    // name (save mode); otherwise it is left as it was. Registry errors,
    // also those of Delete and of a merge, are raised here.
    bool Execute(QString& sectionname, const std::string& aroot, TLoadFunc ALoadFunc);
    // Fills the list with the subkey names of ARoot (created when missing).
    void LoadConfigs(const std::string& ARoot);

    // Offers the "Merge Registry File..." button in the next showings.
    void SetMergeOffered(bool Value);

    // The project file dialogs (filter "Project File (*.prj)", default
    // extension "prj"); each keeps the file last chosen. The chosen file,
    // empty when cancelled.
    QString OpenProjectDialog();
    QString SaveProjectDialog();
    TFileRequest OpenDialog1;
    TFileRequest SaveDialog1;
    // The registry export files the merge offers.
    TFileRequest MergeDialog;

    // Whether OK may close the dialog now.
    bool OkAllowed() const;

    std::string Root;
    TLoadFunc LoadFunc = lf_open;

    QLabel* ConfigStorage;
    QListWidget* lbselect;
    QLineEdit* Edit1;
    QLabel* Label1;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    QPushButton* DeleteBtn;
    QPushButton* MergeBtn;

  private:
    void lbselectClick();
    void lbselectDblClick();
    void DeleteBtnClick();
    void MergeBtnClick();
    void UpdateButtons();
    // Runs a registry change inside the modal loop; a failure closes the
    // dialog and is raised again by Execute.
    void Guarded(const std::function<void()>& Change);

    std::string HiveFile() const { return FHiveFile(); }

    std::function<std::string()> FHiveFile;
    TUserPrompts FPrompts;
    std::exception_ptr FFailure;
};
