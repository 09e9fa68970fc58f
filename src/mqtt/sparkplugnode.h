#pragma once
// The logging service as a Sparkplug B edge node (see README, "Sparkplug B"): each unit a
// device, over the publisher's connection, reconnection and journal. The same calls as the
// publisher's JSON side; any thread.
//
// NBIRTH (bdSeq, Node Control/Rebirth) on each connection, its last will the NDEATH with the
// same bdSeq (counted on from the one kept in the persistence folder); DBIRTH with every
// metric at a unit's first reading (and again after it answers anew, on a reconnection and on
// a rebirth); DDATA with the metrics that changed since the unit's last reading; DDEATH when
// it stops answering. seq counts all of them but NDEATH, 0 to 255, from 0 at each NBIRTH.
#include "mqtt/publisher.h"

#include <memory>

namespace qn::mqtt {

class SparkplugNode final {
public:
    SparkplugNode(BrokerOptions options, Publisher::MessageSink sink);
    ~SparkplugNode(); // NDEATH while connected; what waits stays in the journal
    SparkplugNode(const SparkplugNode &) = delete;
    SparkplugNode &operator=(const SparkplugNode &) = delete;

    bool start();
    void addUnit(const UnitKey &unit, Model model, bool commandsEnabled, Publisher::CommandRunner runner = {});
    void publishReading(const UnitReading &reading);
    void publishUnitStatus(const UnitKey &unit, bool online);

    const Publisher *publisher() const { return m_publisher.get(); }

    struct State;

private:
    std::shared_ptr<State> m_state;
    std::unique_ptr<Publisher> m_publisher;
};

} // namespace qn::mqtt
