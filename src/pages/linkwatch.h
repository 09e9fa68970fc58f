#pragma once
// Whether a page's unit is answering, from the results of the page's own requests: which
// requests are on their way, since when the unit has not answered, when the page last had
// a good reading, and when an idle page should ask the unit something cheap to find out.
// A success after failures means the link has reconnected: the page then reads the unit's
// state again, since the unit may have been restarted with other settings meanwhile. The
// outage stays on record (from the first failure to the answer that ended it) until the
// operator has seen it, so a unit that was away and came back between two looks at the
// window does not go unnoticed.
// Plain bookkeeping, no timers of its own: the page reports posts, results and ticks.
// GUI thread only.
#include <QDateTime>

#include <functional>

namespace qn {

class LinkWatch final {
public:
    enum class State { Unknown, Answering, NotAnswering };

    // An idle page asks after this many ticks without a request on its way (3 s).
    static constexpr int kIdleProbeTicks = 30;

    struct Hooks {
        std::function<void()> changed;     // state or last-reading time changed
        std::function<void()> reconnected; // a success after failures
    };
    explicit LinkWatch(Hooks hooks) : m_hooks(std::move(hooks)) {}

    void posted()
    {
        ++m_inFlight;
        m_idleTicks = 0;
    }
    // A result came back: ok says whether the unit answered.
    void finished(bool ok, const QDateTime &now);
    // A reading the page shows arrived: its values are current again.
    void readingArrived(const QDateTime &now);
    // One page tick; true when the page should post its idle probe now.
    bool tickWantsProbe();

    State state() const { return m_state; }
    bool answering() const { return m_state != State::NotAnswering; }
    QDateTime notAnsweringSince() const { return m_since; }
    QDateTime lastReading() const { return m_lastReading; }
    int inFlight() const { return m_inFlight; }

    // What the unit window shows: "接続中", "応答なし (HH:MM:SS から)" or, before the first
    // answer, "応答待ち"; and "最終読み取り HH:MM:SS" (empty before the first reading).
    QString stateText() const;
    QString lastReadingText() const;

    // The outages since the operator last saw the record: "応答なし HH:MM:SS – HH:MM:SS"
    // (from the first one's start to the last one's end), empty when there is none.
    bool outageUnseen() const { return m_outageFrom.isValid(); }
    QString outageText() const;
    void outageSeen();

private:
    Hooks m_hooks;
    State m_state = State::Unknown;
    QDateTime m_since;
    QDateTime m_lastReading;
    QDateTime m_outageFrom;
    QDateTime m_outageTo;
    int m_inFlight = 0;
    int m_idleTicks = 0;
};

} // namespace qn
