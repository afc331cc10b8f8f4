// One running program per user. The first start listens on a local socket
// named after the user; a later start finds it, asks it to bring its window
// to the front and ends.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

class TSingleInstance : public QObject {
    Q_OBJECT

  public:
    // The socket name for the current user.
    static QString DefaultName();

    explicit TSingleInstance(QString name = DefaultName(), QObject* owner = nullptr);

    // True when another instance answered and was asked to come to the
    // front; false when this process is now the one instance (it listens
    // from here on). A socket left by a crashed instance is taken over.
    bool ActivateRunning();

  signals:
    // A later start asked this instance to show its window.
    void ActivationRequested();

  private:
    void OnNewConnection();

    QString FName;
    QLocalServer* FServer = nullptr;
};
