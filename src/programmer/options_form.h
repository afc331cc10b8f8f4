// An options dialog described as data: the driver fills in the fields with
// the present values, the front end renders the form (the window as a
// dialog with "Ok" and "Cancel") and hands the operator's values back in
// the same fields. A kind with options of its own needs nothing of a front
// end but this.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TOptionsChoice {
    std::string Text;  // as shown
    std::string Value; // as handed back
};

struct TOptionsField {
    enum TType : std::uint8_t {
        of_List,   // a drop-down list of Choices
        of_Radio,  // one button per choice, in a row
        of_Number, // a decimal number after Label
        of_Note,   // Label as a paragraph of text
    };
    TType Type = of_Note;
    // Names the field's value.
    std::string Key;
    // Before a number; the text of a note.
    std::string Label;
    std::vector<TOptionsChoice> Choices;
    // The value: a choice's Value, or the number in decimal. A list whose
    // choices do not hold it shows its first.
    std::string Value;

    // The value as a number; Default when it is no number.
    long Number(long Default) const;
};

struct TOptionsGroup {
    std::string Title; // "" : the fields stand without a frame
    std::vector<TOptionsField> Fields;
};

struct TOptionsForm {
    std::string Title;
    std::vector<TOptionsGroup> Groups;

    // The field named Key; nullptr when there is none.
    TOptionsField* Field(const std::string& Key);
    const TOptionsField* Field(const std::string& Key) const;
    // Its value; "" when there is no such field.
    std::string Value(const std::string& Key) const;
    // Its value as a number; Default when there is no such field or the
    // value is no number.
    long Number(const std::string& Key, long Default) const;
};
