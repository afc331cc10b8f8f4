// The first panel of the status bar: a coloured indicator and the current
// status text. The status text carries its type as a two-character prefix:
// "0|" ok (green), "1|" busy (orange), "2|" warning (red, or black in the
// dark phase of the blink); without a prefix nothing is drawn.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

// It takes the width the status bar can give, up to PanelWidth; a text too
// long for it ends in an ellipsis and is shown whole in the tool tip.
class TStatusPanel : public QWidget {
    Q_OBJECT

  public:
    static constexpr int PanelWidth = 450;
    static constexpr int IndicatorSize = 12;

    explicit TStatusPanel(QWidget* owner = nullptr);

    // The message with its prefix, and the blink phase.
    void SetState(const QString& statusMessage, bool statusOn);
    const QString& StatusMessage() const { return FStatusMessage; }
    bool StatusOn() const { return FStatusOn; }

    // The indicator colour for a message and blink phase; invalid when the
    // message has no prefix.
    static QColor IndicatorColor(const QString& statusMessage, bool statusOn);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // The part of the text the panel has room for.
    QString ShownText() const;

  protected:
    void paintEvent(QPaintEvent* e) override;

  private:
    QString FStatusMessage;
    bool FStatusOn = true;
};
