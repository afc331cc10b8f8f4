// The EEPROM view: a memory buffer shown as rows of sixteen bytes (address,
// hex cells coloured by byte status, text column) with a cursor that moves by
// keyboard, mouse and scroll bar and overtypes bytes in hex or as characters.
// The view reads the buffer on every paint and keeps no copy of it.
#pragma once

#include "buffer/hex_list.h"

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QColor>
#include <QList>
#include <QMenu>
#include <QPair>
#include <QPoint>
#include <QPointF>
#include <QPointer>
#include <QRawFont>
#include <QString>

#include <array>
#include <cstdint>

class QPainter;

// Cursor movements of AlterCursor; cursor_min, cursor_max and scroll_update
// move nothing.
enum TCursorIncrement {
    cursor_min,
    cursor_max,
    cursor_inc,
    cursor_dec,
    cursor_lineinc,
    cursor_linedec,
    cursor_pageinc,
    cursor_pagedec,
    scroll_update
};

// Request codes of DoScroll, numbered like the classic scroll-bar requests.
enum TScrollCode : int {
    sb_lineup = 0,
    sb_linedown = 1,
    sb_pageup = 2,
    sb_pagedown = 3,
    sb_thumbposition = 4,
    sb_thumbtrack = 5,
    sb_top = 6,
    sb_bottom = 7
};

class THexWindow : public QAbstractScrollArea {
    Q_OBJECT

  public:
    // Layout constants in pixels: rows start at y = rectdist + yoffset, the
    // address column at x = Xoffset + rectdist.
    static constexpr int yoffset = 2;
    static constexpr int Xoffset = 2;
    static constexpr int rectdist = 2;

    explicit THexWindow(QWidget* owner = nullptr);
    ~THexWindow() override;

    // Colours. Changing BackColor, LabelColor, DataColor or AsciiColor
    // repaints at once; ErrorColor and PassColor show at the next paint.
    QColor BackColor() const { return FBackColor; }
    void SetBackColor(const QColor& c);
    QColor LabelColor() const { return FLabelColor; }
    void SetLabelColor(const QColor& c);
    QColor DataColor() const { return FDataColor; }
    void SetDataColor(const QColor& c);
    QColor AsciiColor() const { return FAsciiColor; }
    void SetAsciiColor(const QColor& c);
    QColor ErrorColor() const { return FErrorColor; }
    void SetErrorColor(const QColor& c) { FErrorColor = c; }
    QColor PassColor() const { return FPassColor; }
    void SetPassColor(const QColor& c) { FPassColor = c; }

    // When true no byte can be changed: typing is ignored and editing never
    // starts; the cursor still moves.
    bool readonly() const { return Freadonly; }
    void Setreadonly(bool value);

    // The attached buffer (not owned), or none. Attaching one resets the
    // cursor. Detach the buffer before freeing it.
    THexList* Data() const { return FData; }
    void SetData(THexList* buffer);

    // The cursor byte. Setting it settles a pending edit first, then clamps
    // the index to the buffer.
    int Cursor() const { return FCursor; }
    void SetCursor(int index);

    // Menu opened on a right click (not owned), or none.
    QMenu* PopUpMenu() const { return FPopUpMenu; }
    void SetPopUpMenu(QMenu* menu) { FPopUpMenu = menu; }

    // Row (address div 16) shown at the top.
    int DrawFrom() const { return FDrawFrom; }
    void SetDrawFrom(int row);

    // Cursor 0, top row 0, not editing; scroll range 0..size div 16.
    void ResetCursor();
    void AlterCursor(TCursorIncrement increment);
    // One scroll step (TScrollCode); keep leaves the view and cursor as they
    // are and only sets the scroll bar.
    void DoScroll(int code, int position, bool keep);
    // Whole rows that fit in the view (the paint draws one more, cut off);
    // in pixels when asked.
    int GetNumRows(bool InPixels = false) const;
    // Paints now.
    void RecreateCanvas();
    // Hint for the last mouse position: address, value in hex, decimal,
    // bits and as a character, lines separated by carriage returns; empty
    // when the mouse is over no byte.
    QString CalcHint();
    // Takes focus, then paints.
    void SetFocus();

