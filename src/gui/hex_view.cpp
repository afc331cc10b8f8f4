#include "gui/hex_view.h"

#include "buffer/hex_text.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Text column characters: the classic terminal symbols for the control codes,
// ASCII, and the Western ANSI code page above 0x7F (its five unassigned codes
// show as the replacement character).
constexpr char16_t kByteChars[256] = {
    u' ',      u'\u263A', u'\u263B', u'\u2665', u'\u2666', u'\u2663', u'\u2660', u'\u2022', // 00
    u'\u25D8', u'\u25CB', u'\u25D9', u'\u2642', u'\u2640', u'\u266A', u'\u266B', u'\u263C', // 08
    u'\u25BA', u'\u25C4', u'\u2195', u'\u203C', u'\u00B6', u'\u00A7', u'\u25AC', u'\u21A8', // 10
    u'\u2191', u'\u2193', u'\u2192', u'\u2190', u'\u221F', u'\u2194', u'\u25B2', u'\u25BC', // 18
    u' ',      u'!',      u'"',      u'#',      u'$',      u'%',      u'&',      u'\'',     // 20
    u'(',      u')',      u'*',      u'+',      u',',      u'-',      u'.',      u'/',      // 28
    u'0',      u'1',      u'2',      u'3',      u'4',      u'5',      u'6',      u'7',      // 30
    u'8',      u'9',      u':',      u';',      u'<',      u'=',      u'>',      u'?',      // 38
    u'@',      u'A',      u'B',      u'C',      u'D',      u'E',      u'F',      u'G',      // 40
    u'H',      u'I',      u'J',      u'K',      u'L',      u'M',      u'N',      u'O',      // 48
    u'P',      u'Q',      u'R',      u'S',      u'T',      u'U',      u'V',      u'W',      // 50
    u'X',      u'Y',      u'Z',      u'[',      u'\\',     u']',      u'^',      u'_',      // 58
    u'`',      u'a',      u'b',      u'c',      u'd',      u'e',      u'f',      u'g',      // 60
    u'h',      u'i',      u'j',      u'k',      u'l',      u'm',      u'n',      u'o',      // 68
    u'p',      u'q',      u'r',      u's',      u't',      u'u',      u'v',      u'w',      // 70
    u'x',      u'y',      u'z',      u'{',      u'|',      u'}',      u'~',      u'\u2302', // 78
    u'\u20AC', u'\uFFFD', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021', // 80
    u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\uFFFD', u'\u017D', u'\uFFFD', // 88
    u'\uFFFD', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014', // 90
    u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\uFFFD', u'\u017E', u'\u0178', // 98
    u'\u00A0', u'\u00A1', u'\u00A2', u'\u00A3', u'\u00A4', u'\u00A5', u'\u00A6', u'\u00A7', // A0
    u'\u00A8', u'\u00A9', u'\u00AA', u'\u00AB', u'\u00AC', u'\u00AD', u'\u00AE', u'\u00AF', // A8
    u'\u00B0', u'\u00B1', u'\u00B2', u'\u00B3', u'\u00B4', u'\u00B5', u'\u00B6', u'\u00B7', // B0
    u'\u00B8', u'\u00B9', u'\u00BA', u'\u00BB', u'\u00BC', u'\u00BD', u'\u00BE', u'\u00BF', // B8
    u'\u00C0', u'\u00C1', u'\u00C2', u'\u00C3', u'\u00C4', u'\u00C5', u'\u00C6', u'\u00C7', // C0
    u'\u00C8', u'\u00C9', u'\u00CA', u'\u00CB', u'\u00CC', u'\u00CD', u'\u00CE', u'\u00CF', // C8
    u'\u00D0', u'\u00D1', u'\u00D2', u'\u00D3', u'\u00D4', u'\u00D5', u'\u00D6', u'\u00D7', // D0
    u'\u00D8', u'\u00D9', u'\u00DA', u'\u00DB', u'\u00DC', u'\u00DD', u'\u00DE', u'\u00DF', // D8
    u'\u00E0', u'\u00E1', u'\u00E2', u'\u00E3', u'\u00E4', u'\u00E5', u'\u00E6', u'\u00E7', // E0
    u'\u00E8', u'\u00E9', u'\u00EA', u'\u00EB', u'\u00EC', u'\u00ED', u'\u00EE', u'\u00EF', // E8
    u'\u00F0', u'\u00F1', u'\u00F2', u'\u00F3', u'\u00F4', u'\u00F5', u'\u00F6', u'\u00F7', // F0
    u'\u00F8', u'\u00F9', u'\u00FA', u'\u00FB', u'\u00FC', u'\u00FD', u'\u00FE', u'\u00FF', // F8
};

