#include "gui/load_config_form.h"

#include "settings/registry_hive.h"

#include <utility>

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TLoadConfigForm::TLoadConfigForm(QWidget* owner, std::function<std::string()> HiveFile, TUserPrompts Prompts)
    : QDialog(owner), FHiveFile(std::move(HiveFile)), FPrompts(std::move(Prompts)) {
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    for (TFileRequest* r : {&OpenDialog1, &SaveDialog1}) {
        r->Filters = {QStringLiteral("Project File (*.prj)")};
        r->DefaultSuffix = QStringLiteral("prj");
    }
    OpenDialog1.Title = QStringLiteral("Load Project Settings");
    SaveDialog1.Title = QStringLiteral("Save Project Settings");
    SaveDialog1.Save = true;
    MergeDialog.Title = QStringLiteral("Merge Registry File");
    MergeDialog.Filters = {QStringLiteral("Registry Files (*.reg)")};
    ConfigStorage = new QLabel(this);
    lbselect = new QListWidget(this);
    lbselect->setSelectionMode(QAbstractItemView::SingleSelection);
    Edit1 = new QLineEdit(this);
    Label1 = new QLabel(QStringLiteral("Enter a Name here for your configuration settings"), this);
    Label1->setBuddy(Edit1);
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    DeleteBtn = new QPushButton(QStringLiteral("Delete"), this);
    MergeBtn = new QPushButton(QStringLiteral("Merge Registry File..."), this);
    MergeBtn->setToolTip(QStringLiteral("Adds the configurations of a registry export file (.reg), for "
                                        "instance one made with regedit on another computer"));
    MergeBtn->hide();

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(MergeBtn);
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    buttons->addWidget(DeleteBtn);
    auto* l = new QVBoxLayout(this);
    l->addWidget(ConfigStorage);
    l->addWidget(lbselect, 1);
    l->addWidget(Edit1);
    l->addWidget(Label1);
    l->addLayout(buttons);
    resize(400, 320);

    connect(lbselect, &QListWidget::itemClicked, this, &TLoadConfigForm::lbselectClick);
    connect(lbselect, &QListWidget::itemDoubleClicked, this, &TLoadConfigForm::lbselectDblClick);
    connect(lbselect, &QListWidget::itemSelectionChanged, this, &TLoadConfigForm::UpdateButtons);
    connect(Edit1, &QLineEdit::textChanged, this, &TLoadConfigForm::UpdateButtons);
    connect(OKBtn, &QPushButton::clicked, this, [this] {
        if (OkAllowed()) accept();
    });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(DeleteBtn, &QPushButton::clicked, this, &TLoadConfigForm::DeleteBtnClick);
    connect(MergeBtn, &QPushButton::clicked, this, &TLoadConfigForm::MergeBtnClick);
    UpdateButtons();
}

void TLoadConfigForm::SetMergeOffered(bool Value) {
    MergeBtn->setVisible(Value);
}

bool TLoadConfigForm::Execute(QString& sectionname, const std::string& aroot, TLoadFunc ALoadFunc) {
    LoadFunc = ALoadFunc;
    FFailure = nullptr;
    if (LoadFunc == lf_open) {
        setWindowTitle(QStringLiteral("Load Configuration"));
        ConfigStorage->setText(QStringLiteral("Click here to restore previously saved configurations"));
        Edit1->clear();
        Edit1->setReadOnly(true);
    } else {
        setWindowTitle(QStringLiteral("Save Configuration"));
        ConfigStorage->setText(QStringLiteral("Click here to overwrite a previously saved configuration"));
        Edit1->clear();
        Edit1->setReadOnly(false);
    }
    LoadConfigs(aroot);
    if (LoadFunc == lf_save) Edit1->setText(sectionname);
    UpdateButtons();

    const int result = FPrompts.ExecDialog ? FPrompts.ExecDialog(*this) : exec();
    if (FFailure) std::rethrow_exception(std::exchange(FFailure, nullptr));
    if (result != QDialog::Accepted || !OkAllowed()) return false;
    if (LoadFunc == lf_open)
        sectionname = lbselect->selectedItems().first()->text();
    else
        sectionname = Edit1->text();
    return true;
}

void TLoadConfigForm::LoadConfigs(const std::string& ARoot) {
    lbselect->clear();
    Root = ARoot;
    TRegistryHive hive(HiveFile());
    hive.Load();
    if (!hive.KeyExists(Root)) {
        hive.CreateKey(Root);
        hive.Save();
    }
    for (const std::string& name : hive.GetKeyNames(Root))
        lbselect->addItem(QString::fromStdString(name));
    lbselect->setCurrentRow(-1);
    lbselect->clearSelection();
    UpdateButtons();
}

bool TLoadConfigForm::OkAllowed() const {
    if (LoadFunc == lf_open) return !lbselect->selectedItems().isEmpty();
    return !Edit1->text().isEmpty();
}

void TLoadConfigForm::UpdateButtons() {
    OKBtn->setEnabled(OkAllowed());
    DeleteBtn->setEnabled(!lbselect->selectedItems().isEmpty());
}

void TLoadConfigForm::lbselectClick() {
    if (QListWidgetItem* item = lbselect->currentItem()) Edit1->setText(item->text());
    UpdateButtons();
}

void TLoadConfigForm::lbselectDblClick() {
    QListWidgetItem* item = lbselect->currentItem();
    if (item && !item->text().isEmpty()) {
        Edit1->setText(item->text());
        if (OkAllowed()) accept();
    }
}

void TLoadConfigForm::Guarded(const std::function<void()>& Change) {
    try {
        Change();
    } catch (...) {
        FFailure = std::current_exception();
        reject();
    }
}

void TLoadConfigForm::DeleteBtnClick() {
    const QList<QListWidgetItem*> selected = lbselect->selectedItems();
    if (selected.isEmpty()) return;
    const std::string name = selected.first()->text().toStdString();
    Guarded([&] {
        TRegistryHive hive(HiveFile());
        hive.Load();
        hive.DeleteKey(Root + '\\' + name);
        hive.Save();
        LoadConfigs(Root);
    });
}

void TLoadConfigForm::MergeBtnClick() {
    if (!FPrompts.FileDialog(this, MergeDialog)) return;
    const std::string file = MergeDialog.FileName.toStdString();
    Guarded([&] {
        TRegistryHive hive(HiveFile());
        hive.Load();
        hive.MergeFile(file);
        hive.Save();
        LoadConfigs(Root);
    });
}

QString TLoadConfigForm::OpenProjectDialog() {
    return FPrompts.FileDialog(parentWidget(), OpenDialog1) ? OpenDialog1.FileName : QString();
}

QString TLoadConfigForm::SaveProjectDialog() {
    return FPrompts.FileDialog(parentWidget(), SaveDialog1) ? SaveDialog1.FileName : QString();
}
