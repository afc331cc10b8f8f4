// A driver's options form (programmer/options_form.h) as a dialog: one
// group box per group, a drop-down list, a row of radio buttons, a decimal
// edit or a paragraph per field, and "Ok" and "Cancel". Closed with "Ok",
// the fields get the operator's values.
#pragma once

#include "programmer/options_form.h"

#include <QDialog>

#include <functional>
#include <map>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QRadioButton;
class THexEdit;

class TOptionsFormDialog : public QDialog {
    Q_OBJECT

  public:
    // Exec runs the dialog modally.
    TOptionsFormDialog(QWidget* owner, const TOptionsForm& Form, std::function<int(QDialog&)> Exec);

    // Runs the dialog; true, with Form's fields set to the values chosen,
    // when it is closed with "Ok".
    bool Execute(TOptionsForm& Form);

    // The widgets of the fields, by key (nullptr when there is none such).
    QComboBox* ListField(const std::string& Key) const;
    QRadioButton* RadioField(const std::string& Key, int Index) const;
    THexEdit* NumberField(const std::string& Key) const;
    QLabel* NoteField(const std::string& Key) const;

  private:
    // The value the field's widget holds now.
    std::string ValueOf(const TOptionsField& Field) const;

    std::function<int(QDialog&)> FExec;
    std::map<std::string, QComboBox*> FLists;
    std::map<std::string, std::vector<QRadioButton*>> FRadios;
    std::map<std::string, THexEdit*> FNumbers;
    std::map<std::string, QLabel*> FNotes;
};
