#include "gui/isp_information.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFISPStat::TFISPStat(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("ISP Information"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    SoftRev = new QLabel(this);
    FirmRev = new QLabel(this);
    AddInfo = new QListWidget(this);
    CopyButton = new QPushButton(QStringLiteral("Copy to Clipboard"), this);
    CloseButton = new QPushButton(QStringLiteral("Close"), this);
    CloseButton->setDefault(true);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("ISP Version:"), SoftRev);
    form->addRow(QStringLiteral("Firmware Revision:"), FirmRev);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CopyButton);
    buttons->addWidget(CloseButton);
    auto* l = new QVBoxLayout(this);
    l->addLayout(form);
    l->addWidget(new QLabel(QStringLiteral("Additional Information:"), this));
    l->addWidget(AddInfo, 1);
    l->addLayout(buttons);
    // A fixed dialog border: the dialog is not resized.
    setFixedSize(420, 320);

    connect(CopyButton, &QPushButton::clicked, this, &TFISPStat::CopyToClipboard);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TFISPStat::Fill(const QString& ISPRev, const QString& FirmwareRev, const QStringList& AddInfoTxt) {
    SoftRev->setText(ISPRev);
    FirmRev->setText(FirmwareRev);
    AddInfo->addItems(AddInfoTxt);
}

QString TFISPStat::ClipboardText() const {
    QStringList lines{QStringLiteral("Norvo ISP Information"),
                      QStringLiteral("Norvo ISP Software Revision: ") + SoftRev->text(),
                      QStringLiteral("Norvo Firmware Revision: ") + FirmRev->text(),
                      QStringLiteral("Additional Information:")};
    for (int i = 0; i < AddInfo->count(); ++i)
        lines.append(AddInfo->item(i)->text());
    QString text;
    for (const QString& line : lines)
        text += line + QStringLiteral("\r\n");
    return text;
}

void TFISPStat::CopyToClipboard() {
    QGuiApplication::clipboard()->setText(ClipboardText());
}

TPrintStatusD::TPrintStatusD(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("Information"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    CopyButton = new QPushButton(QStringLiteral("Copy to Clipboard"), this);
    CloseButton = new QPushButton(QStringLiteral("Close"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CopyButton);
    buttons->addWidget(CloseButton);
    auto* l = new QVBoxLayout(this);
    l->addWidget(Memo1, 1);
    l->addLayout(buttons);
    resize(420, 320);

    connect(CopyButton, &QPushButton::clicked, this, &TPrintStatusD::CopyToClipboard);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TPrintStatusD::Fill(const QString& Caption, const QStringList& Lines) {
    if (!Caption.isEmpty()) setWindowTitle(Caption);
    Memo1->setPlainText(Lines.join(QLatin1Char('\n')));
}

void TPrintStatusD::CopyToClipboard() {
    Memo1->selectAll();
    Memo1->copy();
}
