#include "link/sessiontransport.h"

namespace qn {
namespace {

class TcpTransport final : public SessionTransport {
public:
    explicit TcpTransport(net::Socket socket) : m_socket(std::move(socket)) {}
    long send(const void *data, size_t size, int &err) override { return m_socket.send(data, size, err); }
    long receive(void *buffer, size_t size, int &err) override { return m_socket.receive(buffer, size, err); }

private:
    net::Socket m_socket;
};

class TcpConnector final : public SessionConnector {
public:
    std::unique_ptr<SessionTransport> open(const net::Address &to, int connectMs, int sendMs, int receiveMs,
                                           int &err) override
    {
        net::Socket socket = net::Socket::tcp(err);
        if (!socket.valid())
            return nullptr;
        if ((err = socket.connect(to, connectMs)) != 0)
            return nullptr;
        // Every request leaves in one segment; waiting for Nagle costs tens of ms per exchange.
        if ((err = socket.setNoDelay(true)) != 0 || (err = socket.setSendTimeout(sendMs)) != 0
            || (err = socket.setReceiveTimeout(receiveMs)) != 0)
            return nullptr;
        return std::make_unique<TcpTransport>(std::move(socket));
    }
};

} // namespace

SessionConnector &tcpSessionConnector()
{
    static TcpConnector connector;
    return connector;
}

} // namespace qn
