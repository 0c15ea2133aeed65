// The monitor's bookkeeping: the bounded ring, the routine poll, filters,
// per-address counters, the fan-out of the observer slot and the CSV export.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "exchangecsv.h"
#include "exchangefanout.h"
#include "exchangefilter.h"
#include "exchangering.h"
#include "exchangestats.h"
#include "exchangetext.h"

using namespace std::chrono_literals;

namespace {

constexpr int GetN = 19, GetS = 17, SetA = 8, GetInfo = 3;

ExchangeRecord record(int address, int command, const char* name, std::vector<std::uint8_t> request,
                      std::vector<std::uint8_t> answer,
                      ExchangeOutcome outcome = ExchangeOutcome::Answer,
                      std::chrono::microseconds took = 1500us)
{
    ExchangeRecord r;
    r.port = "COM2";
    r.address = address;
    r.command = command;
    r.name = name;
    r.request = std::move(request);
    r.answer = std::move(answer);
    r.outcome = outcome;
    r.duration = took;
    if (outcome == ExchangeOutcome::DeviceError)
        r.deviceError = r.answer.at(0);
    return r;
}

ExchangeRecord getN(int address, int n, std::chrono::microseconds took = 1500us)
{
    return record(address, GetN, "GetN", {}, {0, std::uint8_t(n & 0xFF), std::uint8_t(n >> 8)},
                  ExchangeOutcome::Answer, took);
}

std::vector<std::uint64_t> shown(const service::ExchangeRing& log,
                                 const service::ExchangeFilter& filter)
{
    std::vector<std::uint64_t> seqs;
    for (auto s = log.firstSeq(); s < log.endSeq(); ++s)
        if (filter.passes(*log.at(s)))
            seqs.push_back(s);
    return seqs;
}

}  // namespace

TEST(ExchangeRing, KeepsTheLastEntriesInAFixedRing)
{
    service::ExchangeRing log(100);
    const auto now = std::chrono::system_clock::now();
    for (int i = 0; i < 1000; ++i)
        log.add(getN(1, i), now);
    EXPECT_EQ(log.size(), 100u);
    EXPECT_EQ(log.firstSeq(), 900u);
    EXPECT_EQ(log.endSeq(), 1000u);
    EXPECT_EQ(log.at(899), nullptr);
    ASSERT_NE(log.at(950), nullptr);
    EXPECT_EQ(log.at(950)->seq, 950u);
    EXPECT_EQ(log.at(950)->record.answer[1], 950 & 0xFF);

    log.setPaused(true);
    log.add(getN(1, 5), now);
    EXPECT_EQ(log.endSeq(), 1000u);
    log.setPaused(false);
    log.clear();
    EXPECT_EQ(log.size(), 0u);
    log.add(getN(1, 5), now);
    EXPECT_EQ(log.size(), 1u);
    EXPECT_EQ(log.firstSeq(), 1000u);
}

TEST(ExchangeRing, APollIsRoutineWhileItsAnswerStaysTheSame)
{
    service::ExchangeRing log;
    const auto now = std::chrono::system_clock::now();
    log.add(getN(1, 10), now);  // 0 first answer: shown
    log.add(getN(1, 10), now);  // 1 the same: routine
    log.add(getN(2, 10), now);  // 2 another address: shown
    log.add(getN(1, 11), now);  // 3 changed: shown
    log.add(getN(1, 11), now);  // 4 routine
    log.add(record(1, GetN, "GetN", {}, {}, ExchangeOutcome::NoAnswer), now);      // 5 failure
    log.add(record(1, SetA, "SetA", {200, 0, 0xDC, 5}, {0}), now);                 // 6 not a poll
    log.add(record(1, SetA, "SetA", {200, 0, 0xDC, 5}, {0}), now);                 // 7 not a poll
    log.add(record(1, GetS, "GetS", {}, {0, 1, 0x14}), now);                       // 8 first GetS
    log.add(record(1, GetS, "GetS", {}, {0, 1, 0x14}), now);                       // 9 routine
    log.add(record(1, GetS, "GetS", {}, {4}, ExchangeOutcome::DeviceError), now);  // 10

    service::ExchangeFilter filter;
    filter.hideRoutine = true;
    EXPECT_EQ(shown(log, filter), (std::vector<std::uint64_t>{0, 2, 3, 5, 6, 7, 8, 10}));
    filter.address = 2;
    EXPECT_EQ(shown(log, filter), (std::vector<std::uint64_t>{2}));
    filter = {};
    filter.outcome = service::OutcomeFilter::Failures;
    EXPECT_EQ(shown(log, filter), (std::vector<std::uint64_t>{5, 10}));
    filter.outcome = service::OutcomeFilter::DeviceError;
    EXPECT_EQ(shown(log, filter), (std::vector<std::uint64_t>{10}));
    filter.outcome = service::OutcomeFilter::NoAnswer;
    EXPECT_EQ(shown(log, filter), (std::vector<std::uint64_t>{5}));
    filter.outcome = service::OutcomeFilter::All;
    EXPECT_EQ(shown(log, filter).size(), 11u);
}