QString Hex(std::uint64_t value, int digits) {
    return QString::fromStdString(IntToHex(value, digits));
}

bool IsHexDigit(QChar c) {
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

// The hint as a tool tip shows it: one line per carriage return.
QString DisplayHint(QString hint) {
    hint.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    hint.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return hint;
}

bool BusyCursorShown() {
    const QCursor* c = QGuiApplication::overrideCursor();
    return c && c->shape() != Qt::ArrowCursor;
}

} // namespace

QChar THexWindow::ByteChar(std::uint8_t b) {
    return QChar(kByteChars[b]);
}

int THexWindow::CharByte(QChar c) {
    const char16_t u = c.unicode();
    // Latin-1 characters stand for themselves, except the C1 range that the
    // ANSI code page uses for other characters.
    if (u >= 0x20 && u <= 0xFF && !(u >= 0x7F && u <= 0x9F)) return u;
    if (u == 0xFFFD) return -1;
    for (int b = 0x80; b <= 0x9F; ++b)
        if (kByteChars[b] == u) return b;
    for (int b = 0x01; b < 0x20; ++b)
        if (kByteChars[b] == u) return b;
    if (kByteChars[0x7F] == u) return 0x7F;
    return -1;
}

THexWindow::THexWindow(QWidget* owner)
    : QAbstractScrollArea(owner), FBackColor(Qt::white), FLabelColor(0x00, 0x80, 0x00), FDataColor(Qt::black),
      FAsciiColor(Qt::black), FErrorColor(0xFF, 0x00, 0x00), FPassColor(0x00, 0x80, 0x00) {
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(true);
    viewport()->setToolTip(QStringLiteral("Test"));

    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    f.setPointSize(10);
    setFont(f);
    RecomputeMetrics();

    QScrollBar* sb = verticalScrollBar();
    sb->setRange(0, 0);
    sb->setSingleStep(1);
    sb->setPageStep(16);
    connect(sb, &QAbstractSlider::actionTriggered, this, &THexWindow::OnScrollAction);
    connect(sb, &QAbstractSlider::sliderReleased, this, &THexWindow::OnSliderReleased);
    resize(150, 100);
}

THexWindow::~THexWindow() {
    FData = nullptr;
}

void THexWindow::SetBackColor(const QColor& c) {
    FBackColor = c;
    viewport()->update();
}

void THexWindow::SetLabelColor(const QColor& c) {
    FLabelColor = c;
    viewport()->update();
}

void THexWindow::SetDataColor(const QColor& c) {
    FDataColor = c;
    viewport()->update();
}

void THexWindow::SetAsciiColor(const QColor& c) {
    FAsciiColor = c;
    viewport()->update();
}

void THexWindow::Setreadonly(bool value) {
    Freadonly = value;
    if (value) {
        // A pending edit can no longer be stored.
        Fisediting = false;
        FCurrentEdit.clear();
        viewport()->update();
    }
}

void THexWindow::SetShowCodePage(bool value) {
    FShowCodePage = value;
    viewport()->update();
}

std::uint8_t THexWindow::TextColumnByte(std::uint8_t b) const {
    if (FShowCodePage || (b >= 0x20 && b <= 0x7E)) return b;
    return '.';
}

void THexWindow::SetData(THexList* buffer) {
    FData = buffer;
    if (FData) {
        ResetCursor();
    } else {
        verticalScrollBar()->setRange(0, 0);
        viewport()->update();
    }
}

void THexWindow::SetDrawFrom(int row) {
    FDrawFrom = std::max(row, 0);
    viewport()->update();
}

void THexWindow::ResetCursor() {
    FCursor = 0;
    FDrawFrom = 0;
    Fisediting = false;
    FCurrentEdit.clear();
    QScrollBar* sb = verticalScrollBar();
    sb->setRange(0, FData ? static_cast<int>(FData->Size() / 16) : 0);
    sb->setPageStep(16);
    sb->setValue(0);
    viewport()->update();
}

