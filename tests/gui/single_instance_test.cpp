// One instance per user: a second start finds the first, asks it to come to
// the front and ends; a socket left behind by a crashed instance is taken over.
#include "gui/single_instance.h"

#include <QCoreApplication>
#include <QLocalServer>
#include <QSignalSpy>
#include <QTest>
#include <QUuid>

class SingleInstanceTest : public QObject {
    Q_OBJECT

  private:
    static QString UniqueName() {
        return QStringLiteral("norvoisp-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    }

  private slots:
    void secondStartActivatesTheFirst() {
        const QString name = UniqueName();
        TSingleInstance first(name);
        QVERIFY(!first.ActivateRunning());
        QSignalSpy activated(&first, &TSingleInstance::ActivationRequested);
        TSingleInstance second(name);
        QVERIFY(second.ActivateRunning());
        QVERIFY(activated.wait(5000));
        QCOMPARE(activated.count(), 1);
    }

    void leftoverSocketIsTakenOver() {
        const QString name = UniqueName();
        {
            // A server that stops listening without removing its socket
            // file looks like a crashed instance.
            QLocalServer stale;
            stale.setSocketOptions(QLocalServer::UserAccessOption);
            QVERIFY(stale.listen(name));
            stale.close();
        }
        TSingleInstance fresh(name);
        QVERIFY(!fresh.ActivateRunning());
        TSingleInstance later(name);
        QVERIFY(later.ActivateRunning());
    }
};

QTEST_MAIN(SingleInstanceTest)
#include "single_instance_test.moc"
