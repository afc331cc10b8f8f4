// The numeric edit: which keystrokes, pastes, cuts and deletes get through,
// conversions between bases, and the tidying when the box is left.
#include "gui/hex_edit.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QSignalSpy>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(TEditBase)

class HexEditTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<THexEdit> edit;

    // Text with the caret at pos, or with [selStart, selStart + selLen) selected.
    void Prepare(const QString& text, int pos, int selStart = -1, int selLen = 0) {
        edit->setText(text);
        if (selStart >= 0)
            edit->setSelection(selStart, selLen);
        else
            edit->setCursorPosition(pos);
    }
    void Leave() {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(edit.get(), &out);
    }

  private slots:
    void init() {
        edit = std::make_unique<THexEdit>();
        edit->show();
        QVERIFY(QTest::qWaitForWindowExposed(edit.get()));
    }
    void cleanup() { edit.reset(); }

    void defaults() {
        QCOMPARE(edit->NumBase(), ebHex);
        QCOMPARE(edit->text(), QStringLiteral("0"));
        QCOMPARE(edit->Value(), 0);
        QCOMPARE(edit->MinValue(), 0);
        QCOMPARE(edit->MaxValue(), 0);
        QVERIFY(!edit->Validate());
    }

    void typing_data() {
        QTest::addColumn<TEditBase>("base");
        QTest::addColumn<bool>("validate");
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("caret");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("hex digits, lower case raised") << ebHex << false << 0 << 0 << "" << 0 << "1f"
                                                       << "1F";
        QTest::newRow("hex rejects G") << ebHex << false << 0 << 0 << "A" << 1 << "G"
                                       << "A";
        QTest::newRow("decimal rejects A") << ebDec << false << 0 << 0 << "12" << 2 << "A"
                                           << "12";
        QTest::newRow("octal rejects 8") << ebOct << false << 0 << 0 << "7" << 1 << "8"
                                         << "7";
        QTest::newRow("binary rejects 2") << ebBin << false << 0 << 0 << "1" << 1 << "21"
                                          << "11";
        QTest::newRow("other characters rejected") << ebHex << false << 0 << 0 << "1" << 1 << " -x."
                                                   << "1";
        QTest::newRow("inserted at the caret") << ebDec << false << 0 << 0 << "19" << 1 << "5"
                                               << "159";
        QTest::newRow("range: FF then 0 rejected") << ebHex << true << 0 << 255 << "FF" << 2 << "0"
                                                   << "FF";
        QTest::newRow("range: below the minimum rejected") << ebHex << true << 16 << 255 << "" << 0 << "2"
                                                           << "";
        QTest::newRow("range: reaching the minimum") << ebHex << true << 16 << 255 << "1" << 1 << "0"
                                                     << "10";
        QTest::newRow("no range without validation") << ebHex << false << 0 << 255 << "FF" << 2 << "0"
                                                     << "FF0";
    }
    void typing() {
        QFETCH(TEditBase, base);
        QFETCH(bool, validate);
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(QString, start);
        QFETCH(int, caret);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        edit->SetNumBase(base);
        edit->SetMaxValue(max);
        edit->SetMinValue(min);
        edit->SetValidate(validate);
        Prepare(start, caret);
        QTest::keyClicks(edit.get(), typed);
        QCOMPARE(edit->text(), expected);
    }

    void rejectedKeysReachNoHandler() {
        QSignalSpy changed(edit.get(), &QLineEdit::textChanged);
        QSignalSpy edited(edit.get(), &QLineEdit::textEdited);
        edit->SetNumBase(ebDec);
        Prepare(QStringLiteral("5"), 1);
        changed.clear();
        QTest::keyClicks(edit.get(), QStringLiteral("xA"));
        QCOMPARE(changed.count(), 0);
        QCOMPARE(edited.count(), 0);
        QTest::keyClicks(edit.get(), QStringLiteral("7"));
        QCOMPARE(edited.count(), 1);
        QCOMPARE(edit->text(), QStringLiteral("57"));
    }

    void deletions_data() {
        QTest::addColumn<int>("min");
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("caret");
        QTest::addColumn<int>("selStart");
        QTest::addColumn<int>("selLen");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("mods");
        QTest::addColumn<QString>("expected");
        // Hex, validation on, range min..255.
        const int none = Qt::NoModifier;
        const int bs = Qt::Key_Backspace, del = Qt::Key_Delete;
        QTest::newRow("Backspace allowed") << 0 << "FF" << 2 << -1 << 0 << bs << none << "F";
        QTest::newRow("Backspace below the minimum rejected")
            << 16 << "1F" << 2 << -1 << 0 << bs << none << "1F";
        QTest::newRow("Backspace at the start changes nothing")
            << 16 << "1F" << 0 << -1 << 0 << bs << none << "1F";
        QTest::newRow("Backspace removes the selection") << 0 << "FF" << 0 << 0 << 1 << bs << none << "F";
        QTest::newRow("Delete at the caret") << 0 << "F0" << 0 << -1 << 0 << del << none << "0";
        QTest::newRow("Delete after the caret") << 0 << "FF" << 1 << -1 << 0 << del << none << "F";
        QTest::newRow("Delete below the minimum rejected")
            << 16 << "10" << 0 << -1 << 0 << del << none << "10";
        QTest::newRow("Ctrl+Delete removes one character")
            << 0 << "FF" << 0 << -1 << 0 << del << int(Qt::ControlModifier) << "F";
        QTest::newRow("Delete removes the selection") << 0 << "AB" << 0 << 1 << 1 << del << none << "A";
        QTest::newRow("Delete of a selection below the minimum rejected")
            << 16 << "10" << 0 << 0 << 1 << del << none << "10";
        QTest::newRow("Cut (Ctrl+X)")
            << 0 << "AB" << 0 << 1 << 1 << int(Qt::Key_X) << int(Qt::ControlModifier) << "A";
        QTest::newRow("Cut (Shift+Delete) below the minimum rejected")
            << 16 << "1F" << 0 << 0 << 1 << del << int(Qt::ShiftModifier) << "1F";
    }
    void deletions() {
        QFETCH(int, min);
        QFETCH(QString, start);
        QFETCH(int, caret);
        QFETCH(int, selStart);
        QFETCH(int, selLen);
        QFETCH(int, key);
        QFETCH(int, mods);
        QFETCH(QString, expected);
        edit->SetMaxValue(255);
        edit->SetMinValue(min);
        edit->SetValidate(true);
        Prepare(start, caret, selStart, selLen);
        QTest::keyClick(edit.get(), static_cast<Qt::Key>(key), Qt::KeyboardModifiers(mods));
        QCOMPARE(edit->text(), expected);
    }

    void paste_data() {
        QTest::addColumn<bool>("validate");
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("caret");
        QTest::addColumn<int>("selLen");
        QTest::addColumn<QString>("clip");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("mods");
        QTest::addColumn<QString>("expected");
        const int ctrl = Qt::ControlModifier;
        QTest::newRow("into the middle")
            << false << "AB" << 1 << 0 << "12" << int(Qt::Key_V) << ctrl << "A12B";
        QTest::newRow("Shift+Insert")
            << false << "AB" << 1 << 0 << "12" << int(Qt::Key_Insert) << int(Qt::ShiftModifier) << "A12B";
        QTest::newRow("lower case rejected")
            << false << "AB" << 1 << 0 << "ab" << int(Qt::Key_V) << ctrl << "AB";
        QTest::newRow("non-digits rejected")
            << false << "AB" << 1 << 0 << "1 2" << int(Qt::Key_V) << ctrl << "AB";
        QTest::newRow("empty clipboard rejected")
            << false << "AB" << 1 << 0 << "" << int(Qt::Key_V) << ctrl << "AB";
        QTest::newRow("out of range rejected")
            << true << "F" << 1 << 0 << "F0" << int(Qt::Key_V) << ctrl << "F";
        // Judged by what the paste leaves: the selection is replaced.
        QTest::newRow("over a selection, judged by the result")
            << true << "FF" << 0 << 2 << "1" << int(Qt::Key_V) << ctrl << "1";
    }
    void paste() {
        QFETCH(bool, validate);
        QFETCH(QString, start);
        QFETCH(int, caret);
        QFETCH(int, selLen);
        QFETCH(QString, clip);
        QFETCH(int, key);
        QFETCH(int, mods);
        QFETCH(QString, expected);
        edit->SetMaxValue(255);
        edit->SetValidate(validate);
        if (clip.isEmpty())
            QApplication::clipboard()->clear();
        else
            QApplication::clipboard()->setText(clip);
        if (selLen > 0)
            Prepare(start, 0, caret, selLen);
        else
            Prepare(start, caret);
        QTest::keyClick(edit.get(), static_cast<Qt::Key>(key), Qt::KeyboardModifiers(mods));
        QCOMPARE(edit->text(), expected);
    }

    void copyIsAlwaysAllowed() {
        edit->setText(QStringLiteral("BEEF"));
        edit->selectAll();
        QTest::keyClick(edit.get(), Qt::Key_Insert, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("BEEF"));
        QCOMPARE(edit->text(), QStringLiteral("BEEF"));
    }

    void editsOutsideTheKeysAreJudgedToo() {
        edit->SetNumBase(ebOct);
        edit->setText(QStringLiteral("17"));
        edit->setCursorPosition(2);
        edit->insert(QStringLiteral("9"));
        QCOMPARE(edit->text(), QStringLiteral("17"));
        edit->insert(QStringLiteral("6"));
        QCOMPARE(edit->text(), QStringLiteral("176"));
    }

    void baseChanges() {
        edit->clear();
        QTest::keyClicks(edit.get(), QStringLiteral("1f"));
        QCOMPARE(edit->text(), QStringLiteral("1F"));
        QCOMPARE(edit->Value(), 31);
        edit->SetNumBase(ebOct);
        QCOMPARE(edit->text(), QStringLiteral("37"));
        edit->SetNumBase(ebDec);
        QCOMPARE(edit->text(), QStringLiteral("31"));
        edit->SetNumBase(ebHex);
        edit->setText(QStringLiteral("5"));
        edit->SetNumBase(ebBin);
        QCOMPARE(edit->text(), QStringLiteral("101"));
        QCOMPARE(edit->Value(), 5);
    }

    // MaxLength limits typing only: a value set or carried through a base
    // change keeps every digit, so the value reads back exactly.
    void maxLengthCutsNoValue() {
        edit->SetMaxLength(8);
        for (const int v : {0x1234, 0xFF, 0x100, 0x12345678, 0x7FFFFFFF, 256, 99999999}) {
            edit->SetNumBase(ebHex);
            edit->SetValue(v);
            for (const TEditBase b : {ebBin, ebOct, ebDec, ebHex, ebBin, ebDec, ebOct, ebHex}) {
                edit->SetNumBase(b);
                QCOMPARE(edit->Value(), v);
                QCOMPARE(edit->text(), edit->IntToBaseStr(v));
            }
            Leave(); // leaving rewrites the text: still whole
            QCOMPARE(edit->Value(), v);
        }
        // Hex 1234 in binary is 13 digits, not the 8 the box takes by typing.
        edit->SetNumBase(ebHex);
        edit->SetValue(0x1234);
        edit->SetNumBase(ebBin);
        QCOMPARE(edit->text(), QStringLiteral("1001000110100"));

        // Typing cannot grow a text past 8 digits, nor a longer one further.
        edit->SetValue(256);
        QCOMPARE(edit->text(), QStringLiteral("100000000"));
        edit->setCursorPosition(9);
        QTest::keyClick(edit.get(), Qt::Key_1);
        QCOMPARE(edit->text(), QStringLiteral("100000000"));
        edit->setSelection(8, 1); // replacing keeps the length: allowed
        QTest::keyClick(edit.get(), Qt::Key_1);
        QCOMPARE(edit->text(), QStringLiteral("100000001"));
        QTest::keyClick(edit.get(), Qt::Key_Backspace);
        QTest::keyClick(edit.get(), Qt::Key_Backspace);
        QTest::keyClick(edit.get(), Qt::Key_1);
        QCOMPARE(edit->text(), QStringLiteral("10000001"));
        QTest::keyClick(edit.get(), Qt::Key_1);
        QCOMPARE(edit->text(), QStringLiteral("10000001"));
    }

    void valueRules() {
        edit->SetValue(-5);
        QCOMPARE(edit->text(), QStringLiteral("0"));
        edit->SetMaxValue(-1);
        QCOMPARE(edit->MaxValue(), 0);
        edit->SetMinValue(-3);
        QCOMPARE(edit->MinValue(), 0);
        // The range applies only with validation; turning it on clamps.
        edit->SetMaxValue(100);
        edit->SetValue(0x1234);
        QCOMPARE(edit->text(), QStringLiteral("1234"));
        edit->SetValidate(true);
        QCOMPARE(edit->Value(), 100);
        QCOMPARE(edit->text(), QStringLiteral("64"));
        edit->SetMinValue(200);
        QCOMPARE(edit->Value(), 100); // clamped to the minimum, then to the maximum
        edit->SetMaxValue(300);
        edit->SetValue(5);
        QCOMPARE(edit->Value(), 200);
    }

    void conversions_data() {
        QTest::addColumn<TEditBase>("base");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("roundTrip");
        QTest::newRow("empty") << ebHex << "" << 0 << false;
        QTest::newRow("hex") << ebHex << "7FFFFFFF" << 0x7FFFFFFF << true;
        QTest::newRow("hex, top bit wraps negative") << ebHex << "80000000" << int(0x80000000u) << false;
        QTest::newRow("hex, nine digits wrap") << ebHex << "100000001" << 1 << false;
        QTest::newRow("decimal") << ebDec << "2147483647" << 2147483647 << true;
        QTest::newRow("octal") << ebOct << "777" << 511 << true;
        QTest::newRow("binary") << ebBin << "10000000" << 128 << true;
        QTest::newRow("zero") << ebDec << "0" << 0 << true;
        QTest::newRow("hex letters") << ebHex << "ABCDEF" << 0xABCDEF << true;
        QTest::newRow("binary ten") << ebBin << "1010" << 10 << true;
    }
    void conversions() {
        QFETCH(TEditBase, base);
        QFETCH(QString, text);
        QFETCH(int, value);
        QFETCH(bool, roundTrip);
        edit->SetNumBase(base);
        QCOMPARE(edit->BaseStrToInt(text), value);
        if (roundTrip) QCOMPARE(edit->IntToBaseStr(value), text);
    }

    void leavingTidiesTheText_data() {
        QTest::addColumn<bool>("validate");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("leading zeros go") << false << "0F"
                                          << "F";
        QTest::newRow("empty becomes 0") << false << ""
                                         << "0";
        QTest::newRow("negative reading becomes 0") << false << "80000000"
                                                    << "0";
        QTest::newRow("clamped into the range") << true << ""
                                                << "10";
    }
    void leavingTidiesTheText() {
        QFETCH(bool, validate);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        edit->SetMaxValue(255);
        edit->SetMinValue(16);
        edit->SetValidate(validate);
        edit->setText(text);
        Leave();
        QCOMPARE(edit->text(), expected);
    }

    void menuTakingFocusDoesNotTidy() {
        edit->setText(QStringLiteral("0F"));
        QFocusEvent out(QEvent::FocusOut, Qt::PopupFocusReason);
        QApplication::sendEvent(edit.get(), &out);
        QCOMPARE(edit->text(), QStringLiteral("0F"));
    }

    void autoSelect() {
        edit->setText(QStringLiteral("1234"));
        edit->setCursorPosition(2);
        QFocusEvent byTab(QEvent::FocusIn, Qt::TabFocusReason);
        QApplication::sendEvent(edit.get(), &byTab);
        QCOMPARE(edit->selectedText(), QStringLiteral("1234"));

        edit->deselect();
        QFocusEvent byMouse(QEvent::FocusIn, Qt::MouseFocusReason);
        QApplication::sendEvent(edit.get(), &byMouse);
        QVERIFY(!edit->hasSelectedText());

        QFocusEvent byProgram(QEvent::FocusIn, Qt::OtherFocusReason);
        QApplication::sendEvent(edit.get(), &byProgram);
        QCOMPARE(edit->selectedText(), QStringLiteral("1234"));

        edit->SetAutoSelect(false);
        edit->deselect();
        QApplication::sendEvent(edit.get(), &byTab);
        QVERIFY(!edit->hasSelectedText());
    }

    void enterIsLeftToTheDialog() {
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        QSignalSpy pressed(edit.get(), &QLineEdit::returnPressed);
        QApplication::sendEvent(edit.get(), &enter);
        QVERIFY(!enter.isAccepted());
        QCOMPARE(pressed.count(), 1);
        QCOMPARE(edit->text(), QStringLiteral("0"));
    }
};

QTEST_MAIN(HexEditTest)
#include "hex_edit_test.moc"
