#pragma once
// SIGTERM, SIGINT and SIGHUP as Qt signals on the main thread: the handlers only write the
// signal's number into a pipe that a socket notifier reads.
#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace qn::logsvc {

class SignalPipe final : public QObject {
    Q_OBJECT
public:
    SignalPipe();
    ~SignalPipe() override;
    // false (see errorText) when the pipe or a handler could not be set up.
    bool install();
    QString errorText() const { return m_error; }

signals:
    void terminate();
    void hangUp();

private:
    void readPending();
    std::unique_ptr<QSocketNotifier> m_notifier;
    QString m_error;
};

} // namespace qn::logsvc
