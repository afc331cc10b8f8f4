#include "gui/options_form_dialog.h"

#include "gui/hex_edit.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

TOptionsFormDialog::TOptionsFormDialog(QWidget* owner, const TOptionsForm& Form,
                                       std::function<int(QDialog&)> Exec)
    : QDialog(owner), FExec(std::move(Exec)) {
    setWindowTitle(Text(Form.Title));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    auto* layout = new QVBoxLayout(this);
    for (const TOptionsGroup& g : Form.Groups) {
        QWidget* box = this;
        QVBoxLayout* fields = layout;
        if (!g.Title.empty()) {
            box = new QGroupBox(Text(g.Title), this);
            fields = new QVBoxLayout(box);
            layout->addWidget(box);
        }
        for (const TOptionsField& f : g.Fields) {
            switch (f.Type) {
            case TOptionsField::of_List: {
                auto* list = new QComboBox(box);
                list->setEditable(false);
                for (const TOptionsChoice& c : f.Choices)
                    list->addItem(Text(c.Text), Text(c.Value));
                list->setCurrentIndex(std::max(0, list->findData(Text(f.Value))));
                fields->addWidget(list);
                FLists[f.Key] = list;
                break;
            }
            case TOptionsField::of_Radio: {
                auto* row = new QHBoxLayout;
                auto& buttons = FRadios[f.Key];
                for (const TOptionsChoice& c : f.Choices) {
                    auto* b = new QRadioButton(Text(c.Text), box);
                    b->setChecked(c.Value == f.Value);
                    row->addWidget(b);
                    buttons.push_back(b);
                }
                row->addStretch(1);
                fields->addLayout(row);
                break;
            }
            case TOptionsField::of_Number: {
                auto* row = new QHBoxLayout;
                auto* label = new QLabel(Text(f.Label), box);
                auto* edit = new THexEdit(box);
                edit->SetNumBase(ebDec);
                edit->SetValidate(false);
                edit->SetValue(static_cast<int>(f.Number(0)));
                label->setBuddy(edit);
                row->addWidget(label);
                row->addWidget(edit);
                row->addStretch(1);
                fields->addLayout(row);
                FNumbers[f.Key] = edit;
                break;
            }
            case TOptionsField::of_Note: {
                auto* note = new QLabel(Text(f.Label), box);
                note->setWordWrap(true);
                fields->addWidget(note);
                FNotes[f.Key] = note;
                break;
            }
            }
        }
    }
    auto* ok = new QPushButton(QStringLiteral("Ok"), this);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
}

bool TOptionsFormDialog::Execute(TOptionsForm& Form) {
    const int result = FExec ? FExec(*this) : exec();
    if (result != QDialog::Accepted) return false;
    for (TOptionsGroup& g : Form.Groups)
        for (TOptionsField& f : g.Fields)
            if (f.Type != TOptionsField::of_Note) f.Value = ValueOf(f);
    return true;
}

std::string TOptionsFormDialog::ValueOf(const TOptionsField& Field) const {
    switch (Field.Type) {
    case TOptionsField::of_List:
        return ListField(Field.Key)->currentData().toString().toStdString();
    case TOptionsField::of_Radio:
        for (std::size_t i = 0; i < Field.Choices.size(); ++i)
            if (RadioField(Field.Key, static_cast<int>(i))->isChecked()) return Field.Choices[i].Value;
        return Field.Value;
    case TOptionsField::of_Number:
        return std::to_string(NumberField(Field.Key)->Value());
    case TOptionsField::of_Note:
        break;
    }
    return Field.Value;
}

QComboBox* TOptionsFormDialog::ListField(const std::string& Key) const {
    const auto i = FLists.find(Key);
    return i == FLists.end() ? nullptr : i->second;
}

QRadioButton* TOptionsFormDialog::RadioField(const std::string& Key, int Index) const {
    const auto i = FRadios.find(Key);
    if (i == FRadios.end() || Index < 0 || Index >= static_cast<int>(i->second.size())) return nullptr;
    return i->second[static_cast<std::size_t>(Index)];
}

THexEdit* TOptionsFormDialog::NumberField(const std::string& Key) const {
    const auto i = FNumbers.find(Key);
    return i == FNumbers.end() ? nullptr : i->second;
}

QLabel* TOptionsFormDialog::NoteField(const std::string& Key) const {
    const auto i = FNotes.find(Key);
    return i == FNotes.end() ? nullptr : i->second;
}
