#pragma once
// One copy of the program per user: the first start holds the lock and listens; a later
// start asks it to come to the front (a minimised window included) and ends.
#include "app/startup.h"

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;

namespace qn {

class SingleInstance final : public QObject {
    Q_OBJECT
public:
    // lockDirectory as for SingleInstanceLock. GUI thread.
    explicit SingleInstance(const QString &lockDirectory = QString(), QObject *parent = nullptr);
    ~SingleInstance() override;

    // True for the copy that runs (it listens for later starts).
    bool isFirst() const { return m_lock.acquired(); }

    // A later start: asks the running copy to come to the front and waits until it says it
    // has. False when none listens within connectTimeoutMs or it does not answer within
    // answerTimeoutMs after. Blocks; needs no event loop.
    bool askRunningCopyToShow(int connectTimeoutMs = 3000, int answerTimeoutMs = 15000) const;

signals:
    // The first copy: another start asked for it. The copy answers once the slots return.
    void showRequested();

private:
    void answerNextStart();

    SingleInstanceLock m_lock;
    QString m_serverName;
    std::unique_ptr<QLocalServer> m_server;
};

} // namespace qn
