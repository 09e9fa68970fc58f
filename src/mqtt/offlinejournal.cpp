// Records: 'A' id topic-length topic payload-length payload retained, and 'R' id, lengths
// and ids as 8-byte little-endian numbers. A record cut short (the program killed while it
// was written) ends the reading. No fsync: the messages survive the program, not the machine.
#include "mqtt/offlinejournal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>

namespace qn::mqtt {

namespace {

void put64(std::string &out, std::uint64_t n)
{
    for (int i = 0; i < 8; ++i)
        out += char((n >> (8 * i)) & 0xFF);
}

struct Reader {
    const std::string &bytes;
    std::size_t at = 0;
    bool get64(std::uint64_t &n)
    {
        if (bytes.size() - at < 8)
            return false;
        n = 0;
        for (int i = 0; i < 8; ++i)
            n |= std::uint64_t(static_cast<unsigned char>(bytes[at + std::size_t(i)])) << (8 * i);
        at += 8;
        return true;
    }
    bool text(std::string &out)
    {
        std::uint64_t n = 0;
        if (!get64(n) || bytes.size() - at < n)
            return false;
        out = bytes.substr(at, std::size_t(n));
        at += std::size_t(n);
        return true;
    }
};

} // namespace

OfflineJournal::OfflineJournal(std::string path) : m_path(std::move(path)) {}

OfflineJournal::~OfflineJournal()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool OfflineJournal::open(std::vector<std::pair<std::uint64_t, StoredMessage>> &left, std::string &error)
{
    if (m_path.empty())
        return true;
    std::string bytes;
    {
        std::ifstream in(m_path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::map<std::uint64_t, StoredMessage> live;
    Reader r{bytes};
    while (r.at < bytes.size()) {
        const char type = bytes[r.at++];
        std::uint64_t id = 0;
        if (!r.get64(id))
            break;
        if (type == 'R') {
            live.erase(id);
            continue;
        }
        StoredMessage m;
        if (type != 'A' || !r.text(m.topic) || !r.text(m.payload) || r.at >= bytes.size())
            break;
        m.retained = bytes[r.at++] != 0;
        live[id] = std::move(m);
    }
    // The survivors alone, renumbered, in a new file that replaces the old one.
    const std::string fresh = m_path + ".new";
    m_fd = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600);
    if (m_fd >= 0) {
        for (auto &[oldId, m] : live) {
            const std::uint64_t id = add(m);
            left.emplace_back(id, std::move(m));
        }
        if (::rename(fresh.c_str(), m_path.c_str()) == 0)
            return true;
    }
    error = m_path + ": " + std::strerror(errno);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    left.clear();
    return false;
}

void OfflineJournal::append(const std::string &record)
{
    std::size_t done = 0;
    while (m_fd >= 0 && done < record.size()) {
        const ssize_t n = ::write(m_fd, record.data() + done, record.size() - done);
        if (n <= 0)
            return; // a full disk: the message still waits in memory
        done += std::size_t(n);
    }
}

std::uint64_t OfflineJournal::add(const StoredMessage &message)
{
    if (m_fd < 0)
        return 0;
    const std::uint64_t id = m_next++;
    std::string record(1, 'A');
    put64(record, id);
    put64(record, message.topic.size());
    record += message.topic;
    put64(record, message.payload.size());
    record += message.payload;
    record += char(message.retained ? 1 : 0);
    append(record);
    ++m_live;
    return id;
}

void OfflineJournal::remove(std::uint64_t id)
{
    if (m_fd < 0 || id == 0 || m_live == 0)
        return;
    if (--m_live == 0) {
        // Nothing waits: the file starts again empty.
        if (::ftruncate(m_fd, 0) == 0)
            return;
    }
    std::string record(1, 'R');
    put64(record, id);
    append(record);
}

} // namespace qn::mqtt
