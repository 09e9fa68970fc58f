#pragma once
// The UDP discovery side of one simulated unit: answers the search query and the
// two detail queries, always from the unit's own address so the PC lists the
// right sender.
//
// Several units on one machine share the UDP port: each binds its own address
// (unicast queries, and every answer goes out of it) plus, with SO_REUSEADDR, a
// broadcast address such as 127.255.255.255 so a search reaches all of them.
// Only senders on loopback, or in a subnet the caller allows explicitly, are
// answered, so a unit never talks to a network that is not ours.
//
// Threads: public functions may be called from any thread; the responder runs
// one thread of its own between start() and stop().

#include "link/discovery.h"
#include "link/net.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace qn::sim {

struct ResponderConfig {
    std::string unitIp = "127.0.0.1";
    uint16_t udpPort = kDiscoveryPort;   // 0: pick a free one (see DiscoveryResponder::udpPort)
    MacAddress mac{0x00, 0x80, 0x92, 0x00, 0x00, 0x01};
    uint16_t tcpPort = 0;                // reported in detail reply 1
    bool answerSearch = true;
    bool answerDetail1 = true;
    bool answerDetail2 = true;
    int searchDelayMs = 0;               // wait before answering the search query
    int detailDelayMs = 0;               // wait before answering a detail query
    // Broadcast addresses heard besides the own address. nullopt: 127.255.255.255
    // when unitIp is on loopback, none otherwise.
    std::optional<std::vector<std::string>> broadcastAddresses;
    // Subnets ("10.213.0.0/24") answered besides 127.0.0.0/8.
    std::vector<std::string> allowFrom;
    // Lengths of the three answers; shorter ones let tests check how the PC
    // copes with truncated datagrams.
    std::size_t searchReplyLength = kSearchReplyMax;
    std::size_t detail1ReplyLength = kDetailReply1Max;
    std::size_t detail2ReplyLength = kDetailReply2Max;
};

enum class QueryKind { Search, Detail1, Detail2 };

struct QueryRecord {
    QueryKind kind;
    net::Address from;
    bool broadcast;   // heard on a broadcast address rather than the own one
};

// The three answers, as a unit sends them.
std::vector<uint8_t> searchReply(const MacAddress &mac, std::size_t length = kSearchReplyMax);
std::vector<uint8_t> detailReply1(uint16_t tcpPort, std::size_t length = kDetailReply1Max);
std::vector<uint8_t> detailReply2(std::size_t length = kDetailReply2Max);
// Which query a datagram is; nullopt for anything else.
std::optional<QueryKind> classifyQuery(const uint8_t *data, std::size_t size);

// "a.b.c.d/n" into network and mask (host order); nullopt when malformed.
struct Subnet {
    uint32_t network = 0;
    uint32_t mask = 0;
    bool contains(uint32_t ip) const { return (ip & mask) == network; }
};
std::optional<Subnet> parseSubnet(const std::string &text);

class DiscoveryResponder final {
public:
    explicit DiscoveryResponder(ResponderConfig config);
    ~DiscoveryResponder();   // stops
    DiscoveryResponder(const DiscoveryResponder &) = delete;
    DiscoveryResponder &operator=(const DiscoveryResponder &) = delete;

    // Binds and starts answering. false with a reason on failure.
    bool start(std::string *error = nullptr);
    void stop();

    uint16_t udpPort() const { return m_port.load(); }
    // A muted unit (switched off) hears nothing and answers nothing.
    void setMuted(bool muted) { m_muted = muted; }
    const ResponderConfig &config() const { return m_config; }

    // Whether a query from ip gets an answer: loopback, or a subnet in allowFrom
    // (known after start()).
    bool answersSender(uint32_t ip) const;

    // Queries received from allowed senders, in arrival order.
    std::vector<QueryRecord> queries() const;
    std::size_t queryCount() const;
    void clearLog();
    // Waits until at least n queries were received; false after timeoutMs.
    bool waitForQueries(std::size_t n, int timeoutMs) const;

private:
    void run();
    void handle(QueryKind kind, const net::Address &from);
    // Sleeps up to ms; false when stopped meanwhile.
    bool pause(int ms);

    ResponderConfig m_config;
    std::vector<Subnet> m_allowed;
    net::Socket m_own;
    std::vector<net::Socket> m_broadcast;
    std::atomic<uint16_t> m_port{0};
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_muted{false};

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<QueryRecord> m_log;
};

} // namespace qn::sim
