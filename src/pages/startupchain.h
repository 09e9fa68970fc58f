#pragma once
// A page's start-up chain: requests run one after another, each step posted from the
// completion of the one before. A step posts one request; its completion calls
// stepDone with whether the request succeeded. A failure drops the rest of the chain
// (what the later steps would have read keeps its value) and calls failed.
// GUI thread only.
#include <cstddef>
#include <functional>
#include <vector>

namespace qn {

class StartupChain final {
public:
    using Step = std::function<void()>;

    explicit StartupChain(std::function<void()> failed) : m_failed(std::move(failed)) {}

    // Starts the steps (the first runs at once), replacing a chain still running.
    void run(std::vector<Step> steps);
    void stepDone(bool ok);
    bool running() const { return m_next < m_steps.size(); }

private:
    std::function<void()> m_failed;
    std::vector<Step> m_steps;
    std::size_t m_next = 0;
};

} // namespace qn