    // Editing state.
    bool isediting() const { return Fisediting; }
    bool EditAscii() const { return FEditAscii; }
    QString CurrentEdit() const { return FCurrentEdit; }
    bool ControlKey() const { return FControlKey; }
    // Text of the last CalcHint (carriage-return separated).
    QString Hint() const { return FHint; }

    // Character cell width and line height of the view's font.
    int CharWidth() const { return cw; }
    int LineHeight() const { return lh; }
    // Width of the drawn image: address, hex cells, text column and a margin.
    int ImageWidth() const { return 9 * cw + 48 * cw + 16 * cw + 8; }

    // The character a byte stands for (the ANSI code page, with the classic
    // terminal symbols for control codes), shown in the hint, and the byte a
    // typed character stands for (-1 when none).
    static QChar ByteChar(std::uint8_t b);
    static int CharByte(QChar c);
    // The text column shows printable ASCII (20h to 7Eh) as itself and every
    // other byte as "."; with ShowCodePage every byte as its ByteChar.
    bool ShowCodePage() const { return FShowCodePage; }
    void SetShowCodePage(bool value);
    // The byte drawn for b in the text column.
    std::uint8_t TextColumnByte(std::uint8_t b) const;

  signals:
    // A byte was changed by the operator (value written, status normal).
    void DataEdited(quint32 index);
    // Right click (or menu key), before PopUpMenu opens.
    void ContextMenuRequested(QPoint globalPos);

  protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void changeEvent(QEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    // One colour's worth of glyphs to draw in a single call.
    struct TGlyphBatch {
        QList<quint32> glyphs;
        QList<QPointF> positions;
        // Characters the font lacks, drawn through the font fallback.
        QList<QPair<QPointF, std::uint8_t>> fallback;
    };
    enum TBatch { bt_label, bt_data, bt_pass, bt_error, bt_ascii, bt_count };

    void RecomputeMetrics();
    void DrawLabels(QPainter& p);
    void DrawPlaceholders(QPainter& p);
    void DrawEdit(QPainter& p, int index);
    void AddGlyph(TGlyphBatch& batch, int x, int baseline, std::uint8_t code);
    void AddText(TGlyphBatch& batch, int x, int baseline, const QByteArray& text);
    void FlushBatch(QPainter& p, TGlyphBatch& batch, const QColor& color);
    // Byte codes drawn as characters in cells starting at x, on a background.
    void DrawCells(QPainter& p, int x, int top, const QByteArray& codes, const QColor& fg, const QColor& bg);

    void StoreByte(int index, std::uint8_t value);
    void SyncPendingEdit();
    void AfterKey();
    void CharTyped(QChar ch);
    // Byte under a point of the view (hex cell, or text cell in the text
    // column), not checked against the buffer size; -1 when none.
    qint64 ByteAt(QPoint pt, bool* inText) const;
    void OnScrollAction(int action);
    void OnSliderReleased();

    THexList* FData = nullptr;
    int FCursor = 0;
    QPoint LastMouse;
    qint64 LastMouseCursor = -1;
    bool Fisediting = false;
    bool FEditAscii = false;
    bool FControlKey = false;
    int FDrawFrom = 0;
    QString FCurrentEdit;
    QString FHint;

    QColor FBackColor;
    QColor FLabelColor;
    QColor FDataColor;
    QColor FAsciiColor;
    QColor FErrorColor;
    QColor FPassColor;
    bool Freadonly = false;
    bool FShowCodePage = false;
    QPointer<QMenu> FPopUpMenu;

    // Font metrics and glyph tables, rebuilt when the font changes.
    int cw = 8;
    int lh = 16;
    int FAscent = 12;
    QRawFont FRawFont;
    std::array<quint32, 256> FGlyph{};
    std::array<bool, 256> FHasGlyph{};
    std::array<TGlyphBatch, bt_count> FBatches;
};
