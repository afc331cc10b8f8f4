#include "gui/hex_edit.h"

#include <QClipboard>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QValidator>

#include <algorithm>
#include <cstdint>

// Every change of the text, whichever way it comes (keys, context menu,
// drag and drop, undo), is judged by the text it produces. The key handling
// below judges the common edits before they reach the edit control; this is
// the net under the rest.
class THexEdit::TValidator : public QValidator {
  public:
    explicit TValidator(THexEdit* owner) : QValidator(owner), FOwner(owner) {}
    State validate(QString& input, int&) const override {
        return FOwner->SyntaxOk(input) ? Acceptable : Invalid;
    }

  private:
    THexEdit* FOwner;
};

THexEdit::THexEdit(QWidget* owner) : QLineEdit(owner) {
    setValidator(new TValidator(this));
    SetValue(0);
}

int THexEdit::BaseStrToInt(const QString& text) const {
    std::uint32_t result = 0;
    const auto radix = static_cast<std::uint32_t>(Radix());
    for (QChar c : text) {
        auto d = static_cast<std::uint8_t>(c.unicode() - 48);
        if (d > 10) d = static_cast<std::uint8_t>(d - 7);
        result = result * radix + d;
    }
    return static_cast<std::int32_t>(result);
}

QString THexEdit::IntToBaseStr(int value) const {
    auto v = static_cast<std::uint32_t>(value < 0 ? 0 : value);
    const auto radix = static_cast<std::uint32_t>(Radix());
    QString s;
    do {
        const auto digit = static_cast<int>(v % radix);
        s.prepend(QChar(digit < 10 ? '0' + digit : 'A' + digit - 10));
        v /= radix;
    } while (v != 0);
    return s;
}

int THexEdit::CheckValue(int value) const {
    if (value < 0) value = 0;
    if (!FValidate) return value;
    if (value < FMinValue) value = FMinValue;
    if (value > FMaxValue) value = FMaxValue;
    return value;
}

bool THexEdit::SyntaxOk(const QString& text) const {
    for (QChar c : text) {
        int digit;
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digit = c.unicode() - '0';
        else if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
            digit = c.unicode() - 'A' + 10;
        else
            return false;
        if (digit >= Radix()) return false;
    }
    if (FValidate) {
        const int v = BaseStrToInt(text);
        if (v < FMinValue || v > FMaxValue) return false;
    }
    return true;
}

void THexEdit::ShowText(const QString& Text) {
    const int room = FMaxLength > 0 ? std::max<int>(FMaxLength, static_cast<int>(Text.size())) : 32767;
    if (maxLength() != room) QLineEdit::setMaxLength(room);
    setText(Text);
}

void THexEdit::SetValue(int v) {
    ShowText(IntToBaseStr(CheckValue(v)));
}

void THexEdit::SetMaxLength(int n) {
    FMaxLength = n < 0 ? 0 : n;
    ShowText(text());
}

bool THexEdit::FitsLength(const QString& candidate) const {
    return FMaxLength <= 0 || candidate.size() <= FMaxLength || candidate.size() <= text().size();
}

void THexEdit::SetNumBase(TEditBase b) {
    const int v = Value();
    FNumBase = b;
    SetValue(v);
}

void THexEdit::SetMinValue(int v) {
    FMinValue = v < 0 ? 0 : v;
    SetValue(Value());
}

void THexEdit::SetMaxValue(int v) {
    FMaxValue = v < 0 ? 0 : v;
    SetValue(Value());
}

void THexEdit::SetValidate(bool b) {
    FValidate = b;
    SetValue(Value());
}

void THexEdit::Selection(int& s, int& n) const {
    if (hasSelectedText()) {
        s = selectionStart();
        n = static_cast<int>(selectedText().size());
    } else {
        s = cursorPosition();
        n = 0;
    }
}

bool THexEdit::ValidInsert(const QString& inserted) const {
    int s, n;
    Selection(s, n);
    const QString t = text();
    const QString candidate = t.left(s) + inserted + t.mid(s + n);
    return FitsLength(candidate) && SyntaxOk(candidate);
}

