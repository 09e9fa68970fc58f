#include "qnlog/unitqueries.h"

namespace qn::logsvc {

namespace {

struct QueryRun {
    UnitSession *session;
    std::vector<Query> queries;
    std::function<void(QueryResults)> done;
    QueryResults results;
};

void postNext(QueryRun *run);

void onResult(void *context, proto::Op, const proto::Results &results, int)
{
    auto *run = static_cast<QueryRun *>(context);
    if (const int error = UnitSession::completionError()) {
        run->results.error = error;
    } else {
        run->results.results.push_back(results);
        if (run->results.results.size() < run->queries.size()) {
            postNext(run);
            return;
        }
    }
    std::unique_ptr<QueryRun> finished(run);
    finished->done(std::move(finished->results));
}

void postNext(QueryRun *run)
{
    const Query &q = run->queries[run->results.results.size()];
    if (!run->session->post(q.op, q.args, run, onResult)) {
        // Stopping: nothing more runs, and nobody waits for the answer.
        delete run;
    }
}

} // namespace

UnitQueries::UnitQueries(SessionTimeouts timeouts) : m_session(std::make_unique<UnitSession>(nullptr, timeouts)) {}

UnitQueries::~UnitQueries() = default;

int UnitQueries::connect(const std::string &host, int port)
{
    return m_session->connect(host, port);
}

bool UnitQueries::run(std::vector<Query> queries, std::function<void(QueryResults)> done)
{
    if (m_session->isStopping())
        return false;
    if (queries.empty()) {
        done({});
        return true;
    }
    auto *run = new QueryRun{m_session.get(), std::move(queries), std::move(done), {}};
    const Query &q = run->queries.front();
    if (!m_session->post(q.op, q.args, run, onResult)) {
        delete run;
        return false;
    }
    return true;
}

} // namespace qn::logsvc