TEST(ExchangeText, FieldsByNameAndOutcomesInWords)
{
    const auto setA = record(17, SetA, "SetA", {200, 0, 0xDC, 5}, {0});
    EXPECT_EQ(service::exchangetext::request(setA), "A=200 Ia=1500");
    EXPECT_EQ(service::exchangetext::answer(setA), "");
    EXPECT_EQ(service::exchangetext::outcome(setA), "ответ");
    EXPECT_EQ(service::exchangetext::hex(setA.request), "C8 00 DC 05");
    EXPECT_EQ(service::exchangetext::answer(getN(1, -5 & 0xFFFF)), "N=-5");
    EXPECT_EQ(service::exchangetext::answer(record(1, GetInfo, "GetInfo", {}, {'A', 'B', 0})),
              "Text=\"AB\"");
    const auto busy = record(1, GetS, "GetS", {}, {2}, ExchangeOutcome::DeviceError);
    EXPECT_EQ(service::exchangetext::outcome(busy), "устройство занято.");
    EXPECT_EQ(
        service::exchangetext::outcome(record(1, GetS, "GetS", {}, {}, ExchangeOutcome::NoAnswer)),
        "нет ответа");
    const auto wrong = record(1, GetS, "GetS", {}, {0, 1, 2}, ExchangeOutcome::WrongAnswer);
    EXPECT_EQ(service::exchangetext::outcome(wrong), "неверный ответ");
    EXPECT_EQ(service::exchangetext::answer(wrong), "");  // another command's frame: bytes only
    EXPECT_EQ(
        service::exchangetext::outcome(record(1, GetS, "GetS", {}, {}, ExchangeOutcome::NoPort)),
        "порт не открыт");
}

TEST(ExchangeText, AnOperatorReadsTheButtonAndTheParameterName)
{
    using service::exchangetext::operatorValues;
    EXPECT_EQ(operatorValues("SetS", "MotionCode=5"), "MotionCode=5 (Открыть)");
    EXPECT_EQ(operatorValues("SetS", "MotionCode=6"), "MotionCode=6 (Закрыть)");
    EXPECT_EQ(operatorValues("SetS", "MotionCode=4"), "MotionCode=4 (Стоп)");
    EXPECT_EQ(operatorValues("SetS", "MotionCode=0"), "MotionCode=0 (Стоп/откл.)");
    EXPECT_EQ(operatorValues("SetS", "MotionCode=7"), "MotionCode=7");
    EXPECT_EQ(operatorValues("SetM", "Vmin=80 Extra=1500"), "Vmin=80 Ia=1500");
    EXPECT_EQ(operatorValues("SetA", "A=200 Ia=1500"), "A=200 Ia=1500");
}

