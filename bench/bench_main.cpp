// Runs every benchmark, then prints the ratios the project's targets are
// stated in, so a run on any machine can be judged on its own.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#ifdef MNEMORA_BENCH_WINDOW
#include <QApplication>
#endif

namespace {

// Records seconds per iteration of each benchmark: the median over the
// repetitions where there are several (a single busy moment on a shared
// machine must not decide a ratio), else the one run.
class RecordingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.error_occurred) {
                failed = true;
                continue;
            }
            const double perIteration = run.GetAdjustedRealTime() / Scale(run.time_unit);
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                seconds[run.run_name.str()] = perIteration;
            else if (run.run_type == Run::RT_Iteration && seconds.count(run.run_name.str()) == 0)
                seconds[run.run_name.str()] = perIteration;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    static double Scale(benchmark::TimeUnit unit)
    {
        switch (unit) {
        case benchmark::kNanosecond:
            return 1e9;
        case benchmark::kMicrosecond:
            return 1e6;
        case benchmark::kMillisecond:
            return 1e3;
        case benchmark::kSecond:
            return 1.0;
        }
        return 1e9;
    }

    std::map<std::string, double> seconds;
    bool failed = false;
};

bool Ratio(const RecordingReporter &r, const char *label, const std::string &slow, const std::string &fast,
    double target)
{
    const auto s = r.seconds.find(slow), f = r.seconds.find(fast);
    if (s == r.seconds.end() || f == r.seconds.end())
        return true; // filtered out of this run
    const double ratio = s->second / f->second;
    std::printf(
        "%-44s %6.2f  (target >= %.2f) %s\n", label, ratio, target, ratio >= target ? "ok" : "MISSED");
    return ratio >= target;
}

bool Limit(const RecordingReporter &r, const char *label, const std::string &name, double limitMs)
{
    const auto it = r.seconds.find(name);
    if (it == r.seconds.end())
        return true;
    const double ms = it->second * 1e3;
    std::printf("%-44s %6.3f ms (target < %.1f ms) %s\n", label, ms, limitMs, ms < limitMs ? "ok" : "MISSED");
    return ms < limitMs;
}

} // namespace

int main(int argc, char **argv)
{
#ifdef MNEMORA_BENCH_WINDOW
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
#endif
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\n");
    bool met = true;
    met &= Ratio(reporter, "Engine MD5 throughput / OpenSSL MD5", "BM_OpenSslMd5", "BM_EngineMd5", 0.9);
    met &= Ratio(reporter, "GenerateCodes speed-up over OpenSSL", "BM_OpenSslCodes", "BM_GenerateCodes", 1.5);
    met &= Limit(reporter, "Keystroke to codes", "BM_KeystrokeToCodes", 0.2);
    met &= Limit(reporter, "Window start-up", "BM_WindowStartup", 20.0);
    if (reporter.failed) {
        std::printf("a benchmark failed its correctness check\n");
        return 1;
    }
    return met ? 0 : 3;
}
