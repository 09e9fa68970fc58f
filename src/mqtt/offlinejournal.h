#pragma once
// The messages that wait for the broker, on disk, so a restart of the service during an outage
// loses none. The publisher writes a message here only while the broker is away (and the ones
// in flight when it goes), never while it takes them: Paho's own persistence, which writes every
// message, doubled the publisher's CPU at 2,560 readings a second (bench_mqtt, persist:1: 11%
// of a core with it, 6% with this).
// One thread at a time (the publisher's lock); plain C++.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qn::mqtt {

struct StoredMessage {
    std::string topic, payload;
    bool retained = false;
};

class OfflineJournal final {
public:
    // `path` empty: nothing is kept (every call does nothing).
    explicit OfflineJournal(std::string path);
    ~OfflineJournal();
    OfflineJournal(const OfflineJournal &) = delete;
    OfflineJournal &operator=(const OfflineJournal &) = delete;

    // Reads what the last run left (oldest first, each with its id) and writes the file
    // afresh with only those. False, with the reason, when it cannot be written.
    bool open(std::vector<std::pair<std::uint64_t, StoredMessage>> &left, std::string &error);

    // Appends a message; its id for remove(). 0 when nothing is kept.
    std::uint64_t add(const StoredMessage &message);
    // The broker has it. Once no message is left the file is emptied.
    void remove(std::uint64_t id);
    std::size_t size() const { return m_live; }

private:
    void append(const std::string &record);

    std::string m_path;
    int m_fd = -1;
    std::uint64_t m_next = 1;
    std::size_t m_live = 0;
};

} // namespace qn::mqtt
