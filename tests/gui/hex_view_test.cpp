// The EEPROM hex view: keys, typing, clicks, scrolling, hints and what the
// paint puts on screen (checked on the rendered pixels).
#include "gui/hex_view.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <memory>

namespace {

constexpr int kRows = 20;

// A buffer whose byte i holds a value that tells the bytes apart.
void FillPattern(THexList& buf, std::uint32_t size) {
    buf.SetSize(size);
    for (std::uint32_t i = 0; i < size; ++i)
        buf.HexData[i] = static_cast<std::uint8_t>(i * 7 + 3);
}

// Colour classes of the rendered pixels.
struct TPalette {
    QColor back{Qt::white};
    QColor label{0xC0, 0x00, 0xC0};
    QColor data{0x00, 0x00, 0xFF};
    QColor ascii{Qt::black};
    QColor error{0xFF, 0x00, 0x00};
    QColor pass{0x00, 0xA0, 0x00};
};

int Distance(QColor a, QColor b) {
    const int dr = a.red() - b.red(), dg = a.green() - b.green(), db = a.blue() - b.blue();
    return dr * dr + dg * dg + db * db;
}

// The ink colour of a rectangle: among the candidates, the one most of its
// clearly non-background pixels are closest to; invalid when it has none.
QColor InkOf(const QImage& img, QRect r, QColor back, const QList<QColor>& candidates) {
    QList<int> votes(candidates.size(), 0);
    int ink = 0;
    r = r.intersected(img.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor px = img.pixelColor(x, y);
            if (Distance(px, back) < 150 * 150) continue;
            ++ink;
            int best = 0;
            for (int i = 1; i < candidates.size(); ++i)
                if (Distance(px, candidates[i]) < Distance(px, candidates[best])) best = i;
            ++votes[best];
        }
    if (ink == 0) return {};
    return candidates[static_cast<int>(std::max_element(votes.begin(), votes.end()) - votes.begin())];
}

// Share of a rectangle's pixels close to a colour.
double Coverage(const QImage& img, QRect r, QColor color) {
    r = r.intersected(img.rect());
    int near = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (Distance(img.pixelColor(x, y), color) < 60 * 60) ++near;
    return r.isEmpty() ? 0.0 : double(near) / (r.width() * r.height());
}

bool HasInk(const QImage& img, QRect r, QColor back) {
    r = r.intersected(img.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (img.pixelColor(x, y) != back) return true;
    return false;
}

} // namespace

class HexViewTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<THexWindow> view;
    THexList buf;