void THexWindow::StoreByte(int index, std::uint8_t value) {
    if (Freadonly || !FData || index < 0 || static_cast<std::uint32_t>(index) >= FData->Size()) return;
    FData->SetValue(static_cast<std::uint32_t>(index), value);
    FData->SetStatus(static_cast<std::uint32_t>(index), TProgStatus(ps_normal));
    emit DataEdited(static_cast<quint32>(index));
}

void THexWindow::SetCursor(int index) {
    // Settle the edit in progress: characters were stored as typed; a
    // complete hex entry is stored at the old cursor; a partial one stays in
    // progress at the new cursor.
    if (Fisediting) {
        if (FEditAscii) {
            Fisediting = false;
        } else if (FCurrentEdit.size() == 2) {
            StoreByte(FCursor, HexToByte(FCurrentEdit.toStdString()));
            Fisediting = false;
        }
    }
    FCurrentEdit.clear();

    const qint64 size = FData ? FData->Size() : 0;
    qint64 c = index;
    if (c >= size) c = size - 1;
    if (c < 0) c = 0;
    FCursor = static_cast<int>(c);
    viewport()->update();
}

void THexWindow::AlterCursor(TCursorIncrement increment) {
    const qint64 page = static_cast<qint64>(GetNumRows()) * 16;
    qint64 target = FCursor;
    switch (increment) {
    case cursor_inc:
        target += 1;
        break;
    case cursor_dec:
        target -= 1;
        break;
    case cursor_lineinc:
        target += 16;
        break;
    case cursor_linedec:
        target -= 16;
        break;
    case cursor_pageinc:
        target += page;
        break;
    case cursor_pagedec:
        target -= page;
        break;
    case cursor_min:
    case cursor_max:
    case scroll_update:
        return;
    }
    SetCursor(static_cast<int>(std::clamp<qint64>(target, INT32_MIN, INT32_MAX)));
}

int THexWindow::GetNumRows(bool InPixels) const {
    const int rows = (viewport()->height() - (rectdist + yoffset)) / lh - 1;
    return InPixels ? rows * lh : rows;
}

void THexWindow::DoScroll(int code, int position, bool keep) {
    if (!FData) return;
    QScrollBar* sb = verticalScrollBar();
    const qint64 p = sb->value();
    const qint64 rows = GetNumRows();
    const qint64 last = FData->Size() / 16;
    qint64 np;
    switch (code) {
    case sb_lineup:
        np = p - 1;
        break;
    case sb_linedown:
        np = p + 1;
        break;
    case sb_pageup:
        np = p - rows;
        break;
    case sb_pagedown:
        np = p + rows;
        break;
    case sb_thumbposition:
        np = position;
        break;
    case sb_top:
        np = 0;
        break;
    case sb_bottom:
        np = last;
        break;
    default: // thumb track and anything else
        return;
    }
    np = std::clamp<qint64>(np, 0, last);
    // Inside a scroll-bar action this also overrides the bar's own step.
    sb->setValue(static_cast<int>(np));
    if (!keep) {
        FDrawFrom = static_cast<int>(np);
        if (FCursor < static_cast<qint64>(FDrawFrom) * 16)
            SetCursor(FDrawFrom * 16);
        else if (FCursor / 16 >= FDrawFrom + rows)
            SetCursor(static_cast<int>((FDrawFrom + rows) * 16));
    }
    SyncPendingEdit();
    viewport()->update();
}

void THexWindow::OnScrollAction(int action) {
    QScrollBar* sb = verticalScrollBar();
    int code;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        code = sb_lineup;
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        code = sb_linedown;
        break;
    case QAbstractSlider::SliderPageStepSub:
        code = sb_pageup;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        code = sb_pagedown;
        break;
    case QAbstractSlider::SliderToMinimum:
        code = sb_top;
        break;
    case QAbstractSlider::SliderToMaximum:
        code = sb_bottom;
        break;
    case QAbstractSlider::SliderMove:
        // Dragging the thumb only tracks; its release positions the view.
        code = sb->isSliderDown() ? sb_thumbtrack : sb_thumbposition;
        break;
    default:
        return;
    }
    DoScroll(code, sb->sliderPosition(), false);
}

void THexWindow::OnSliderReleased() {
    DoScroll(sb_thumbposition, verticalScrollBar()->sliderPosition(), false);
}

