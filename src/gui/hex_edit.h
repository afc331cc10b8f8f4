// Single-line edit box holding one non-negative integer in base 16, 10, 8 or
// 2. Every keystroke, paste, cut and delete is judged by the text it would
// produce; an edit that would leave a malformed number, or one outside the
// range while validation is on, simply does not happen.
#pragma once

#include <QLineEdit>
#include <QString>

#include <array>

enum TEditBase { ebHex = 0, ebDec = 1, ebOct = 2, ebBin = 3 };

class THexEdit : public QLineEdit {
    Q_OBJECT

  public:
    // Radix per base.
    static constexpr std::array<int, 4> Base = {16, 10, 8, 2};

    explicit THexEdit(QWidget* owner = nullptr);

    // Changing the base keeps the value and rewrites the text.
    TEditBase NumBase() const { return FNumBase; }
    void SetNumBase(TEditBase b);
    // The text read in the current base; writing limits the value
    // (CheckValue) and writes it as text.
    int Value() const { return BaseStrToInt(text()); }
    void SetValue(int v);
    // The range, kept at 0 or above; it applies while Validate is on.
    // Changing either, or Validate, rewrites the text.
    int MinValue() const { return FMinValue; }
    void SetMinValue(int v);
    int MaxValue() const { return FMaxValue; }
    void SetMaxValue(int v);
    bool Validate() const { return FValidate; }
    void SetValidate(bool b);
    // The longest text typing and pasting may make (0: no limit). It limits
    // the operator only: a value written through SetValue (or a base
    // change) is shown whole however many digits it needs, so Value always
    // reads back what was set. (QLineEdit's own maximum length would cut
    // the text, and with it the value; it is managed here.)
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int n);
    // Select the whole text when focus arrives other than by the mouse.
    bool AutoSelect() const { return FAutoSelect; }
    void SetAutoSelect(bool b) { FAutoSelect = b; }

    // Digits to number in the current radix: upper-case digits, signed
    // 32-bit arithmetic that wraps; the empty text is 0.
    int BaseStrToInt(const QString& text) const;
    // Number to upper-case digits without leading zeros ("0" for zero).
    QString IntToBaseStr(int value) const;
    // Negative becomes 0; with validation, the value is clamped to the range.
    int CheckValue(int value) const;
    // Only digits of the current radix (upper case), and within the range
    // when validating (the empty text counts as 0).
    bool SyntaxOk(const QString& text) const;

  protected:
    // Whether a typed character (already upper-cased) or Backspace (code 8)
    // is accepted at the current caret and selection.
    virtual bool IsValidChar(QChar key);
    bool ValidCopy() const { return true; }
    bool ValidPaste() const;
    bool ValidCut() const;
    bool ValidDelete() const;

    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

  private:
    class TValidator;

    int Radix() const { return Base[FNumBase]; }
    // Caret and selection as start and length.
    void Selection(int& s, int& n) const;
    // Whether inserting text at the caret, replacing the selection, is valid.
    bool ValidInsert(const QString& text) const;
    // Whether a candidate text stays within MaxLength (or does not grow).
    bool FitsLength(const QString& candidate) const;
    // Shows Text, with room for all of it.
    void ShowText(const QString& Text);

    int FMinValue = 0;
    int FMaxValue = 0;
    bool FValidate = false;
    TEditBase FNumBase = ebHex;
    bool FAutoSelect = true;
    int FMaxLength = 0;
};
