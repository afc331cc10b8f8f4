#include "gui/auto_program_dialog.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <string>

namespace {
const char* const kSection = "AUTOPROGRAM";
} // namespace

const QStringList& TAutoProgramDialog::StepNames() {
    static const QStringList names{QStringLiteral("Reload Files"), QStringLiteral("Erase All"),
                                   QStringLiteral("Program Memory"), QStringLiteral("Memory Verification"),
                                   QStringLiteral("Increment Serial Number")};
    return names;
}

TAutoProgramDialog::TAutoProgramDialog(QWidget* owner, std::function<int(QDialog&)> Exec)
    : QDialog(owner), FExec(std::move(Exec)) {
    setWindowTitle(QStringLiteral("Auto Program Options"));
    // A fixed dialog border without the system close button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    CheckListBox1 = new QListWidget(this);
    for (const QString& name : StepNames()) {
        auto* item = new QListWidgetItem(name, CheckListBox1);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    auto* logLabel =
        new QLabel(QStringLiteral("Traceability log (one line per part, empty for none):"), this);
    LogFileEdit = new QLineEdit(this);
    logLabel->setBuddy(LogFileEdit);
    LogFileBrowse = new QPushButton(QStringLiteral("Browse..."), this);
    LogFileBrowse->setAutoDefault(false);
    auto* logRow = new QHBoxLayout;
    logRow->addWidget(LogFileEdit, 1);
    logRow->addWidget(LogFileBrowse);
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addStretch(1);
    auto* l = new QVBoxLayout(this);
    l->addWidget(CheckListBox1);
    l->addWidget(logLabel);
    l->addLayout(logRow);
    l->addLayout(buttons);
    // Every step shows without scrolling; the dialog keeps its size.
    CheckListBox1->setFixedHeight(CheckListBox1->sizeHintForRow(0) * StepCount +
                                  2 * CheckListBox1->frameWidth() + 4);
    l->setSizeConstraint(QLayout::SetFixedSize);

    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(LogFileBrowse, &QPushButton::clicked, this, [this] {
        const QString file =
            QFileDialog::getSaveFileName(this, QStringLiteral("Traceability log"), LogFileEdit->text(),
                                         QStringLiteral("JSON lines (*.jsonl);;All files (*)"), nullptr,
                                         QFileDialog::DontConfirmOverwrite);
        if (!file.isEmpty()) LogFileEdit->setText(file);
    });
}

QString TAutoProgramDialog::LogFile() const {
    return LogFileEdit->text().trimmed();
}

bool TAutoProgramDialog::Checked(int Step) const {
    const QListWidgetItem* item = CheckListBox1->item(Step);
    return item && item->checkState() == Qt::Checked;
}

void TAutoProgramDialog::SetChecked(int Step, bool Value) {
    if (QListWidgetItem* item = CheckListBox1->item(Step))
        item->setCheckState(Value ? Qt::Checked : Qt::Unchecked);
}

bool TAutoProgramDialog::AnyChecked() const {
    for (int i = 0; i < StepCount; ++i)
        if (Checked(i)) return true;
    return false;
}

void TAutoProgramDialog::LoadOptions(TISPSettings& ASettings) {
    FSettings = &ASettings;
    for (int i = 0; i < StepCount; ++i)
        SetChecked(i, ASettings.GetBoolean(kSection, std::to_string(i), false));
    LogFileEdit->setText(QString::fromStdString(ASettings.GetString(kSection, LogFileName, "")));
}

void TAutoProgramDialog::SaveOptions(TISPSettings& ASettings) {
    TISPSettings& store = FSettings ? *FSettings : ASettings;
    for (int i = 0; i < StepCount; ++i)
        store.SetSetting(kSection, std::to_string(i), ss_global, Checked(i));
    // The log file goes where the steps are (the registry, or a project
    // that made them its own), and only once there is one to remember.
    TSetScope scope = ss_global;
    bool known = false;
    for (const TSetting& s : store.Settings())
        if (s.Module == kSection) {
            if (s.Name == LogFileName) known = true;
            scope = s.Scope;
        }
    if (known || !LogFile().isEmpty())
        store.SetSetting(kSection, LogFileName, scope, LogFile().toStdString());
}

void TAutoProgramDialog::Execute(bool EEPROMEnabled, bool CanVerifyFlash, TISPSettings& ASettings) {
    (void)EEPROMEnabled;
    (void)CanVerifyFlash;
    LoadOptions(ASettings);
    const int result = FExec ? FExec(*this) : exec();
    if (result == QDialog::Accepted) SaveOptions(ASettings);
}