void THexWindow::scrollContentsBy(int, int) {
    // The view follows DoScroll, not the scroll bar's value.
}

void THexWindow::SyncPendingEdit() {
    // A hex cell being edited shows the byte's current value as its pending
    // entry until a digit is typed.
    if (FData && Fisediting && !FEditAscii && FCurrentEdit.isEmpty() && FCursor >= 0 &&
        static_cast<std::uint32_t>(FCursor) < FData->Size())
        FCurrentEdit = Hex(FData->HexData[static_cast<std::uint32_t>(FCursor)], 2);
}

void THexWindow::RecreateCanvas() {
    SyncPendingEdit();
    viewport()->repaint();
}

void THexWindow::SetFocus() {
    setFocus(Qt::OtherFocusReason);
    RecreateCanvas();
}

// --- painting ----------------------------------------------------------------

void THexWindow::RecomputeMetrics() {
    const QFontMetrics fm(font());
    cw = std::max(1, fm.horizontalAdvance(QLatin1Char('A')));
    lh = std::max(1, fm.height());
    FAscent = fm.ascent();
    FRawFont = QRawFont::fromFont(font());
    for (int b = 0; b < 256; ++b) {
        FGlyph[b] = 0;
        FHasGlyph[b] = false;
        const QChar ch = ByteChar(static_cast<std::uint8_t>(b));
        if (FRawFont.isValid() && FRawFont.supportsCharacter(ch)) {
            const QList<quint32> g = FRawFont.glyphIndexesForString(QString(ch));
            if (!g.isEmpty() && g.front() != 0) {
                FGlyph[b] = g.front();
                FHasGlyph[b] = true;
            }
        }
    }
}

void THexWindow::changeEvent(QEvent* e) {
    if (e->type() == QEvent::FontChange) {
        RecomputeMetrics();
        viewport()->update();
    }
    QAbstractScrollArea::changeEvent(e);
}

void THexWindow::AddGlyph(TGlyphBatch& batch, int x, int baseline, std::uint8_t code) {
    if (code == ' ') return;
    if (FHasGlyph[code]) {
        batch.glyphs.append(FGlyph[code]);
        batch.positions.append(QPointF(x, baseline));
    } else {
        batch.fallback.append({QPointF(x, baseline), code});
    }
}

void THexWindow::AddText(TGlyphBatch& batch, int x, int baseline, const QByteArray& text) {
    for (int i = 0; i < text.size(); ++i)
        AddGlyph(batch, x + i * cw, baseline, static_cast<std::uint8_t>(text[i]));
}

void THexWindow::FlushBatch(QPainter& p, TGlyphBatch& batch, const QColor& color) {
    p.setPen(color);
    if (!batch.glyphs.isEmpty()) {
        QGlyphRun run;
        run.setRawFont(FRawFont);
        run.setGlyphIndexes(batch.glyphs);
        run.setPositions(batch.positions);
        p.drawGlyphRun(QPointF(0, 0), run);
    }
    for (const auto& [pos, code] : batch.fallback)
        p.drawText(pos, QString(ByteChar(code)));
    batch.glyphs.resize(0);
    batch.positions.resize(0);
    batch.fallback.resize(0);
}

void THexWindow::paintEvent(QPaintEvent*) {
    SyncPendingEdit();
    QPainter p(viewport());
    // The whole view, also right of the image, takes the background colour.
    p.fillRect(viewport()->rect(), FBackColor);
    // The image of the rows starts below a small margin; nothing is drawn
    // outside it (a cursor cell above the top row stays hidden).
    p.translate(0, rectdist + yoffset);
    p.setClipRect(QRect(0, 0, ImageWidth(), viewport()->height()));
    if (FData) {
        DrawLabels(p);
        if (FCursor >= 0 && static_cast<std::uint32_t>(FCursor) < FData->Size()) DrawEdit(p, FCursor);
    } else {
        DrawPlaceholders(p);
    }
}

