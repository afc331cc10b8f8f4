#include "gui/status_panel.h"

#include <QPainter>
#include <QPalette>

TStatusPanel::TStatusPanel(QWidget* owner) : QWidget(owner) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setMaximumWidth(PanelWidth);
    setMinimumHeight(fontMetrics().height() + 4);
}

QSize TStatusPanel::sizeHint() const {
    return {PanelWidth, fontMetrics().height() + 4};
}

QSize TStatusPanel::minimumSizeHint() const {
    // The indicator and a few letters.
    const int h = fontMetrics().height() + 4;
    return {4 + h + fontMetrics().horizontalAdvance(QStringLiteral("EEPROM: ...")), h};
}

QString TStatusPanel::ShownText() const {
    if (!IndicatorColor(FStatusMessage, FStatusOn).isValid()) return {};
    const int x = 4 + height();
    return fontMetrics().elidedText(FStatusMessage.mid(2), Qt::ElideRight, width() - x - 2);
}

void TStatusPanel::SetState(const QString& statusMessage, bool statusOn) {
    if (statusMessage == FStatusMessage && statusOn == FStatusOn) return;
    FStatusMessage = statusMessage;
    FStatusOn = statusOn;
    setToolTip(IndicatorColor(FStatusMessage, FStatusOn).isValid() ? FStatusMessage.mid(2) : QString());
    update();
}

QColor TStatusPanel::IndicatorColor(const QString& statusMessage, bool statusOn) {
    if (statusMessage.size() < 2 || statusMessage[1] != QLatin1Char('|')) return {};
    switch (statusMessage[0].unicode()) {
    case '0':
        return QColor(0, 255, 64);
    case '1':
        return QColor(255, 128, 0);
    case '2':
        return statusOn ? QColor(255, 0, 0) : QColor(0, 0, 0);
    default:
        return {};
    }
}

void TStatusPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Button));
    const QColor color = IndicatorColor(FStatusMessage, FStatusOn);
    if (!color.isValid()) return;

    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(color);
    const int top = (height() - IndicatorSize) / 2;
    p.drawEllipse(QRectF(4.5, top + 0.5, IndicatorSize - 1, IndicatorSize - 1));

    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::black);
    const QFontMetrics fm = fontMetrics();
    const int letterHeight = fm.tightBoundingRect(QStringLiteral("A")).height();
    const int baseline = (height() + letterHeight) / 2;
    p.setClipRect(rect());
    p.drawText(4 + height(), baseline, ShownText());
}
