// The status list: lines appended in a burst reach the view together, in
// order and complete; the view follows the end only when it was at the end.
#include "gui/status_log.h"

#include <QApplication>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

class StatusLogTest : public QObject {
    Q_OBJECT

  private slots:
    void aBurstOfLinesIsOneUpdateOfTheView() {
        TStatusLog log;
        log.resize(300, 200);
        log.show();
        QVERIFY(QTest::qWaitForWindowExposed(&log));
        QSignalSpy inserted(log.model(), &QAbstractItemModel::rowsInserted);
        for (int i = 0; i < 1000; ++i)
            log.Append(QString::number(i));
        // Every line is there at once; the view learns of them together.
        QCOMPARE(log.Count(), 1000);
        QCOMPARE(log.Lines().at(999), QStringLiteral("999"));
        QCOMPARE(log.model()->rowCount(), 0);
        QTRY_COMPARE(log.model()->rowCount(), 1000);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(log.model()->index(500, 0).data().toString(), QStringLiteral("500"));
        // A line too wide for the page shows whole in its tip.
        QCOMPARE(log.model()->index(500, 0).data(Qt::ToolTipRole).toString(), QStringLiteral("500"));
        QCOMPARE(log.verticalScrollBar()->value(), log.verticalScrollBar()->maximum());
    }

    void theViewFollowsTheEndOnlyFromTheEnd() {
        TStatusLog log;
        log.resize(300, 200);
        log.show();
        QVERIFY(QTest::qWaitForWindowExposed(&log));
        for (int i = 0; i < 200; ++i)
            log.Append(QString::number(i));
        log.FlushPending();
        QApplication::processEvents();
        QScrollBar* bar = log.verticalScrollBar();
        QCOMPARE(bar->value(), bar->maximum());
        for (int i = 0; i < 200; ++i)
            log.Append(QStringLiteral("more"));
        log.FlushPending();
        QApplication::processEvents();
        QCOMPARE(log.model()->rowCount(), 400);
        QCOMPARE(bar->value(), bar->maximum());
        // Scrolled back by the operator: new lines do not pull the view.
        bar->setValue(0);
        log.Append(QStringLiteral("last"));
        log.FlushPending();
        QApplication::processEvents();
        QCOMPARE(bar->value(), 0);
        log.SelectLast();
        QCOMPARE(log.currentIndex().row(), 400);
        log.Clear();
        QCOMPARE(log.Count(), 0);
        QCOMPARE(log.model()->rowCount(), 0);
    }
};

QTEST_MAIN(StatusLogTest)
#include "status_log_test.moc"
