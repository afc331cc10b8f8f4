#include "gui/status_panel.h"

#include <QPainter>
#include <QPalette>

TStatusPanel::TStatusPanel(QWidget* owner) : QWidget(owner) {
    setFixedWidth(PanelWidth);
    setMinimumHeight(fontMetrics().height() + 4);
}

QSize TStatusPanel::sizeHint() const {
    return {PanelWidth, fontMetrics().height() + 4};
}

void TStatusPanel::SetState(const QString& statusMessage, bool statusOn) {
    if (statusMessage == FStatusMessage && statusOn == FStatusOn) return;
    FStatusMessage = statusMessage;
    FStatusOn = statusOn;
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
    const int x = 4 + height();
    p.drawText(x, baseline, fm.elidedText(FStatusMessage.mid(2), Qt::ElideRight, width() - x));
}
