#include "sim/simulator.h"

#include "link/net.h"
#include "sim/discoveryresponder.h"
#include "sim/unitmodel.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <random>
#include <thread>

namespace qn::sim {

namespace {

using Clock = std::chrono::steady_clock;

std::string unitLabel(const UnitConfig &c, int index)
{
    char text[96];
    std::snprintf(text, sizeof text, "unit %d (%s ID %d at %s:%u)", index, std::string(proto::modelName(c.modelId)).c_str(),
                  c.unitId, c.bindIp.c_str(), unsigned(c.tcpPort));
    return text;
}

} // namespace

std::vector<uint8_t> LoggedRequest::params() const
{
    if (bytes.size() < 3)
        return {};
    return std::vector<uint8_t>(bytes.begin() + 2, bytes.end() - 1);
}

std::string LoggedRequest::name() const
{
    if (op)
        return std::string(proto::opName(*op));
    std::string text = "?";
    for (std::size_t i = 0; i < bytes.size() && i < 2; ++i)
        text += char(bytes[i]);
    return text;
}

struct Connection {
    net::Socket socket;
    std::thread thread;
    std::atomic<bool> done{false};
    uint64_t generation = 0; // the unit's power cycle it was accepted in
};

struct Simulator::Unit {
    explicit Unit(const UnitConfig &c, uint32_t seed) : config(c), model(c, seed) {}

    UnitConfig config;
    uint32_t ip = 0;

    mutable std::mutex mutex; // everything below up to the sockets
    mutable std::condition_variable logCv;
    UnitModel model;
    Fault fault;
    std::vector<LoggedRequest> log;
    std::size_t bytesReceived = 0; // by every connection
    std::size_t requestsDone = 0;  // answered or left unanswered
    int connections = 0;
    bool online = true;
    uint64_t generation = 0; // goes up each time the unit comes back on
    Clock::time_point epoch = Clock::now();

    std::atomic<bool> stopping{false};
    std::mutex socketMutex; // listener, plugs, connection list
    net::Socket listener;
    std::vector<net::Socket> plugs; // fill the backlog of a switched-off unit
    std::thread acceptThread;
    std::vector<std::unique_ptr<Connection>> conns;
    std::unique_ptr<DiscoveryResponder> responder;
    std::function<void(const LoggedRequest &)> onRequest; // set before the threads start

    double seconds() const { return std::chrono::duration<double>(Clock::now() - epoch).count(); }
    // Counts under the lock and wakes whoever waits on the log.
    void count(std::size_t Unit::*counter, std::size_t n)
    {
        std::lock_guard lock(mutex);
        this->*counter += n;
        logCv.notify_all();
    }