bool THexEdit::IsValidChar(QChar key) {
    int s, n;
    Selection(s, n);
    const QString t = text();
    if (key == QChar(8)) {
        if (n > 0) return SyntaxOk(t.left(s) + t.mid(s + n));
        return SyntaxOk(t.left(s > 0 ? s - 1 : 0) + t.mid(s));
    }
    const bool digit = (key >= QLatin1Char('0') && key <= QLatin1Char('9')) ||
                       (key >= QLatin1Char('A') && key <= QLatin1Char('F'));
    return digit && ValidInsert(QString(key));
}

bool THexEdit::ValidPaste() const {
    const QClipboard* clip = QGuiApplication::clipboard();
    const QString pasted = clip ? clip->text() : QString();
    if (pasted.isEmpty()) return false;
    // Judged by what the paste really leaves: the selection is replaced.
    return ValidInsert(pasted);
}

bool THexEdit::ValidCut() const {
    return ValidInsert(QString());
}

bool THexEdit::ValidDelete() const {
    int s, n;
    Selection(s, n);
    const QString t = text();
    if (n > 0) return SyntaxOk(t.left(s) + t.mid(s + n));
    return SyntaxOk(t.left(s) + t.mid(s + 1));
}

void THexEdit::keyPressEvent(QKeyEvent* e) {
    if (isReadOnly()) {
        QLineEdit::keyPressEvent(e);
        return;
    }
    const Qt::KeyboardModifiers m = e->modifiers();
    const int key = e->key();
    // A rejected edit is swallowed: neither the edit nor anyone else sees it.
    auto run = [e](bool allowed, auto&& edit) {
        if (allowed) edit();
        e->accept();
    };

    if (key == Qt::Key_Insert && (m & Qt::ShiftModifier)) return run(ValidPaste(), [this] { paste(); });
    if (key == Qt::Key_Delete && (m & Qt::ShiftModifier)) return run(ValidCut(), [this] { cut(); });
    if (key == Qt::Key_Insert && (m & Qt::ControlModifier)) return run(ValidCopy(), [this] { copy(); });
    // Delete and Ctrl+Delete remove the selection or one character.
    if (key == Qt::Key_Delete) return run(ValidDelete(), [this] { del(); });
    if (e->matches(QKeySequence::Copy)) return run(ValidCopy(), [this] { copy(); });
    if (e->matches(QKeySequence::Paste)) return run(ValidPaste(), [this] { paste(); });
    if (e->matches(QKeySequence::Cut)) return run(ValidCut(), [this] { cut(); });
    if (key == Qt::Key_Backspace) return run(IsValidChar(QChar(8)), [this] { backspace(); });

    const QString typed = e->text();
    const bool printable = !typed.isEmpty() && typed.front().unicode() >= 32 && typed.front() != QChar(0x7F);
    if (printable && !(m & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        const QString upper = typed.toUpper();
        bool ok = true;
        for (QChar c : upper)
            ok = ok && c != QChar(8) && IsValidChar(c);
        if (upper.size() > 1) ok = ok && ValidInsert(upper);
        if (!ok) {
            e->accept();
            return;
        }
        QKeyEvent up(e->type(), key, m, upper, e->isAutoRepeat(), static_cast<quint16>(e->count()));
        QLineEdit::keyPressEvent(&up);
        e->setAccepted(up.isAccepted());
        return;
    }
    // Movement, selection, Enter, Escape, undo and the rest: the edit
    // control handles them; any text change they make is judged as well.
    QLineEdit::keyPressEvent(e);
}

void THexEdit::focusInEvent(QFocusEvent* e) {
    const bool hadSelection = hasSelectedText();
    QLineEdit::focusInEvent(e);
    const Qt::FocusReason r = e->reason();
    if (r == Qt::PopupFocusReason || r == Qt::ActiveWindowFocusReason) return;
    const bool byMouse = r == Qt::MouseFocusReason || (QGuiApplication::mouseButtons() & Qt::LeftButton);
    if (FAutoSelect && !byMouse)
        selectAll();
    else if (!FAutoSelect && !hadSelection && hasSelectedText())
        deselect();
}

void THexEdit::focusOutEvent(QFocusEvent* e) {
    // Leaving the box tidies the text: no leading zeros, 0 for an empty text,
    // the range applied. A menu or another window taking focus is no leaving.
    const Qt::FocusReason r = e->reason();
    if (r != Qt::PopupFocusReason && r != Qt::ActiveWindowFocusReason) {
        const QString tidy = IntToBaseStr(CheckValue(Value()));
        if (tidy != text()) ShowText(tidy);
    }
    QLineEdit::focusOutEvent(e);
}
