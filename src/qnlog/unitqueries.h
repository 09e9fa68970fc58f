#pragma once
// The requests the logging service sends a unit, run one after the other on the unit's
// session: each goes out only when the one before it has answered, so a unit that has
// gone quiet costs one time-out per attempt, not one per request. The only place the
// service talks to the session.
#include "link/unitsession.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qn::logsvc {

struct Query {
    proto::Op op;
    proto::Args args{};
};

// What a run of queries gives: 0 and one result per query, or the error of the query that
// failed (a socket error number) and the results of those before it.
struct QueryResults {
    int error = 0;
    std::vector<proto::Results> results;
};

class UnitQueries final {
public:
    explicit UnitQueries(SessionTimeouts timeouts);
    ~UnitQueries();

    // Blocks while the connection is tried (a time-out at most); the address is kept, so
    // a failed connect is tried again by the next query.
    int connect(const std::string &host, int port);
    // Runs the queries in order; done runs once, on the session's worker thread. false
    // when the session is stopping (done does not run).
    bool run(std::vector<Query> queries, std::function<void(QueryResults)> done);

private:
    std::unique_ptr<UnitSession> m_session;
};

} // namespace qn::logsvc