    int bindListener(bool accepting);
    void acceptLoop(net::Socket *listenerSocket);
    void serve(Connection *conn, uint64_t gen);
    void reapFinished();
    void closeConnections();
    // Sleeps up to ms, returning early when the simulator stops.
    void pause(int ms) const;
};

int Simulator::Unit::bindListener(bool accepting)
{
    int err = 0;
    net::Socket s = net::Socket::tcp(err);
    if (!s.valid())
        return err;
    s.setReuseAddress(true);
    if ((err = s.bind(net::Address{ip, config.tcpPort})) != 0)
        return err;
    // A unit that is switched off lets connection attempts go unanswered (the caller
    // times out, as on a LAN) rather than refusing them: its queue is kept full.
    if ((err = s.listen(accepting ? 16 : 0)) != 0)
        return err;
    if (auto local = s.localAddress()) {
        // Readers of the config take the unit's lock; a re-bind after a power
        // cycle keeps the port, so only the first bind changes it.
        std::lock_guard lock(mutex);
        config.tcpPort = local->port;
    }
    listener = std::move(s);
    if (!accepting) {
        for (int i = 0; i < 2; ++i) {
            int e = 0;
            net::Socket plug = net::Socket::tcp(e);
            if (plug.valid()) {
                plug.connect(net::Address{ip, config.tcpPort}, 200);
                plugs.push_back(std::move(plug));
            }
        }
    }
    return 0;
}

void Simulator::Unit::acceptLoop(net::Socket *listenerSocket)
{
    while (!stopping.load()) {
        int err = 0;
        net::Address peer;
        net::Socket s = listenerSocket->accept(&peer, err);
        if (!s.valid()) {
            if (net::isOutOfResources(err)) {
                pause(50);
                continue;
            }
            return; // the listener was shut: stopping or switched off
        }
        s.setNoDelay(true);
        uint64_t gen;
        {
            std::lock_guard lock(mutex);
            if (!online)
                continue; // closes it
            ++connections;
            gen = generation;
        }
        std::lock_guard lock(socketMutex);
        reapFinished();
        if (stopping.load())
            return;
        auto conn = std::make_unique<Connection>();
        conn->socket = std::move(s);
        conn->generation = gen;
        Connection *c = conn.get();
        conn->thread = std::thread([this, c, gen] { serve(c, gen); });
        conns.push_back(std::move(conn));
    }
}

void Simulator::Unit::reapFinished()
{
    for (auto it = conns.begin(); it != conns.end();) {
        if ((*it)->done.load()) {
            (*it)->thread.join();
            it = conns.erase(it);
        } else {
            ++it;
        }
    }
}

void Simulator::Unit::closeConnections()
{
    // Caller holds socketMutex.
    for (auto &c : conns)
        c->socket.shutdownBoth();
    for (auto &c : conns)
        if (c->thread.joinable())
            c->thread.join();
    conns.clear();
}

void Simulator::Unit::pause(int ms) const
{
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (!stopping.load() && Clock::now() < until)
        std::this_thread::sleep_for(std::min<Clock::duration>(std::chrono::milliseconds(5), until - Clock::now()));
}

void Simulator::Unit::serve(Connection *conn, uint64_t gen)
{
    net::Socket &s = conn->socket;
    std::vector<uint8_t> pending;
    uint8_t buffer[256];
    std::mt19937 garbage(uint32_t(config.unitId * 7919 + gen));
    bool alive = true;
    int headReceives = 0; // receive calls that delivered the bytes of the first pending request
    while (alive && !stopping.load()) {
        int err = 0;
        const long n = s.receive(buffer, sizeof buffer, err);
        if (n <= 0)
            break;
        count(&Unit::bytesReceived, std::size_t(n));
        headReceives = pending.empty() ? 1 : headReceives + 1;
        pending.insert(pending.end(), buffer, buffer + n);
        // Requests end with the terminator; no parameter byte can equal it.
        for (;;) {
            auto term = std::find(pending.begin(), pending.end(), proto::kTerminator);
            if (term == pending.end())
                break;
            std::vector<uint8_t> request(pending.begin(), term + 1);
            pending.erase(pending.begin(), term + 1);
            const int receives = headReceives;
            headReceives = pending.empty() ? 0 : 1;

            std::vector<uint8_t> reply;
            Fault f;
            std::optional<LoggedRequest> taken; // for the observer, told outside the lock
            {
                std::lock_guard lock(mutex);
                if (!online || generation != gen) {
                    ++requestsDone; // switched off: hears nothing, says nothing
                    logCv.notify_all();
                    continue;
                }
                LoggedRequest entry;
                entry.op = proto::opFromRequest(request.data(), request.size());
                entry.bytes = request;
                entry.receives = receives;
                log.push_back(std::move(entry));
                logCv.notify_all();
                if (onRequest)
                    taken = log.back();
                if (fault.skip > 0) {
                    --fault.skip;
                } else {
                    f = fault;
                    if (fault.kind != FaultKind::None && fault.count > 0 && --fault.count == 0)
                        fault = Fault{};
                }
                reply = model.answer(request.data(), request.size(), seconds());
            }
            if (taken)
                onRequest(*taken);
            if (reply.empty()) {
                count(&Unit::requestsDone, 1); // not understood: a unit stays silent
                continue;
            }
            switch (f.kind) {
            case FaultKind::None:
                break;
            case FaultKind::ReplyLate:
                pause(f.delayMs);
                break;
            case FaultKind::NoReply:
                reply.clear();
                break;
            case FaultKind::PartialReply:
                reply.resize(std::min<std::size_t>(reply.size(), std::size_t(std::max(f.bytes, 0))));
                break;
            case FaultKind::SplitReply:
                for (std::size_t i = 0; i + 1 < reply.size() && alive; ++i) {
                    alive = s.send(&reply[i], 1, err) == 1;
                    pause(f.delayMs);
                }
                reply.erase(reply.begin(), reply.end() - 1);
                break;
            case FaultKind::Garbage:
                for (uint8_t &b : reply)
                    b = uint8_t(0x80 + garbage() % 0x40); // never a letter, digit or terminator
                break;
            case FaultKind::DropConnection:
                alive = false;
                reply.clear();
                break;
            }
            if (alive && !reply.empty() && s.send(reply.data(), reply.size(), err) != long(reply.size()))
                alive = false;
            count(&Unit::requestsDone, 1);
            if (!alive)
                break;
        }
    }
    s.shutdownBoth();
    conn->done.store(true);
}

// ---- Simulator ----

Simulator::Simulator() = default;

Simulator::~Simulator() { stop(); }

int Simulator::addUnit(const UnitConfig &config)
{
    const uint32_t seed = uint32_t(m_units.size() * 2654435761u + uint32_t(config.unitId) * 40503u + config.modelId);
    m_units.push_back(std::make_unique<Unit>(config, seed));
    return int(m_units.size()) - 1;
}

bool Simulator::start(std::string *error, bool allowExternal)
{
    if (m_running)
        return true;
    for (std::size_t i = 0; i < m_units.size(); ++i) {
        Unit &u = *m_units[i];
        if (m_requestObserver)
            u.onRequest = [observer = m_requestObserver, index = int(i)](const LoggedRequest &r) { observer(index, r); };
        const auto ip = net::parseIpv4(u.config.bindIp);
        std::string problem;
        if (!ip)
            problem = "bind address is not a dotted IPv4 address";
        else if (!net::isLoopback(*ip) && !allowExternal)
            problem = "bind address is outside 127.0.0.0/8 (loopback only unless allowed)";
        else if (proto::modelName(u.config.modelId).empty())
            problem = "unknown model ID";
        else if (u.config.unitId < 0 || u.config.unitId > 15)
            problem = "unit ID outside 0..15";
        if (problem.empty()) {
            u.ip = *ip;
            std::lock_guard lock(u.socketMutex);
            const int err = u.bindListener(true);
            if (err != 0)
                problem = "cannot listen (socket error " + std::to_string(err) + ")";
        }
        if (!problem.empty()) {
            if (error)
                *error = unitLabel(u.config, int(i)) + ": " + problem;
            m_running = true;
            stop();
            return false;
        }
    }
    uint16_t sharedUdpPort = 0;
    for (std::size_t i = 0; i < m_units.size(); ++i) {
        Unit &u = *m_units[i];
        const DiscoveryBehaviour &d = u.config.discovery;
        if (!d.enabled)
            continue;
        ResponderConfig rc;
        rc.unitIp = u.config.bindIp;
        rc.udpPort = d.udpPort != 0 ? d.udpPort : sharedUdpPort;
        rc.mac = u.config.mac;
        rc.tcpPort = u.config.tcpPort;
        rc.answerSearch = d.answerSearch;
        rc.answerDetail1 = d.answerDetail1;
        rc.answerDetail2 = d.answerDetail2;
        rc.searchDelayMs = d.replyDelayMs;
        rc.detailDelayMs = d.replyDelayMs;
        rc.broadcastAddresses = d.broadcastAddresses;
        rc.allowFrom = d.allowFrom;
        u.responder = std::make_unique<DiscoveryResponder>(rc);
        std::string problem;
        if (!u.responder->start(&problem)) {
            if (error)
                *error = unitLabel(u.config, int(i)) + ": " + problem;
            m_running = true;
            stop();
            return false;
        }
        if (d.udpPort == 0 && sharedUdpPort == 0)
            sharedUdpPort = u.responder->udpPort();
    }
    for (auto &u : m_units) {
        u->stopping = false;
        u->epoch = Clock::now();
        u->acceptThread = std::thread([p = u.get()] { p->acceptLoop(&p->listener); });
    }
    m_running = true;
    return true;
}

void Simulator::stop()
{
    if (!m_running)
        return;
    for (auto &u : m_units) {
        if (u->responder)
            u->responder->stop();
        u->stopping = true;
        std::unique_lock lock(u->socketMutex);
        u->listener.shutdownBoth();
        lock.unlock();
        if (u->acceptThread.joinable())
            u->acceptThread.join();
        lock.lock();
        u->listener.close();
        u->plugs.clear();
        u->closeConnections();
    }
    m_running = false;
}

bool Simulator::running() const { return m_running; }
int Simulator::unitCount() const { return int(m_units.size()); }

UnitConfig Simulator::config(int unit) const
{
    std::lock_guard lock(m_units.at(unit)->mutex);
    return m_units.at(unit)->config;
}

uint16_t Simulator::tcpPort(int unit) const { return config(unit).tcpPort; }

uint16_t Simulator::udpPort(int unit) const
{
    const auto &r = m_units.at(unit)->responder;
    return r ? r->udpPort() : 0;
}

UnitState Simulator::state(int unit) const
{
    Unit &u = *m_units.at(unit);
    std::lock_guard lock(u.mutex);
    return u.model.state();
}

void Simulator::updateState(int unit, const std::function<void(UnitState &)> &change)
{
    Unit &u = *m_units.at(unit);
    std::lock_guard lock(u.mutex);
    change(u.model.state());
}

void Simulator::pinAI(int unit, int channel, int code)
{
    updateState(unit, [&](UnitState &s) { s.pinnedAi.at(channel) = code; });
}

void Simulator::pinDI(int unit, int bits)
{
    updateState(unit, [&](UnitState &s) { s.pinnedDi = bits; });
}

void Simulator::unpinAll(int unit)
{
    updateState(unit, [](UnitState &s) {
        s.pinnedAi = {};
        s.pinnedDi.reset();
    });
}

void Simulator::setFault(int unit, const Fault &fault)
{
    Unit &u = *m_units.at(unit);
    std::lock_guard lock(u.mutex);
    u.fault = fault.count == 0 ? Fault{} : fault;
}

void Simulator::clearFault(int unit) { setFault(unit, Fault{}); }

void Simulator::setOnline(int unit, bool on)
{
    Unit &u = *m_units.at(unit);
    {
        std::lock_guard lock(u.mutex);
        if (u.online == on)
            return;
        u.online = on;
        if (on)
            ++u.generation; // connections from before the power cycle are dead
    }
    if (u.responder)
        u.responder->setMuted(!on);
    if (!m_running)
        return;
    std::unique_lock lock(u.socketMutex);
    u.listener.shutdownBoth();
    lock.unlock();
    if (u.acceptThread.joinable())
        u.acceptThread.join();
    lock.lock();
    u.listener.close();
    u.plugs.clear();
    if (on) {
        // Back from a power cycle: what was open before is gone.
        u.closeConnections();
    }
    if (u.bindListener(on) == 0 && on)
        u.acceptThread = std::thread([p = &u] { p->acceptLoop(&p->listener); });
}

bool Simulator::online(int unit) const
{
    Unit &u = *m_units.at(unit);
    std::lock_guard lock(u.mutex);
    return u.online;
}

void Simulator::setRequestObserver(std::function<void(int unit, const LoggedRequest &request)> observer)
{
    m_requestObserver = std::move(observer);
}

std::vector<LoggedRequest> Simulator::requestLog(int unit) const
{
    Unit &u = *m_units.at(unit);
    std::lock_guard lock(u.mutex);
    return u.log;
}

std::vector<std::string> Simulator::requestNames(int unit) const
{
    std::vector<std::string> names;
    for (const LoggedRequest &r : requestLog(unit))
        names.push_back(r.name());
    return names;
}

void Simulator::clearRequestLog(int unit)
{
    Unit &u = *m_units.at(unit);
    std::lock_guard lock(u.mutex);
    u.log.clear();
}

bool Simulator::waitForRequests(int unit, std::size_t n, int timeoutMs) const
{
    Unit &u = *m_units.at(unit);
    std::unique_lock lock(u.mutex);
    return u.logCv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return u.log.size() >= n; });
}

bool Simulator::waitForBytes(int unit, std::size_t n, int timeoutMs) const
{
    Unit &u = *m_units.at(unit);
    std::unique_lock lock(u.mutex);
    return u.logCv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return u.bytesReceived >= n; });
}

bool Simulator::waitForAnswers(int unit, std::size_t n, int timeoutMs) const
{
    Unit &u = *m_units.at(unit);
    std::unique_lock lock(u.mutex);
    return u.logCv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return u.requestsDone >= n; });
}

int Simulator::connectionCount(int unit) const
{
    Unit &u = *m_units.at(unit);
    std::lock_guard lock(u.mutex);
    return u.connections;
}

std::vector<uint8_t> Simulator::answer(int unit, const uint8_t *request, std::size_t size)
{
    Unit &u = *m_units.at(unit);
    std::lock_guard lock(u.mutex);
    return u.model.answer(request, size, u.seconds());
}

} // namespace qn::sim
