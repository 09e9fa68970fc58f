#include "qnlog/unitqueries.h"

namespace qn::logsvc {

namespace {

template <typename T>
using Done = std::function<void(Result<T>)>;

// Asks each input's range in turn, from channel on.
void readRanges(UnitSession &session, UnitSetup setup, int channel, Done<UnitIdentification> done)
{
    if (channel >= traits(setup.model).analogInputs) {
        done(UnitIdentification{{setup.unitId, traits(setup.model).modelId}, setup});
        return;
    }
    session.getAIRange(channel, [&session, setup, channel, done](Result<InputRange> r) mutable {
        if (!r) {
            done(r.error());
            return;
        }
        if (r->channel >= 0 && r->channel < int(setup.inputRanges.size()))
            setup.inputRanges[std::size_t(r->channel)] = r->range;
        readRanges(session, setup, channel + 1, std::move(done));
    });
}

// Asks each output's mode and code in turn, from channel on.
void readOutputValues(UnitSession &session, int outputs, ReadingAnswers answers, Done<ReadingAnswers> done)
{
    const int channel = int(answers.outputValues.size());
    if (channel >= outputs) {
        done(std::move(answers));
        return;
    }
    session.getAO(channel, [&session, outputs, answers = std::move(answers), done](Result<AnalogOutput> r) mutable {
        if (!r) {
            done(r.error());
            return;
        }
        answers.outputValues.push_back(*r);
        readOutputValues(session, outputs, std::move(answers), std::move(done));
    });
}

} // namespace

UnitQueries::UnitQueries(SessionTimeouts timeouts) : m_session(std::make_unique<UnitSession>(nullptr, timeouts)) {}

UnitQueries::~UnitQueries() = default;

int UnitQueries::connect(const std::string &host, int port)
{
    return m_session->connect(host, port);
}

bool UnitQueries::identify(std::function<void(Result<UnitIdentification>)> done)
{
    UnitSession &session = *m_session;
    return session.getUnitModelID([&session, done = std::move(done)](Result<UnitModelId> r) {
        if (!r) {
            done(r.error());
            return;
        }
        const std::optional<Model> model = modelFromId(r->modelId);
        if (!model) {
            done(UnitIdentification{*r, std::nullopt});
            return;
        }
        UnitSetup setup;
        setup.model = *model;
        setup.unitId = r->unitId;
        readRanges(session, setup, 0, done);
    });
}

bool UnitQueries::read(Model model, bool withOutputs, std::function<void(Result<ReadingAnswers>)> done)
{
    UnitSession &session = *m_session;
    const ModelTraits &t = traits(model);
    if (t.analogInputs > 0)
        return session.getAllAI([&session, withOutputs, done = std::move(done)](Result<AnalogInputs> r) {
            if (!r) {
                done(r.error());
                return;
            }
            ReadingAnswers answers;
            answers.analogInputs = *r;
            if (!withOutputs) {
                done(std::move(answers));
                return;
            }
            session.getDO([answers, done](Result<DigitalOutputs> o) mutable {
                if (!o) {
                    done(o.error());
                    return;
                }
                answers.outputStates = *o;
                done(std::move(answers));
            });
        });
    const int outputs = withOutputs ? t.analogOutputs : 0;
    return session.getDI(0, [&session, outputs, done = std::move(done)](Result<DigitalInputs> r) {
        if (!r) {
            done(r.error());
            return;
        }
        ReadingAnswers answers;
        answers.digitalInputs = *r;
        readOutputValues(session, outputs, std::move(answers), done);
    });
}

} // namespace qn::logsvc