TEST(ExchangeStats, CountsFailuresByKindAndTheRoundTrip)
{
    service::ExchangeStats stats;
    for (int ms : {3, 1, 2, 9, 2})
        stats.add(getN(1, 0, std::chrono::milliseconds(ms)));
    stats.add(record(1, GetN, "GetN", {}, {}, ExchangeOutcome::NoAnswer, 100ms));
    stats.add(record(1, GetN, "GetN", {}, {3}, ExchangeOutcome::DeviceError, 4ms));
    stats.add(record(1, GetN, "GetN", {}, {0, 1}, ExchangeOutcome::WrongAnswer, 4ms));
    stats.add(record(2, GetN, "GetN", {}, {}, ExchangeOutcome::NoPort, 0ms));
    stats.add(getN(2, 0, std::chrono::milliseconds(450)));

    const auto& one = stats.byAddress().at(1);
    EXPECT_EQ(one.exchanges, 8u);
    EXPECT_EQ(one.noAnswers, 1u);
    EXPECT_EQ(one.deviceErrors, 1u);
    EXPECT_EQ(one.wrongAnswers, 1u);
    EXPECT_EQ(one.failures(), 3u);
    // Round trips 1 2 2 3 4 4 9 (the time-out is none): median 3, worst 9.
    EXPECT_EQ(one.roundTrips.count(), 7u);
    EXPECT_NEAR(one.roundTrips.medianMs(), 3.0, 0.1);
    EXPECT_DOUBLE_EQ(one.roundTrips.worstMs(), 9.0);
    const auto& two = stats.byAddress().at(2);
    EXPECT_EQ(two.noPort, 1u);
    EXPECT_NEAR(two.roundTrips.medianMs(), 450.0, 1.0);
    const auto before = stats.generation();
    stats.clear();
    EXPECT_TRUE(stats.byAddress().empty());
    EXPECT_GT(stats.generation(), before);
}

TEST(ExchangeStats, TheWorstAnswerTimeCountsALateAnswerFromItsOwnRequest)
{
    // The probe of 2 times out after 100 ms; its answer comes during the
    // 30 ms probe of 3 that follows: 2 took 130 ms, however late it was.
    service::ExchangeStats stats;
    const auto t0 = std::chrono::steady_clock::time_point{} + 1s;
    ExchangeRecord silent = record(2, GetInfo, "GetInfo", {}, {}, ExchangeOutcome::NoAnswer, 100ms);
    silent.start = t0;
    stats.add(silent);
    ExchangeRecord next = record(3, GetInfo, "GetInfo", {}, {'x'}, ExchangeOutcome::Answer, 30ms);
    next.start = t0 + 100ms;
    next.skipped.push_back({2, GetInfo, {'y'}});
    stats.add(next);
    EXPECT_DOUBLE_EQ(stats.byAddress().at(2).worstAnswerMs, 130.0);
    EXPECT_EQ(stats.byAddress().at(2).roundTrips.count(), 0u);  // no answer of its own
    EXPECT_DOUBLE_EQ(stats.byAddress().at(3).worstAnswerMs, 30.0);
    // Once counted, the same frame again is no second late answer.
    next.start = t0 + 200ms;
    next.duration = 500ms;
    stats.add(next);
    EXPECT_DOUBLE_EQ(stats.byAddress().at(2).worstAnswerMs, 130.0);
}

TEST(ExchangeFanOut, EveryListenerHearsEachExchangeWhateverAnotherDoes)
{
    service::ExchangeFanOut fan;
    int first = 0, third = 0;
    fan.add([&](const ExchangeRecord&) { ++first; });
    const auto thrower = fan.add([](const ExchangeRecord&) { throw std::runtime_error("x"); });
    fan.add([&](const ExchangeRecord&) { ++third; });
    const ExchangeObserver slot = fan.observer();
    slot(getN(1, 0));
    fan.remove(thrower);
    slot(getN(1, 0));
    EXPECT_EQ(first, 2);
    EXPECT_EQ(third, 2);
}

TEST(ExchangeCsv, WritesWhatIsShown)
{
    service::ExchangeRing log;
    log.add(record(17, SetA, "SetA", {200, 0, 0xDC, 5}, {0}), std::chrono::system_clock::now());
    const auto path = std::filesystem::temp_directory_path() / "tirs-exchanges-test.csv";
    std::string error;
    ASSERT_TRUE(service::exchangecsv::write(path.string(), {log.at(0)}, error)) << error;
    std::ifstream in(path);
    std::string header, row;
    std::getline(in, header);
    std::getline(in, row);
    EXPECT_EQ(header, service::exchangecsv::header());
    EXPECT_NE(row.find(";COM2;17;SetA;A=200 Ia=1500;;ответ;1.5;C8 00 DC 05;00"), std::string::npos)
        << row;
    std::filesystem::remove(path);
    EXPECT_FALSE(service::exchangecsv::write("/nonexistent/x.csv", {}, error));
    EXPECT_FALSE(error.empty());
}
