#pragma once

// What the benchmark programs share: a reporter that keeps each step's time
// and counters for the ratios printed after the run.

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

// Passes everything to the usual display and keeps each step's time.
class CapturingReporter : public benchmark::BenchmarkReporter {
public:
    explicit CapturingReporter(benchmark::BenchmarkReporter* display) : display_(display) {}

    bool ReportContext(const Context& context) override { return display_->ReportContext(context); }
    void Finalize() override { display_->Finalize(); }

    void ReportRuns(const std::vector<Run>& runs) override {
        display_->ReportRuns(runs);
        for (const Run& run : runs) {
            const std::string key = run.run_name.function_name;
            if (run.error_occurred) {
                errors_.insert({key, run.error_message});
            } else if (run.run_type == Run::RT_Iteration) {
                times_[key].push_back(run.GetAdjustedRealTime());
                for (const auto& [name, c] : run.counters) counters_[key][name].push_back(c.value);
            } else if (run.aggregate_name == "median") {
                medians_[key] = run.GetAdjustedRealTime();
                for (const auto& [name, c] : run.counters) counterMedians_[key][name] = c.value;
            }
        }
    }

    // The median over the repetitions; nullopt when the step did not run.
    std::optional<double> stepTime(const std::string& key) const {
        if (auto it = medians_.find(key); it != medians_.end()) return it->second;
        auto it = times_.find(key);
        if (it == times_.end()) return std::nullopt;
        return medianOf(it->second);
    }

    // A counter's median over the repetitions; nullopt when the step did not set it.
    std::optional<double> stepCounter(const std::string& key, const std::string& name) const {
        if (auto it = counterMedians_.find(key); it != counterMedians_.end()) {
            if (auto c = it->second.find(name); c != it->second.end()) return c->second;
        }
        auto it = counters_.find(key);
        if (it == counters_.end()) return std::nullopt;
        auto c = it->second.find(name);
        if (c == it->second.end()) return std::nullopt;
        return medianOf(c->second);
    }

    // Step name -> why it failed.
    const std::map<std::string, std::string>& stepErrors() const { return errors_; }

private:
    static std::optional<double> medianOf(std::vector<double> t) {
        if (t.empty()) return std::nullopt;
        std::sort(t.begin(), t.end());
        const size_t n = t.size();
        return n % 2 ? t[n / 2] : (t[n / 2 - 1] + t[n / 2]) / 2;
    }

    benchmark::BenchmarkReporter* display_;
    std::map<std::string, std::vector<double>> times_;
    std::map<std::string, double> medians_;
    std::map<std::string, std::map<std::string, std::vector<double>>> counters_;
    std::map<std::string, std::map<std::string, double>> counterMedians_;
    std::map<std::string, std::string> errors_;
};

// Google Benchmark's set-up with several repetitions (three unless given), so
// one disturbed run does not decide; the command line can override. False on
// an unknown argument.
inline bool initBenchmarks(int argc, char** argv, int defaultRepetitions = 3) {
    static std::string repetitions;
    repetitions = "--benchmark_repetitions=" + std::to_string(defaultRepetitions);
    static char aggregatesOnly[] = "--benchmark_display_aggregates_only=true";
    static std::vector<char*> args;
    args.assign(argv, argv + argc);
    args.insert(args.begin() + 1, {repetitions.data(), aggregatesOnly});
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    return !benchmark::ReportUnrecognizedArguments(count, args.data());
}

// The steps of one benchmark program: each registered in milliseconds of real
// time, each failure noted here as well, so it counts whatever the reporter
// is shown.
class Steps {
public:
    void addStep(const std::string& label, std::function<void(benchmark::State&)> fn) {
        benchmark::RegisterBenchmark(label.c_str(),
                                     [fn = std::move(fn), label, this](benchmark::State& s) {
                                         fn(s);
                                         if (s.error_occurred()) failed_.insert(label);
                                     })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }

    // Runs them all and prints every failure; false when one failed. The
    // reporter then holds the times.
    bool runAll(CapturingReporter& reporter) {
        benchmark::RunSpecifiedBenchmarks(&reporter);
        benchmark::Shutdown();
        for (const auto& [step, why] : reporter.stepErrors()) std::printf("failed %s: %s\n", step.c_str(), why.c_str());
        for (const std::string& step : failed_)
            if (!reporter.stepErrors().count(step)) std::printf("failed %s\n", step.c_str());
        std::printf("\n");
        return failed_.empty() && reporter.stepErrors().empty();
    }

private:
    std::set<std::string> failed_;
};

// splitmix64: the same data on every machine (the standard distributions
// are not portable between library implementations).
class Random {
public:
    explicit Random(quint64 seed) : state_(seed) {}
    quint64 nextBits() {
        quint64 z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    qsizetype drawBetween(qsizetype lo, qsizetype hi) {
        return lo + static_cast<qsizetype>(nextBits() % static_cast<quint64>(hi - lo + 1));
    }
    bool chancePercent(int p) { return drawBetween(0, 99) < p; }

private:
    quint64 state_;
};

// A text of minLen to maxLen characters drawn from the alphabet.
inline QString randomText(Random& rng, qsizetype minLen, qsizetype maxLen, QStringView alphabet) {
    const qsizetype len = rng.drawBetween(minLen, maxLen);
    QString s;
    s.reserve(len);
    for (qsizetype i = 0; i < len; ++i) s.append(alphabet.at(rng.drawBetween(0, alphabet.size() - 1)));
    return s;
}
