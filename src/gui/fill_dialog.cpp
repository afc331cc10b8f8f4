#include "gui/fill_dialog.h"

#include "gui/hex_edit.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstdint>

TFillDialog::TFillDialog(QWidget* owner, THost Host) : QDialog(owner), FHost(std::move(Host)) {
    setWindowTitle(QStringLiteral("Fill"));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    Label1 = new QLabel(QStringLiteral("Start Address"), this);
    StartAddr = new THexEdit(this);
    Label2 = new QLabel(QStringLiteral("End Address"), this);
    EndAddr = new THexEdit(this);
    Label3 = new QLabel(QStringLiteral("Fill With"), this);
    FillByte = new THexEdit(this);
    Label1->setBuddy(StartAddr);
    Label2->setBuddy(EndAddr);
    Label3->setBuddy(FillByte);
    Button1 = new QPushButton(QStringLiteral("Fill"), this);
    Button2 = new QPushButton(QStringLiteral("Cancel"), this);

    auto* grid = new QGridLayout;
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(StartAddr, 0, 1);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(EndAddr, 1, 1);
    grid->addWidget(Label3, 2, 0);
    grid->addWidget(FillByte, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* l = new QVBoxLayout(this);
    l->addLayout(grid);
    l->addLayout(buttons);

    connect(Button1, &QPushButton::clicked, this, &TFillDialog::GuardedFill);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TFillDialog::FormShow() {
    THexList* buffer = FHost.MainBuffer ? FHost.MainBuffer() : nullptr;
    StartAddr->SetValue(0);
    // An empty buffer has no last byte; its end reads as 0.
    EndAddr->SetValue(buffer ? static_cast<int>(buffer->Size()) - 1 : 0);
    Button1->setFocus();
}

void TFillDialog::Button1Click() {
    if (THexList* buffer = FHost.MainBuffer ? FHost.MainBuffer() : nullptr)
        buffer->Fill(StartAddr->Value(), EndAddr->Value(),
                     static_cast<std::uint8_t>(FillByte->Value() & 0xFF));
    accept();
}

void TFillDialog::GuardedFill() {
    try {
        Button1Click();
    } catch (const std::exception& e) {
        if (FHost.ReportError) FHost.ReportError(e);
    }
}

void TFillDialog::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    FormShow();
}

void TFillDialog::keyReleaseEvent(QKeyEvent* e) {
    // Only a key that reaches the form itself: not one passed on by a box.
    const QWidget* focus = QApplication::focusWidget();
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && (focus == nullptr || focus == this)) {
        GuardedFill();
        return;
    }
    QDialog::keyReleaseEvent(e);
}
