#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

// Google Benchmark's console output, followed by "ours / stock" for each pair of benchmarks
// registered with addRatio(), both measured in the same run.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void addRatio(std::string label, std::string ours, std::string stock)
    {
        m_pairs.push_back({ std::move(label), std::move(ours), std::move(stock) });
    }

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            m_times[run.benchmark_name()] = run.GetAdjustedRealTime();
            m_units[run.benchmark_name()] = benchmark::GetTimeUnitString(run.time_unit);
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        for (const Pair &pair : m_pairs) {
            if (m_times.count(pair.ours) && m_times.count(pair.stock) && m_times[pair.stock] > 0)
                std::printf("%s: ours %.2f %s, stock %.2f %s, ratio %.2f\n", pair.label.c_str(),
                            m_times[pair.ours], m_units[pair.ours].c_str(), m_times[pair.stock],
                            m_units[pair.stock].c_str(), m_times[pair.ours] / m_times[pair.stock]);
        }
    }

private:
    struct Pair
    {
        std::string label;
        std::string ours;
        std::string stock;
    };
    std::vector<Pair> m_pairs;
    std::map<std::string, double> m_times;
    std::map<std::string, std::string> m_units;
};