void THexWindow::DrawLabels(QPainter& p) {
    const int rows = GetNumRows();
    const std::uint8_t* bytes = FData->HexData.data();
    const TProgStatus* status = FData->StatusArray().data();
    const std::uint64_t size = FData->Size();
    const int x0 = Xoffset + rectdist;
    const int hexX = x0 + 9 * cw;
    const int textX = x0 + 57 * cw;

    for (auto& b : FBatches) {
        b.glyphs.reserve((rows + 1) * 32);
        b.positions.reserve((rows + 1) * 32);
    }
    TGlyphBatch& labels = FBatches[bt_label];
    TGlyphBatch& text = FBatches[bt_ascii];
    for (int k = 0; k <= rows; ++k) {
        const std::uint64_t addr = (static_cast<std::uint64_t>(FDrawFrom) + k) * 16;
        if (addr >= size) break;
        const int baseline = k * lh + FAscent;
        for (int j = 0; j < 8; ++j)
            AddGlyph(labels, x0 + j * cw, baseline,
                     static_cast<std::uint8_t>(kHexDigits[(addr >> (28 - 4 * j)) & 0xF]));
        const int n = static_cast<int>(std::min<std::uint64_t>(16, size - addr));
        for (int i = 0; i < n; ++i) {
            const std::uint8_t v = bytes[addr + i];
            const TProgStatus s = status[addr + i];
            TGlyphBatch& cells = s.Contains(ps_failed)     ? FBatches[bt_error]
                                 : s.Contains(ps_verified) ? FBatches[bt_pass]
                                                           : FBatches[bt_data];
            const int x = hexX + 3 * cw * i;
            AddGlyph(cells, x, baseline, static_cast<std::uint8_t>(kHexDigits[v >> 4]));
            AddGlyph(cells, x + cw, baseline, static_cast<std::uint8_t>(kHexDigits[v & 0xF]));
            AddGlyph(text, textX + i * cw, baseline, TextColumnByte(v));
        }
    }
    FlushBatch(p, labels, FLabelColor);
    FlushBatch(p, FBatches[bt_data], FDataColor);
    FlushBatch(p, FBatches[bt_pass], FPassColor);
    FlushBatch(p, FBatches[bt_error], FErrorColor);
    FlushBatch(p, text, FAsciiColor);
}

void THexWindow::DrawPlaceholders(QPainter& p) {
    const int rows = GetNumRows();
    TGlyphBatch& batch = FBatches[bt_data];
    for (int k = 0; k <= rows; ++k) {
        const QByteArray line = "XXXXXX" + Hex(static_cast<std::uint64_t>(k), 2).toLatin1() +
                                " XX XX XX XX XX XX XX XX XX XX XX XX XX XX XX XX 0123456789ABCDEF";
        AddText(batch, Xoffset + rectdist, k * lh + FAscent, line);
    }
    FlushBatch(p, batch, Qt::black);
}

void THexWindow::DrawCells(QPainter& p, int x, int top, const QByteArray& codes, const QColor& fg,
                           const QColor& bg) {
    p.fillRect(QRect(x, top, cw * static_cast<int>(codes.size()), lh), bg);
    AddText(FBatches[bt_data], x, top + FAscent, codes);
    FlushBatch(p, FBatches[bt_data], fg);
}

void THexWindow::DrawEdit(QPainter& p, int index) {
    const std::uint8_t v = FData->HexData[static_cast<std::uint32_t>(index)];
    const int x = Xoffset + rectdist + 9 * cw + 3 * cw * (index % 16);
    const int y = (index / 16 - FDrawFrom) * lh;
    if (FEditAscii) {
        DrawCells(p, Xoffset + rectdist + 57 * cw + (index % 16) * cw, y,
                  QByteArray(1, static_cast<char>(TextColumnByte(v))), Qt::white, Qt::black);
    } else if (!Fisediting) {
        DrawCells(p, x, y, Hex(v, 2).toLatin1(), Qt::white, Qt::black);
    } else {
        // The whole cell is highlighted, so a single pending digit does not
        // read as a byte together with the old second digit.
        p.fillRect(QRect(x, y, 2 * cw, lh), palette().color(QPalette::Highlight));
        DrawCells(p, x, y, FCurrentEdit.toLatin1(), palette().color(QPalette::HighlightedText),
                  palette().color(QPalette::Highlight));
        p.setPen(Qt::black);
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRect(x, y, 2 * cw, lh));
    }
}

// --- keyboard ------------------------------------------------------------------

bool THexWindow::event(QEvent* e) {
    // Tab belongs to the view (it switches columns) while a buffer is shown.
    if (e->type() == QEvent::KeyPress && FData) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) {
            keyPressEvent(k);
            return true;
        }
    }
    return QAbstractScrollArea::event(e);
}

