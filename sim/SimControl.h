#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class SimServer;

// The operator's commands, typed on standard input or given on the command line. Both go
// through execute(), so a scripted run and a typed session behave the same.
class SimControl : public QObject {
    Q_OBJECT
public:
    struct Reply {
        bool ok = true;
        QString text; // for the operator's console; may be empty
    };

    explicit SimControl(SimServer& server, QObject* parent = nullptr);

    Reply execute(const QString& command);

    static QString help();

signals:
    void quitRequested();

private:
    Reply show() const;
    Reply alarm(const QStringList& args);
    Reply busy(const QStringList& args);
    Reply charge(const QStringList& args);
    Reply delay(const QString& name, const QStringList& args, int* delayMs);
    Reply unaskedHeartbeats(const QStringList& args);
    Reply toggle(const QString& name, const QStringList& args, bool* flag);

    SimServer& m_server;
};
