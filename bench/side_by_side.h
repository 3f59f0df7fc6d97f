// A console reporter for the benchmark programs that also keeps the CPU time of every run (the
// median when runs are repeated) and, after the runs, prints a closing table: each measured path
// beside its baseline at every size, as the ratio of their times (above 1: slower than the
// baseline), with the growth of the path's own time from one size to the next (sizes taken in
// numeric order, whatever order they ran in).
//
// A benchmark is named "<function>/<size>"; a table row names the function of the path and the
// function of its baseline. Times can also come from another process (a baseline run on its own):
// `Lines` writes them as text and `Take` reads them back.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace bench {

struct Row {
    std::string what;      // what the row measures
    std::string path;      // the benchmark function of the measured path
    std::string baseline;  // the benchmark function of its baseline, empty for none
};

class SideBySide : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.error_occurred || !(median || run.run_type == Run::RT_Iteration)) continue;
            if (run.run_type == Run::RT_Iteration && run.repetitions > 1) continue;
            const std::string name = run.run_name.function_name;
            const std::string size = run.run_name.args.empty() ? "-" : run.run_name.args;
            Keep(name, size, run.GetAdjustedCPUTime() * Scale(run.time_unit));
        }
    }

    // "function size ns" lines, for a parent process to take.
    std::string Lines() const {
        std::ostringstream out;
        for (const auto& [name, bySize] : times_) {
            for (const auto& [size, ns] : bySize) out << name << ' ' << size << ' ' << ns << '\n';
        }
        return out.str();
    }
    void Take(const std::string& lines) {
        std::istringstream in(lines);
        std::string name, size;
        double ns;
        while (in >> name >> size >> ns) Keep(name, size, ns);
    }

    void Table(const char* title, const std::vector<Row>& rows) const {
        std::printf("\n%s\n%-44s %10s %12s %12s %9s %8s\n", title, "path", "size", "path ns", "baseline ns",
                    "ratio", "growth");
        for (const Row& row : rows) {
            auto path = times_.find(row.path);
            if (path == times_.end()) continue;
            auto base = times_.find(row.baseline);
            double previous = 0;
            for (const std::string& size : BySize(sizes_.at(row.path))) {
                const double ns = path->second.at(size);
                std::printf("%-44s %10s %12.0f", row.what.c_str(), size.c_str(), ns);
                if (base != times_.end() && base->second.count(size)) {
                    const double b = base->second.at(size);
                    std::printf(" %12.0f %8.2fx", b, ns / b);
                } else {
                    std::printf(" %12s %9s", "-", "-");
                }
                if (previous > 0) std::printf(" %7.2fx", ns / previous);
                std::printf("\n");
                previous = ns;
            }
        }
    }

private:
    // Sizes in numeric order (the order they ran in is random when runs are interleaved), so that
    // the growth compares each size's median with the next smaller size's.
    static std::vector<std::string> BySize(std::vector<std::string> sizes) {
        auto number = [](const std::string& s) {
            char* end = nullptr;
            const double v = std::strtod(s.c_str(), &end);
            return end == s.c_str() ? 1e300 : v;
        };
        std::stable_sort(sizes.begin(), sizes.end(),
                         [&](const std::string& a, const std::string& b) { return number(a) < number(b); });
        return sizes;
    }

    void Keep(const std::string& name, const std::string& size, double ns) {
        if (!times_[name].count(size)) sizes_[name].push_back(size);
        times_[name][size] = ns;
    }
    static double Scale(benchmark::TimeUnit unit) {
        switch (unit) {
            case benchmark::kSecond: return 1e9;
            case benchmark::kMillisecond: return 1e6;
            case benchmark::kMicrosecond: return 1e3;
            default: return 1;
        }
    }

    std::map<std::string, std::map<std::string, double>> times_;
    std::map<std::string, std::vector<std::string>> sizes_;  // in the order they ran
};

}  // namespace bench