void THexWindow::keyPressEvent(QKeyEvent* e) {
    FControlKey = e->key() == Qt::Key_Control || (e->modifiers() & Qt::ControlModifier);
    if (!FData) {
        e->ignore();
        return;
    }
    if (!hasFocus()) setFocus(Qt::OtherFocusReason);
    const bool ctrl = FControlKey;
    const qint64 rows = GetNumRows();
    const qint64 size = FData->Size();
    bool settle = true;

    switch (e->key()) {
    case Qt::Key_Backspace:
        if (Fisediting) {
            if (!FEditAscii && FCurrentEdit.size() == 2)
                FCurrentEdit.truncate(1);
            else
                FCurrentEdit.clear();
        }
        // The kept first digit stays pending: re-setting the cursor would
        // drop it and leave Backspace without effect.
        settle = false;
        break;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (!ctrl) {
            FCurrentEdit.clear();
            FEditAscii = !FEditAscii;
        } else {
            Fisediting = false;
            FCurrentEdit.clear();
            if (QWidget* parent = parentWidget()) {
                parent->setFocus(Qt::OtherFocusReason);
                QCoreApplication::postEvent(parent, new QKeyEvent(e->type(), e->key(), e->modifiers(),
                                                                  e->text(), e->isAutoRepeat(), e->count()));
            }
        }
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (Fisediting && FCurrentEdit.size() == 2) {
            StoreByte(FCursor, HexToByte(FCurrentEdit.toStdString()));
            Fisediting = false;
            FCurrentEdit.clear();
        }
        break;
    case Qt::Key_Control:
        break;
    case Qt::Key_Escape:
        if (Fisediting) {
            Fisediting = false;
            FCurrentEdit.clear();
        }
        break;
    case Qt::Key_PageUp:
        if (ctrl)
            SetCursor(FDrawFrom * 16);
        else
            AlterCursor(cursor_pagedec);
        break;
    case Qt::Key_PageDown:
        if (ctrl)
            SetCursor(static_cast<int>((rows + FDrawFrom) * 16));
        else
            AlterCursor(cursor_pageinc);
        break;
    case Qt::Key_End:
        if (ctrl)
            SetCursor(static_cast<int>(size - 1));
        else
            SetCursor(FCursor | 15);
        break;
    case Qt::Key_Home:
        if (ctrl)
            SetCursor(0);
        else
            SetCursor(FCursor & ~15);
        break;
    case Qt::Key_Left:
        AlterCursor(cursor_dec);
        break;
    case Qt::Key_Right:
        AlterCursor(cursor_inc);
        break;
    case Qt::Key_Up:
        if (ctrl)
            DoScroll(sb_thumbposition, FDrawFrom - 1, false);
        else
            AlterCursor(cursor_linedec);
        break;
    case Qt::Key_Down:
        if (ctrl)
            DoScroll(sb_thumbposition, FDrawFrom + 1, false);
        else
            AlterCursor(cursor_lineinc);
        break;
    default: {
        const QString text = e->text();
        if (text.isEmpty()) {
            e->ignore();
            return;
        }
        for (QChar ch : text)
            CharTyped(ch);
        e->accept();
        return;
    }
    }

    // Bring the cursor into view, settle, and put the scroll bar on the
    // cursor's row without moving the view.
    const qint64 c = FCursor;
    if (c < static_cast<qint64>(FDrawFrom) * 16 || c > (FDrawFrom + rows) * 16)
        FDrawFrom = static_cast<int>(c / 16);
    if (settle) SetCursor(FCursor);
    DoScroll(sb_thumbposition, FCursor / 16, true);
    SyncPendingEdit();
    viewport()->update();
    e->accept();
}

void THexWindow::keyReleaseEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Control) FControlKey = false;
    QAbstractScrollArea::keyReleaseEvent(e);
}

