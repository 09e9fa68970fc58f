// The log holds records "put key data" and "remove key"; reading it at open replays them, and a
// record cut short by a crash ends the replay. Once most of the log is dead records it is
// written afresh with what is live. No fsync: like Paho's own files, the messages survive the
// program, not the machine.
#include "mqtt/logpersistence.h"

#include <MQTTAsync.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace qn::mqtt {

namespace {

constexpr char kPut = 'P', kRemove = 'R';
constexpr std::size_t kCompactAbove = 1 << 20; // bytes of log before dead records are worth dropping

struct Store {
    std::string path;
    int fd = -1;
    std::mutex mutex; // Paho's send and receive threads both reach the store
    std::unordered_map<std::string, std::string> entries;
    std::size_t logBytes = 0, liveBytes = 0;
};

void appendU32(std::string &out, std::uint32_t n) { out.append(reinterpret_cast<const char *>(&n), 4); }

std::string record(char type, const std::string &key, const std::string &data)
{
    std::string r(1, type);
    appendU32(r, std::uint32_t(key.size()));
    r += key;
    if (type == kPut) {
        appendU32(r, std::uint32_t(data.size()));
        r += data;
    }
    return r;
}

bool writeAll(int fd, const std::string &bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

void replay(Store &s, const std::string &log)
{
    std::size_t at = 0;
    const auto u32 = [&](std::uint32_t &n) {
        if (log.size() - at < 4)
            return false;
        std::memcpy(&n, log.data() + at, 4);
        at += 4;
        return true;
    };
    while (at < log.size()) {
        const char type = log[at++];
        std::uint32_t keyLength = 0, dataLength = 0;
        if ((type != kPut && type != kRemove) || !u32(keyLength) || log.size() - at < keyLength)
            return;
        std::string key = log.substr(at, keyLength);
        at += keyLength;
        if (type == kRemove) {
            s.entries.erase(key);
            continue;
        }
        if (!u32(dataLength) || log.size() - at < dataLength)
            return;
        s.entries[std::move(key)] = log.substr(at, dataLength);
        at += dataLength;
    }
}

// The live records alone, in a new file that replaces the log.
bool compact(Store &s)
{
    const std::string fresh = s.path + ".new";
    const int fd = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    std::string bytes;
    for (const auto &[key, data] : s.entries)
        bytes += record(kPut, key, data);
    if (!writeAll(fd, bytes) || ::rename(fresh.c_str(), s.path.c_str()) != 0) {
        ::close(fd);
        ::unlink(fresh.c_str());
        return false;
    }
    ::close(fd);
    if (s.fd >= 0)
        ::close(s.fd);
    s.fd = ::open(s.path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    s.logBytes = s.liveBytes = bytes.size();
    return s.fd >= 0;
}

std::string fileName(std::string text)
{
    for (char &c : text)
        if (c == '/' || c == ':' || c == '\\')
            c = '-';
    return text;
}

int open(void **handle, const char *clientId, const char *serverUri, void *context)
{
    auto s = std::make_unique<Store>();
    s->path = *static_cast<const std::string *>(context) + '/' + fileName(std::string(clientId) + '-' + serverUri) + ".log";
    {
        std::ifstream in(s->path, std::ios::binary);
        replay(*s, std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    }
    // A fresh start also drops what a crash left half written.
    if (!compact(*s))
        return MQTTCLIENT_PERSISTENCE_ERROR;
    *handle = s.release();
    return 0;
}

int close(void *handle)
{
    auto *s = static_cast<Store *>(handle);
    if (s->fd >= 0)
        ::close(s->fd);
    delete s;
    return 0;
}

int put(void *handle, char *key, int count, char *buffers[], int lengths[])
{
    auto *s = static_cast<Store *>(handle);
    std::string data;
    for (int i = 0; i < count; ++i)
        data.append(buffers[i], std::size_t(lengths[i]));
    std::lock_guard lock(s->mutex);
    const std::string r = record(kPut, key, data);
    if (!writeAll(s->fd, r))
        return MQTTCLIENT_PERSISTENCE_ERROR;
    s->logBytes += r.size();
    s->liveBytes += r.size();
    s->entries[key] = std::move(data);
    return 0;
}

int get(void *handle, char *key, char **buffer, int *length)
{
    auto *s = static_cast<Store *>(handle);
    std::lock_guard lock(s->mutex);
    const auto it = s->entries.find(key);
    if (it == s->entries.end())
        return MQTTCLIENT_PERSISTENCE_ERROR;
    *buffer = static_cast<char *>(MQTTAsync_malloc(it->second.size() + 1));
    std::memcpy(*buffer, it->second.data(), it->second.size());
    *length = int(it->second.size());
    return 0;
}

int remove(void *handle, char *key)
{
    auto *s = static_cast<Store *>(handle);
    std::lock_guard lock(s->mutex);
    const auto it = s->entries.find(key);
    if (it == s->entries.end())
        return 0;
    const std::string r = record(kRemove, key, {});
    s->liveBytes -= std::min(s->liveBytes, 9 + it->first.size() + it->second.size()); // its put record
    s->entries.erase(it);
    if (!writeAll(s->fd, r))
        return MQTTCLIENT_PERSISTENCE_ERROR;
    s->logBytes += r.size();
    if (s->logBytes > kCompactAbove && s->logBytes > 4 * s->liveBytes && !compact(*s))
        return MQTTCLIENT_PERSISTENCE_ERROR;
    return 0;
}

int keys(void *handle, char ***keys, int *count)
{
    auto *s = static_cast<Store *>(handle);
    std::lock_guard lock(s->mutex);
    *count = int(s->entries.size());
    *keys = nullptr;
    if (s->entries.empty())
        return 0;
    *keys = static_cast<char **>(MQTTAsync_malloc(sizeof(char *) * s->entries.size()));
    int i = 0;
    for (const auto &entry : s->entries) {
        (*keys)[i] = static_cast<char *>(MQTTAsync_malloc(entry.first.size() + 1));
        std::memcpy((*keys)[i], entry.first.c_str(), entry.first.size() + 1);
        ++i;
    }
    return 0;
}

int clear(void *handle)
{
    auto *s = static_cast<Store *>(handle);
    std::lock_guard lock(s->mutex);
    s->entries.clear();
    return compact(*s) ? 0 : MQTTCLIENT_PERSISTENCE_ERROR;
}

int containsKey(void *handle, char *key)
{
    auto *s = static_cast<Store *>(handle);
    std::lock_guard lock(s->mutex);
    return s->entries.count(key) ? 0 : MQTTCLIENT_PERSISTENCE_ERROR;
}

} // namespace

MQTTClient_persistence logPersistence(const std::string *folder)
{
    return {const_cast<std::string *>(folder), open, close, put, get, remove, keys, clear, containsKey};
}

} // namespace qn::mqtt
