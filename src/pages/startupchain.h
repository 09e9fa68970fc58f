#pragma once
// A page's start-up chain: requests run one after another, each step posted from the
// completion of the one before. A step posts one request; its completion calls the done
// callback the step was given with whether the request succeeded. A failure drops the rest
// of the chain (what the later steps would have read keeps its value) and calls failed.
// A chain started anew replaces the one running: a late completion of the old one does
// nothing. GUI thread only.
#include <cstddef>
#include <functional>
#include <vector>

namespace qn {

class StartupChain final {
public:
    using Done = std::function<void(bool ok)>;
    using Step = std::function<void(const Done &done)>;

    explicit StartupChain(std::function<void()> failed) : m_failed(std::move(failed)) {}

    // Starts the steps (the first runs at once), replacing a chain still running.
    void run(std::vector<Step> steps);
    bool running() const { return m_next < m_steps.size() || m_waiting; }

private:
    void stepDone(unsigned generation, bool ok);
    void runNext();

    std::function<void()> m_failed;
    std::vector<Step> m_steps;
    std::size_t m_next = 0;
    unsigned m_generation = 0;
    bool m_waiting = false;
};

} // namespace qn