    int cw() const { return view->CharWidth(); }
    int lh() const { return view->LineHeight(); }
    // Centre of the hex cell / text cell of a byte shown on screen.
    QPoint HexCell(int index) const {
        const int k = index / 16 - view->DrawFrom();
        return {4 + 9 * cw() + 3 * cw() * (index % 16) + cw(), 4 + k * lh() + lh() / 2};
    }
    QPoint TextCell(int index) const {
        const int k = index / 16 - view->DrawFrom();
        return {4 + 57 * cw() + (index % 16) * cw() + cw() / 2, 4 + k * lh() + lh() / 2};
    }
    // Rectangles in viewport pixels of a visible row and of a byte's hex cell.
    QRect RowRect(int k) const { return {0, 4 + k * lh(), view->ImageWidth(), lh()}; }
    QRect HexRect(int index) const {
        const int k = index / 16 - view->DrawFrom();
        return {4 + 9 * cw() + 3 * cw() * (index % 16), 4 + k * lh(), 2 * cw(), lh()};
    }
    QImage Render() const { return view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    void Click(QPoint pt, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(view->viewport(), button, Qt::NoModifier, pt);
    }
    void MoveMouse(QPoint pt) {
        QMouseEvent move(QEvent::MouseMove, QPointF(pt), QPointF(view->viewport()->mapToGlobal(pt)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &move);
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(view.get(), key, mods);
    }
    void Type(const char* text) { QTest::keyClicks(view.get(), QString::fromLatin1(text)); }

    void ApplyPalette(const TPalette& pal) {
        view->SetBackColor(pal.back);
        view->SetLabelColor(pal.label);
        view->SetDataColor(pal.data);
        view->SetAsciiColor(pal.ascii);
        view->SetErrorColor(pal.error);
        view->SetPassColor(pal.pass);
    }

  private slots:
    void init() {
        view = std::make_unique<THexWindow>();
        // Room for exactly kRows whole rows and a cut-off one; wider than
        // the drawn image.
        const int height = 4 + view->LineHeight() * (kRows + 1) + view->LineHeight() / 2;
        view->resize(view->ImageWidth() + view->verticalScrollBar()->sizeHint().width() + 60, height);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        QCOMPARE(view->GetNumRows(), kRows);
        QCOMPARE(view->GetNumRows(true), kRows * view->LineHeight());
        FillPattern(buf, 4096);
        view->SetData(&buf);
    }
    void cleanup() {
        QApplication::restoreOverrideCursor();
        view.reset();
    }

    void typingTwoHexDigitsStoresTheByteAndMovesOn() {
        buf.SetStatus(5, TProgStatus(ps_failed));
        QSignalSpy edited(view.get(), &THexWindow::DataEdited);
        view->SetCursor(5);
        Type("3f");
        QCOMPARE(buf.HexData[5], 0x3F);
        QCOMPARE(buf.Status(5), TProgStatus(ps_normal));
        QCOMPARE(view->Cursor(), 6);
        QVERIFY(!view->isediting());
        QCOMPARE(edited.count(), 1);
        QCOMPARE(edited.front().front().toUInt(), 5u);
        // A third digit starts a new entry at the next byte.
        const std::uint8_t before = buf.HexData[6];
        Type("3");
        QCOMPARE(view->CurrentEdit(), QStringLiteral("3"));
        QVERIFY(view->isediting());
        QCOMPARE(view->Cursor(), 6);
        QCOMPARE(buf.HexData[6], before);
    }

    void movingAwayFromHalfEntryStoresNothingThenTheShownValue() {
        buf.SetStatus(0, TProgStatus(ps_verified));
        buf.SetStatus(1, TProgStatus(ps_failed));
        const std::uint8_t b0 = buf.HexData[0], b1 = buf.HexData[1];
        Type("3");
        Key(Qt::Key_Right);
        QCOMPARE(buf.HexData[0], b0);
        QCOMPARE(buf.Status(0), TProgStatus(ps_verified));
        // The next byte is now edited and shows its own value.
        QCOMPARE(view->Cursor(), 1);
        QVERIFY(view->isediting());
        QCOMPARE(view->CurrentEdit(), QString::asprintf("%02X", b1));
        QCOMPARE(buf.Status(1), TProgStatus(ps_failed));
        // Moving on stores that unchanged value and resets its status.
        Key(Qt::Key_Right);
        QCOMPARE(buf.HexData[1], b1);
        QCOMPARE(buf.Status(1), TProgStatus(ps_normal));
        QCOMPARE(view->Cursor(), 2);
        QVERIFY(!view->isediting());
    }

    void clickThenRightClearsTheStatusColour() {
        TPalette pal;
        ApplyPalette(pal);
        buf.SetStatus(3, TProgStatus(ps_verified));
        const std::uint8_t b3 = buf.HexData[3];
        Click(HexCell(3));
        QCOMPARE(view->Cursor(), 3);
        QVERIFY(view->isediting());
        QVERIFY(!view->EditAscii());
        QCOMPARE(view->CurrentEdit(), QString::asprintf("%02X", b3));
        Key(Qt::Key_Right);
        QCOMPARE(buf.HexData[3], b3);
        QCOMPARE(buf.Status(3), TProgStatus(ps_normal));
        const QImage img = Render();
        QCOMPARE(InkOf(img, HexRect(3), pal.back, {pal.data, pal.pass, pal.error}), pal.data);
    }

    void clickingAnotherCellDropsThePendingEntry() {
        const std::uint8_t b2 = buf.HexData[2];
        view->SetCursor(2);
        Type("7");
        Click(HexCell(40));
        QCOMPARE(buf.HexData[2], b2);
        QCOMPARE(view->Cursor(), 40);
        QVERIFY(view->isediting());
        // Below the last row the click lands on the last byte.
        THexList small;
        FillPattern(small, 40);
        view->SetData(&small);
        Click(HexCell(16 * 10 + 4));
        QCOMPARE(view->Cursor(), 39);
        view->SetData(&buf);
    }

    void textColumnTypingStoresCharacters() {
        buf.SetStatus(2, TProgStatus(ps_failed));
        Click(TextCell(2));
        QVERIFY(view->EditAscii());
        QCOMPARE(view->Cursor(), 2);
        Type("a");
        QCOMPARE(buf.HexData[2], 0x61);
        QCOMPARE(buf.Status(2), TProgStatus(ps_normal));
        QCOMPARE(view->Cursor(), 3);
        QVERIFY(!view->isediting());
        // Non-ASCII characters of the ANSI code page store their code.
        QKeyEvent euro(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(QChar(0x20AC)));
        QApplication::sendEvent(view.get(), &euro);
        QCOMPARE(buf.HexData[3], 0x80);
        // A character no byte shows as is ignored.
        const std::uint8_t b4 = buf.HexData[4];
        QKeyEvent cjk(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(QChar(0x4E2D)));
        QApplication::sendEvent(view.get(), &cjk);
        QCOMPARE(buf.HexData[4], b4);
        QCOMPARE(view->Cursor(), 4);
        Key(Qt::Key_Tab);
        QVERIFY(!view->EditAscii());
        Key(Qt::Key_Tab);
        QVERIFY(view->EditAscii());
    }

    void backspaceEscapeAndEnter() {
        buf.HexData[8] = 0x3C;
        buf.SetStatus(8, TProgStatus(ps_failed));
        // Backspace keeps the first digit of the shown value; the next digit
        // completes the byte.
        Click(HexCell(8));
        QCOMPARE(view->CurrentEdit(), QStringLiteral("3C"));
        Key(Qt::Key_Backspace);
        QCOMPARE(view->CurrentEdit(), QStringLiteral("3"));
        Type("5");
        QCOMPARE(buf.HexData[8], 0x35);
        QCOMPARE(view->Cursor(), 9);
        // Escape abandons an entry: nothing is stored, now or later.
        const std::uint8_t b9 = buf.HexData[9];
        Type("E");
        Key(Qt::Key_Escape);
        QVERIFY(!view->isediting());
        QCOMPARE(view->CurrentEdit(), QString());
        Key(Qt::Key_Right);
        QCOMPARE(buf.HexData[9], b9);
        QCOMPARE(view->Cursor(), 10);
        // Enter stores a complete entry where the cursor is.
        buf.SetStatus(10, TProgStatus(ps_verified));
        Click(HexCell(10));
        Key(Qt::Key_Return);
        QVERIFY(!view->isediting());
        QCOMPARE(buf.Status(10), TProgStatus(ps_normal));
        QCOMPARE(view->Cursor(), 10);
        // Enter with a half entry stores nothing; the cell shows its own
        // value again.
        const std::uint8_t b10 = buf.HexData[10];
        Type("1");
        Key(Qt::Key_Enter);
        QCOMPARE(buf.HexData[10], b10);
        QVERIFY(view->isediting());
        QCOMPARE(view->CurrentEdit(), QString::asprintf("%02X", b10));
    }

    void readonlyBlocksEveryEdit() {
        view->Setreadonly(true);
        buf.SetStatus(3, TProgStatus(ps_verified));
        const std::vector<std::uint8_t> before = buf.HexData;
        view->SetCursor(3);
        Type("3F");
        Click(HexCell(3));
        QVERIFY(!view->isediting());
        Key(Qt::Key_Right);
        Key(Qt::Key_Return);
        Click(TextCell(5));
        Type("xyz");
        QCOMPARE(buf.HexData, before);
        QCOMPARE(buf.Status(3), TProgStatus(ps_verified));
        // The cursor still moves.
        QCOMPARE(view->Cursor(), 5);
        Key(Qt::Key_Down);
        QCOMPARE(view->Cursor(), 21);
    }

    void keys_data() {
        QTest::addColumn<int>("cursor");
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("ctrl");
        QTest::addColumn<int>("expCursor");
        QTest::addColumn<int>("expTop");
        // 4096 bytes, 20 whole rows in view.
        QTest::newRow("Right") << 5 << 0 << int(Qt::Key_Right) << false << 6 << 0;
        QTest::newRow("Left at 0 stays") << 0 << 0 << int(Qt::Key_Left) << false << 0 << 0;
        QTest::newRow("Right at the last byte stays")
            << 4095 << 250 << int(Qt::Key_Right) << false << 4095 << 250;
        QTest::newRow("Up clamps to 0") << 5 << 0 << int(Qt::Key_Up) << false << 0 << 0;
        QTest::newRow("Down") << 5 << 0 << int(Qt::Key_Down) << false << 21 << 0;
        QTest::newRow("Down onto the cut-off row keeps the view")
            << 0x130 << 0 << int(Qt::Key_Down) << false << 0x140 << 0;
        QTest::newRow("Down past it brings the row to the top")
            << 0x131 << 0 << int(Qt::Key_Down) << false << 0x141 << 20;
        QTest::newRow("Home") << 0x25 << 0 << int(Qt::Key_Home) << false << 0x20 << 0;
        QTest::newRow("End") << 0x25 << 0 << int(Qt::Key_End) << false << 0x2F << 0;
        QTest::newRow("Ctrl+Home") << 0x125 << 10 << int(Qt::Key_Home) << true << 0 << 0;
        QTest::newRow("Ctrl+End") << 0 << 0 << int(Qt::Key_End) << true << 4095 << 255;
        QTest::newRow("PageDown") << 0x25 << 0 << int(Qt::Key_PageDown) << false << 0x165 << 22;
        QTest::newRow("PageUp") << 0x165 << 22 << int(Qt::Key_PageUp) << false << 0x25 << 2;
        QTest::newRow("PageUp clamps to 0") << 0x25 << 0 << int(Qt::Key_PageUp) << false << 0 << 0;
        QTest::newRow("Ctrl+PageDown") << 5 << 0 << int(Qt::Key_PageDown) << true << 320 << 0;
        QTest::newRow("Ctrl+PageUp") << 0xB5 << 10 << int(Qt::Key_PageUp) << true << 0xA0 << 10;
        QTest::newRow("Ctrl+Down scrolls and pulls the cursor in")
            << 0 << 0 << int(Qt::Key_Down) << true << 16 << 1;
        QTest::newRow("Ctrl+Up") << 0x100 << 5 << int(Qt::Key_Up) << true << 0x100 << 4;
        QTest::newRow("Ctrl+Up at the top") << 0x30 << 0 << int(Qt::Key_Up) << true << 0x30 << 0;
    }
    void keys() {
        QFETCH(int, cursor);
        QFETCH(int, top);
        QFETCH(int, key);
        QFETCH(bool, ctrl);
        QFETCH(int, expCursor);
        QFETCH(int, expTop);
        view->DoScroll(sb_thumbposition, top, false);
        view->SetCursor(cursor);
        QCOMPARE(view->DrawFrom(), top);
        Key(static_cast<Qt::Key>(key), ctrl ? Qt::ControlModifier : Qt::NoModifier);
        QCOMPARE(view->Cursor(), expCursor);
        QCOMPARE(view->DrawFrom(), expTop);
        // The scroll bar follows the cursor's row.
        QCOMPARE(view->verticalScrollBar()->value(), expCursor / 16);
    }

    void ctrlTabHandsTheKeyToTheParent() {
        QWidget page;
        page.setFocusPolicy(Qt::StrongFocus);
        auto* layout = new QVBoxLayout(&page);
        auto* inner = new THexWindow(&page);
        layout->addWidget(inner);
        page.resize(700, 300);
        page.show();
        page.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&page));
        inner->SetData(&buf);
        inner->setFocus();

        struct TRecorder : QObject {
            QList<QKeyCombination> keys;
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::KeyPress) keys.append(static_cast<QKeyEvent*>(e)->keyCombination());
                return false;
            }
        } recorder;
        page.installEventFilter(&recorder);

        QTest::keyClicks(inner, QStringLiteral("4"));
        QVERIFY(inner->isediting());
        QTest::keyClick(inner, Qt::Key_Tab, Qt::ControlModifier);
        QVERIFY(!inner->isediting());
        QCOMPARE(inner->CurrentEdit(), QString());
        QCoreApplication::sendPostedEvents();
        QCOMPARE(recorder.keys, QList<QKeyCombination>{QKeyCombination(Qt::ControlModifier, Qt::Key_Tab)});
        QCOMPARE(QApplication::focusWidget(), &page);

        // A plain Tab stays in the view; the wheel is left to the window
        // (ignored, so it travels on to the parents).
        inner->setFocus();
        QTest::keyClick(inner, Qt::Key_Tab);
        QVERIFY(inner->EditAscii());
        QCOMPARE(QApplication::focusWidget(), inner);
        const QPoint at(40, 20);
        QWheelEvent wheel(at, inner->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(inner->viewport(), &wheel);
        QVERIFY(!wheel.isAccepted());
        QCOMPARE(inner->Cursor(), 0);
    }

    void rightClickOpensThePopupMenuWithoutMovingTheCursor() {
        QMenu menu;
        menu.addAction(QStringLiteral("Reload EEPROM File"));
        view->SetPopUpMenu(&menu);
        QSignalSpy requested(view.get(), &THexWindow::ContextMenuRequested);
        view->SetCursor(7);
        const QPoint at = HexCell(40);
        QContextMenuEvent ev(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
        QApplication::sendEvent(view->viewport(), &ev);
        QCOMPARE(requested.count(), 1);
        QVERIFY(menu.isVisible());
        QCOMPARE(view->Cursor(), 7);
        menu.close();
    }

    void doScroll_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("expTop");
        QTest::newRow("line up") << 10 << int(sb_lineup) << 0 << 9;
        QTest::newRow("line down") << 10 << int(sb_linedown) << 0 << 11;
        QTest::newRow("page up clamps") << 10 << int(sb_pageup) << 0 << 0;
        QTest::newRow("page down") << 10 << int(sb_pagedown) << 0 << 30;
        QTest::newRow("thumb position") << 10 << int(sb_thumbposition) << 77 << 77;
        QTest::newRow("thumb position past the end") << 10 << int(sb_thumbposition) << 999 << 256;
        QTest::newRow("thumb track ignored") << 10 << int(sb_thumbtrack) << 77 << 10;
        QTest::newRow("top") << 10 << int(sb_top) << 0 << 0;
        QTest::newRow("bottom") << 10 << int(sb_bottom) << 0 << 256;
        QTest::newRow("line down at the bottom") << 256 << int(sb_linedown) << 0 << 256;
        QTest::newRow("unknown code ignored") << 10 << 8 << 77 << 10;
    }
    void doScroll() {
        QFETCH(int, from);
        QFETCH(int, code);
        QFETCH(int, position);
        QFETCH(int, expTop);
        view->DoScroll(sb_thumbposition, from, false);
        view->DoScroll(code, position, false);
        QCOMPARE(view->DrawFrom(), expTop);
        QCOMPARE(view->verticalScrollBar()->value(), expTop);
        // The cursor is pulled into the view (or onto the last byte).
        const int row = view->Cursor() / 16;
        QVERIFY(view->Cursor() == 4095 || (row >= expTop && row <= expTop + kRows));
    }

    void scrollingMovesTheCursorIntoView() {
        view->SetCursor(0x95); // row 9
        view->DoScroll(sb_thumbposition, 40, false);
        QCOMPARE(view->Cursor(), 40 * 16);
        view->SetCursor(0x405); // row 64
        view->DoScroll(sb_thumbposition, 30, false);
        QCOMPARE(view->Cursor(), (30 + kRows) * 16);
        // With keep only the scroll bar moves.
        view->DoScroll(sb_thumbposition, 100, true);
        QCOMPARE(view->DrawFrom(), 30);
        QCOMPARE(view->verticalScrollBar()->value(), 100);
        QCOMPARE(view->Cursor(), (30 + kRows) * 16);
    }

    void scrollBarBottomShowsNoRowsUntilScrolledBack() {
        TPalette pal;
        ApplyPalette(pal);
        QScrollBar* sb = view->verticalScrollBar();
        sb->triggerAction(QAbstractSlider::SliderToMaximum);
        QCOMPARE(view->DrawFrom(), 256);
        QCOMPARE(view->Cursor(), 4095);
        QImage img = Render();
        QVERIFY(!HasInk(img, QRect(0, 0, view->ImageWidth(), img.height()), pal.back));
        // The bar's page step is the view's row count, not its own.
        sb->triggerAction(QAbstractSlider::SliderPageStepSub);
        QCOMPARE(view->DrawFrom(), 256 - kRows);
        QCOMPARE(sb->value(), 256 - kRows);
        img = Render();
        QVERIFY(HasInk(img, RowRect(0), pal.back));
        QVERIFY(!HasInk(img, RowRect(kRows), pal.back));
        sb->triggerAction(QAbstractSlider::SliderSingleStepSub);
        QCOMPARE(view->DrawFrom(), 256 - kRows - 1);
    }

    void draggingTheThumbPositionsTheViewOnRelease() {
        QScrollBar* sb = view->verticalScrollBar();
        sb->setSliderDown(true);
        sb->setSliderPosition(50);
        QCOMPARE(view->DrawFrom(), 0);
        sb->setSliderDown(false);
        QCOMPARE(view->DrawFrom(), 50);
        QCOMPARE(sb->value(), 50);
        QCOMPARE(view->Cursor(), 50 * 16);
    }

    void rowsStopAtTheEndOfTheBuffer() {
        TPalette pal;
        ApplyPalette(pal);
        FillPattern(buf, 256);
        view->SetData(&buf);
        const QImage img = Render();
        for (int k = 0; k < 16; ++k) {
            QVERIFY2(HasInk(img, RowRect(k), pal.back), qPrintable(QString::number(k)));
            // Address in the label colour, text column in the text colour.
            QCOMPARE(InkOf(img, QRect(4, 4 + k * lh(), 8 * cw(), lh()), pal.back,
                           {pal.label, pal.data, pal.ascii}),
                     pal.label);
        }
        for (int k = 16; k <= kRows + 1; ++k)
            QVERIFY2(!HasInk(img, RowRect(k), pal.back), qPrintable(QString::number(k)));
        // Above the rows and right of the image: the background colour.
        QVERIFY(!HasInk(img, QRect(0, 0, img.width(), 4), pal.back));
        QVERIFY(!HasInk(img, QRect(view->ImageWidth(), 0, img.width() - view->ImageWidth(), img.height()),
                        pal.back));
        QVERIFY(img.width() > view->ImageWidth() + 40);
    }

    void statusColourPrecedence() {
        TPalette pal;
        ApplyPalette(pal);
        view->SetCursor(255);
        buf.SetStatus(16, TProgStatus(ps_verified) | TProgStatus(ps_failed));
        buf.SetStatus(17, TProgStatus(ps_programmed));
        buf.SetStatus(18, TProgStatus(ps_verified));
        buf.SetStatus(19, TProgStatus(ps_read));
        buf.SetStatus(20, TProgStatus(ps_failed));
        buf.SetStatus(21, TProgStatus::FromByte(0));
        const QImage img = Render();
        const QList<QColor> cells{pal.data, pal.pass, pal.error};
        QCOMPARE(InkOf(img, HexRect(16), pal.back, cells), pal.error);
        QCOMPARE(InkOf(img, HexRect(17), pal.back, cells), pal.data);
        QCOMPARE(InkOf(img, HexRect(18), pal.back, cells), pal.pass);
        QCOMPARE(InkOf(img, HexRect(19), pal.back, cells), pal.data);
        QCOMPARE(InkOf(img, HexRect(20), pal.back, cells), pal.error);
        QCOMPARE(InkOf(img, HexRect(21), pal.back, cells), pal.data);
    }

    void cursorCellStyles() {
        view->SetCursor(17);
        QImage img = Render();
        // Navigating: white on black.
        QVERIFY(Coverage(img, HexRect(17), Qt::black) > 0.5);
        // Editing: highlight colours inside a black frame.
        Click(HexCell(18));
        img = Render();
        const QColor highlight = view->palette().color(QPalette::Highlight);
        QVERIFY(Coverage(img, HexRect(18).adjusted(1, 1, -1, -1), highlight) > 0.5);
        QCOMPARE(img.pixelColor(HexRect(18).topLeft()), QColor(Qt::black));
        QCOMPARE(img.pixelColor(HexRect(18).bottomRight() + QPoint(1, 1)), QColor(Qt::black));
        // The byte left behind is an ordinary cell again.
        QVERIFY(Coverage(img, HexRect(17), Qt::black) < 0.3);
    }

    void placeholderLinesWithoutABuffer() {
        view->SetData(nullptr);
        const QImage img = Render();
        for (int k = 0; k <= kRows; ++k)
            QVERIFY2(HasInk(img, RowRect(k), Qt::white), qPrintable(QString::number(k)));
        QVERIFY(!HasInk(img, RowRect(kRows + 1), Qt::white));
        // Keys, clicks, scrolling and hints do nothing.
        Key(Qt::Key_End, Qt::ControlModifier);
        Type("3F");
        Click(HexCell(20));
        view->DoScroll(sb_bottom, 0, false);
        MoveMouse(HexCell(20));
        QCOMPARE(view->Cursor(), 0);
        QCOMPARE(view->DrawFrom(), 0);
        QVERIFY(!view->isediting());
        QCOMPARE(view->Hint(), QString());
    }

    void hint() {
        buf.HexData[16] = 0x41;
        MoveMouse(HexCell(16));
        QCOMPARE(view->Hint(), QStringLiteral("Address : 0x00000010\rHex Data: 0x41\rDec Data: 65\r"
                                              "Bin Data: 0100 0001\rAs Ascii: A"));
        QVERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), QStringLiteral("Address : 0x00000010\nHex Data: 0x41\nDec Data: 65\n"
                                                  "Bin Data: 0100 0001\nAs Ascii: A"));
        MoveMouse(TextCell(16));
        QCOMPARE(view->Hint(), QStringLiteral("Address : 0x00000010\r\nHex Data: 0x41\rDec Data: 65\r"
                                              "Bin Data: 0100 0001\rAs Ascii: A"));
        // Over the address column: no byte, no hint.
        MoveMouse(QPoint(10, 30));
        QCOMPARE(view->Hint(), QString());
        // While the busy cursor shows there is no hint.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        MoveMouse(HexCell(16));
        QCOMPARE(view->Hint(), QString());
        QApplication::restoreOverrideCursor();
    }

    void hintAtTheEndOfTheBuffer() {
        FillPattern(buf, 250);
        buf.HexData[249] = 0xC3;
        view->SetData(&buf);
        MoveMouse(HexCell(249));
        QCOMPARE(view->Hint(), QStringLiteral("Address : 0x000000F9\rHex Data: 0xC3\rDec Data: 195\r"
                                              "Bin Data: 1100 0011\rAs Ascii: ") +
                                   QChar(0xC3));
        MoveMouse(HexCell(250));
        QCOMPARE(view->Hint(), QString());
        MoveMouse(TextCell(250));
        QCOMPARE(view->Hint(), QString());
    }

    void bufferShrunkUnderTheViewIsHandledSafely() {
        view->DoScroll(sb_thumbposition, 100, false);
        view->SetCursor(0x700);
        Click(HexCell(0x701));
        QVERIFY(view->isediting());
        buf.SetSize(16); // resized by someone else; the view is not told
        const QImage img = Render();
        QVERIFY(!img.isNull());
        Type("3F");
        Key(Qt::Key_Return);
        MoveMouse(HexCell(0x702));
        QCOMPARE(view->Hint(), QString());
        Key(Qt::Key_Right);
        QCOMPARE(view->Cursor(), 15);
        QCOMPARE(buf.Size(), 16u);
        Key(Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(view->DrawFrom(), 0);
    }

    // The text column shows printable ASCII as itself and "." for control
    // codes, DEL, 80h-FFh (erased memory is a row of dots); the code page's
    // characters only when asked for.
    void textColumnShowsDotsForWhatIsNotPrintable() {
        const std::vector<std::uint8_t> row{0x00, 0x01, 0x1F, 0x20, 0x41, 0x7E, 0x7F, 0x80,
                                            0x9D, 0xA0, 0xC4, 0xFF, 0x2E, 0x61, 0x0D, 0x5C};
        for (std::size_t i = 0; i < row.size(); ++i)
            buf.HexData[16 + i] = row[i];
        const auto cell = [this](const QImage& img, int index) {
            const int k = index / 16 - view->DrawFrom();
            return img.copy(QRect(4 + 57 * cw() + (index % 16) * cw(), 4 + k * lh(), cw(), lh()));
        };
        const int dot = 16 + 12; // the byte 2Eh itself
        QImage img = Render();
        for (std::size_t i = 0; i < row.size(); ++i) {
            const std::uint8_t b = row[i];
            const bool printable = b >= 0x20 && b <= 0x7E;
            QCOMPARE(view->TextColumnByte(b), printable ? b : std::uint8_t('.'));
            if (b == 0x2E || b == 0x20) continue;
            QVERIFY2((cell(img, 16 + static_cast<int>(i)) == cell(img, dot)) == !printable,
                     qPrintable(QString::number(b, 16)));
        }
        view->SetShowCodePage(true);
        img = Render();
        for (std::size_t i = 0; i < row.size(); ++i) {
            const std::uint8_t b = row[i];
            QCOMPARE(view->TextColumnByte(b), b);
            // Every byte but the space and the dot itself draws a character
            // of its own (the code page has none for 9Dh).
            if (b == 0x2E || b == 0x20 || b == 0x00) continue;
            QVERIFY2(cell(img, 16 + static_cast<int>(i)) != cell(img, dot),
                     qPrintable(QString::number(b, 16)));
        }
    }

    void byteCharactersRoundTrip() {
        for (int b = 1; b < 256; ++b) {
            const QChar c = THexWindow::ByteChar(static_cast<std::uint8_t>(b));
            if (c == QChar(0xFFFD)) continue;
            const int back = THexWindow::CharByte(c);
            // The few symbols that both a control code and an ANSI character
            // show as type the ANSI character.
            QVERIFY2(back == b || THexWindow::ByteChar(static_cast<std::uint8_t>(back)) == c,
                     qPrintable(QString::number(b, 16)));
        }
        QCOMPARE(THexWindow::CharByte(QChar(u'a')), 0x61);
        QCOMPARE(THexWindow::CharByte(QChar(0x263A)), 0x01);
        QCOMPARE(THexWindow::CharByte(QChar(0xFFFD)), -1);
    }

    void screenshot() {
        // The main window's colours, a verify result with a few differences
        // and an edit in progress.
        view->SetBackColor(view->palette().color(QPalette::Button));
        view->SetLabelColor(QColor(0x00, 0x00, 0x80));
        const char text[] = "Serial EEPROM test image - 24C256 page 0 ";
        for (std::uint32_t i = 0; i < buf.Size(); ++i)
            buf.HexData[i] = i < 0x40 ? static_cast<std::uint8_t>(text[i % (sizeof text - 1)])
                                      : static_cast<std::uint8_t>(i * 13);
        for (std::uint32_t i = 0x40; i < 0x120; ++i)
            buf.SetStatus(i, TProgStatus(ps_verified));
        for (std::uint32_t i : {0x47u, 0x58u, 0x59u, 0x5Au, 0x9Cu, 0x100u})
            buf.SetStatus(i, TProgStatus(ps_failed));
        Click(HexCell(0x23));
        Type("4");
        const QImage img = view->grab().toImage();
        QVERIFY(QDir().mkpath(QStringLiteral(NORVOISP_SCREENSHOT_DIR)));
        const QString path = QStringLiteral(NORVOISP_SCREENSHOT_DIR "/hex_view.png");
        QVERIFY(img.save(path));
        qInfo("screenshot: %s", qPrintable(path));
    }
};

QTEST_MAIN(HexViewTest)
#include "hex_view_test.moc"