void THexWindow::CharTyped(QChar ch) {
    if (ch.unicode() < 32 || Freadonly || !FData) return;
    if (FEditAscii) {
        const int b = CharByte(ch);
        if (b < 0) return;
        StoreByte(FCursor, static_cast<std::uint8_t>(b));
        Fisediting = false;
        FCurrentEdit.clear();
        AlterCursor(cursor_inc);
    } else {
        const QChar c = ch.toUpper();
        if (!IsHexDigit(c)) return;
        if (FCurrentEdit.isEmpty()) {
            Fisediting = true;
            FCurrentEdit = c;
        } else if (FCurrentEdit.size() == 2) {
            FCurrentEdit = c;
        } else {
            FCurrentEdit += c;
            Fisediting = false;
            StoreByte(FCursor, HexToByte(FCurrentEdit.toStdString()));
            FCurrentEdit.clear();
            AlterCursor(cursor_inc);
        }
    }
    SyncPendingEdit();
    viewport()->update();
}

// --- mouse ---------------------------------------------------------------------

qint64 THexWindow::ByteAt(QPoint pt, bool* inText) const {
    const int top = rectdist + yoffset;
    const int left = Xoffset + rectdist;
    const int x = pt.x();
    const int y = pt.y();
    const int c = (x - 9 * cw - left) / (3 * cw);
    const qint64 k = (y - top) / lh;
    *inText = c > 15;
    if (x > 9 * cw + left && c <= 15 && y > top) return (static_cast<qint64>(FDrawFrom) + k) * 16 + c;
    if (c > 15) {
        const int t = (x - 9 * cw - left - 48 * cw) / cw;
        if (t < 16) return (static_cast<qint64>(FDrawFrom) + k) * 16 + t;
    }
    return -1;
}

void THexWindow::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !FData) {
        QAbstractScrollArea::mousePressEvent(e);
        return;
    }
    if (!hasFocus()) setFocus(Qt::MouseFocusReason);
    FCurrentEdit.clear();
    Fisediting = false;
    bool inText = false;
    const qint64 target = ByteAt(e->position().toPoint(), &inText);
    if (inText) FEditAscii = true;
    if (target >= 0) {
        if (!inText) FEditAscii = false;
        SetCursor(static_cast<int>(std::min<qint64>(target, INT32_MAX)));
    }
    Fisediting = !Freadonly;
    SyncPendingEdit();
    viewport()->update();
    e->accept();
}

void THexWindow::mouseReleaseEvent(QMouseEvent* e) {
    e->setAccepted(e->button() == Qt::LeftButton && FData);
}

QString THexWindow::CalcHint() {
    FHint.clear();
    if (FData && !BusyCursorShown()) {
        bool inText = false;
        const qint64 index = ByteAt(LastMouse, &inText);
        if (index >= 0 && index < static_cast<qint64>(FData->Size())) {
            const std::uint8_t v = FData->HexData[static_cast<std::size_t>(index)];
            const std::string bits = bytetobin(v);
            FHint = QStringLiteral("Address : 0x") + Hex(static_cast<std::uint64_t>(index), 8) +
                    (inText ? QStringLiteral("\r\n") : QStringLiteral("\r")) +
                    QStringLiteral("Hex Data: 0x") + Hex(v, 2) + QLatin1Char('\r') +
                    QStringLiteral("Dec Data: ") + QString::number(v) + QLatin1Char('\r') +
                    QStringLiteral("Bin Data: ") + QString::fromStdString(bits.substr(0, 4)) +
                    QLatin1Char(' ') + QString::fromStdString(bits.substr(4)) + QLatin1Char('\r') +
                    QStringLiteral("As Ascii: ") + ByteChar(v);
            LastMouseCursor = index;
        }
    }
    viewport()->setToolTip(DisplayHint(FHint));
    return FHint;
}

void THexWindow::mouseMoveEvent(QMouseEvent* e) {
    LastMouse = e->position().toPoint();
    const qint64 before = LastMouseCursor;
    CalcHint();
    if (FHint.isEmpty()) {
        QToolTip::hideText();
    } else if (LastMouseCursor != before) {
        // Another byte: replace the shown hint at once.
        QToolTip::hideText();
        QToolTip::showText(e->globalPosition().toPoint(), DisplayHint(FHint), viewport());
    }
    QAbstractScrollArea::mouseMoveEvent(e);
}

void THexWindow::contextMenuEvent(QContextMenuEvent* e) {
    emit ContextMenuRequested(e->globalPos());
    if (FPopUpMenu) FPopUpMenu->popup(e->globalPos());
    e->accept();
}

void THexWindow::wheelEvent(QWheelEvent* e) {
    // The window that holds the view decides what the wheel does.
    e->ignore();
}
