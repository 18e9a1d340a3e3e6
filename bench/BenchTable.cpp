// The benchmark program of `make bench`: runs every row, each of our
// operations and its peer in the same run, and prints one table of the
// medians with the ratio ours / peer and the target it must meet.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <sched.h>
#include <vector>

#include "BenchSupport.h"

#ifdef PLANDREL_BENCH_WINDOW
#include <QApplication>
#endif

namespace bench {

namespace {

constexpr int kRepetitions = 5;
constexpr double kMinSeconds = 0.3;

struct Row {
    std::string operation;
    std::string peer;  // empty for a row in absolute time
    double target = 0;  // largest ratio (none when 0), or the time limit in milliseconds
};

std::vector<Row>& Rows() {
    static std::vector<Row> rows;
    return rows;
}

std::vector<std::function<std::string()>>& Notes() {
    static std::vector<std::function<std::string()>> notes;
    return notes;
}

std::string OursName(const Row& row) {
    return row.operation + " :: ours";
}

std::string PeerName(const Row& row) {
    return row.operation + " :: " + row.peer;
}

void Register(const std::string& name, BenchFunction function) {
    benchmark::RegisterBenchmark(name.c_str(), [function](benchmark::State& state) { function(state); })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinTime(kMinSeconds)
        ->Repetitions(kRepetitions)
        ->ReportAggregatesOnly(true);
}

// Keeps the median wall time of each benchmark and shows progress as it goes.
class MedianReporter : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            std::string name = run.run_name.function_name;
            if (run.error_occurred) {
                failed[name] = run.error_message;
                std::printf("  %-58s failed: %s\n", name.c_str(), run.error_message.c_str());
            } else if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                medians[name] = run.GetAdjustedRealTime();
                std::printf("  %-58s %10.2f ms\n", name.c_str(), medians[name]);
            }
            std::fflush(stdout);
        }
    }

    std::map<std::string, double> medians;
    std::map<std::string, std::string> failed;
};

// Processors this program may run on, as nproc counts them.
int ProcessorCount() {
    cpu_set_t set;
    CPU_ZERO(&set);
    return ::sched_getaffinity(0, sizeof set, &set) == 0 ? CPU_COUNT(&set) : 0;
}

std::string CpuModel() {
    std::ifstream info("/proc/cpuinfo");
    std::string line;
    while (std::getline(info, line)) {
        if (line.rfind("model name", 0) == 0) {
            auto colon = line.find(':');
            return colon == std::string::npos ? line : line.substr(colon + 2);
        }
    }
    return "unknown";
}

std::string LoadAverage() {
    std::ifstream load("/proc/loadavg");
    std::string one, five, fifteen;
    load >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

void PrintTable(const MedianReporter& reporter) {
    std::printf("\n%-46s %10s  %-22s %10s %7s %8s\n", "operation", "ours ms", "peer", "peer ms", "ratio",
                "target");
    for (const Row& row : Rows()) {
        auto ours = reporter.medians.find(OursName(row));
        if (ours == reporter.medians.end()) {
            std::printf("%-46s %10s\n", row.operation.c_str(), "not run");
            continue;
        }
        if (row.peer.empty()) {
            bool met = ours->second <= row.target;
            std::printf("%-46s %10.2f  %-22s %10s %7s <= %.0f ms %s\n", row.operation.c_str(), ours->second,
                        "(absolute time)", "", "", row.target, met ? "" : "MISSED");
            continue;
        }
        auto theirs = reporter.medians.find(PeerName(row));
        if (theirs == reporter.medians.end()) {
            std::printf("%-46s %10.2f  %-22s %10s\n", row.operation.c_str(), ours->second, row.peer.c_str(),
                        "not run");
            continue;
        }
        double ratio = ours->second / theirs->second;
        std::string target = "-";
        if (row.target > 0) {
            char text[32];
            std::snprintf(text, sizeof text, "<= %.2f", row.target);
            target = text;
        }
        bool met = row.target <= 0 || ratio <= row.target;
        std::printf("%-46s %10.2f  %-22s %10.2f %7.2f %8s %s\n", row.operation.c_str(), ours->second,
                    row.peer.c_str(), theirs->second, ratio, target.c_str(), met ? "" : "MISSED");
    }
    for (const auto& note : Notes()) {
        if (const std::string line = note(); !line.empty()) {
            std::printf("%s\n", line.c_str());
        }
    }
}

}  // namespace

void AddRow(const std::string& operation, const std::string& peer, double target, BenchFunction ours,
            BenchFunction theirs) {
    Row row{operation, peer, target};
    Rows().push_back(row);
    Register(OursName(row), std::move(ours));
    Register(PeerName(row), std::move(theirs));
}

void AddNote(std::function<std::string()> note) {
    Notes().push_back(std::move(note));
}

void AddAbsoluteRow(const std::string& operation, double limitMs, BenchFunction ours) {
    Row row{operation, "", limitMs};
    Rows().push_back(row);
    Register(OursName(row), std::move(ours));
}

}  // namespace bench

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
#ifdef PLANDREL_BENCH_WINDOW
    // The window's rows run offscreen, with or without a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // The offscreen platform's remarks would fall between the table's lines.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
#endif
    bench::RegisterGifRows();
    bench::RegisterImageRows();
    bench::RegisterImportRows();
    bench::RegisterBatchRows();
    bench::RegisterReductionRows();
    bench::RegisterGeoImportRows();
    bench::RegisterDatabaseRows();
#ifdef PLANDREL_BENCH_WINDOW
    bench::RegisterWindowRows();
#endif

    std::printf("machine: %d processors (nproc), %s; load average at start %s\n", bench::ProcessorCount(),
                bench::CpuModel().c_str(), bench::LoadAverage().c_str());
    std::printf("medians of %d repetitions, wall time\n", bench::kRepetitions);
    bench::MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    bench::PrintTable(reporter);
    std::printf("\nload average at end %s\n", bench::LoadAverage().c_str());
    return 0;
}
