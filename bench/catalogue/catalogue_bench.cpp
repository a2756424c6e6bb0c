// Load benchmark: the whole catalogue against inih's ini_parse and a plain read of the same files.
//   catalogue_bench --catalogue=DIR [benchmark flags]   time the three and print the ratios
//   catalogue_bench --peak-memory=DIR                   load once and report the peak memory
#include "catalogue/hlvFilesList.h"
#include "catalogue/hlvRegTweakList.h"

#include <benchmark/benchmark.h>
#include <ini.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <sys/resource.h>

namespace {

std::vector<std::string> GFiles;
std::uint64_t GBytes = 0;

void FindFiles(const std::string& Dir) {
    TFileSystemFileList list;
    list.SetRecursive(false);
    list.SetMasks(Dir + PathDelim + "*.ini");
    for (int i = 0; i < list.Count(); ++i) {
        GFiles.push_back(list.Items(i)->FullName());
        GBytes += static_cast<std::uint64_t>(list.Items(i)->Size);
    }
}

void BM_LoadCatalogue(benchmark::State& state) {
    for (auto _ : state) {
        auto list = std::make_unique<TRegistryTweakList>();
        for (const std::string& f : GFiles)
            list->LoadFromFile(f, false);
        benchmark::DoNotOptimize(list->Count());
        // The program frees its catalogue once, at the end; that is not part of loading.
        state.PauseTiming();
        list.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * GBytes));
}

struct TInihSink {
    std::size_t Entries = 0;
    std::size_t Bytes = 0;
};

int InihHandler(void* user, const char* section, const char* name, const char* value) {
    auto* sink = static_cast<TInihSink*>(user);
    ++sink->Entries;
    sink->Bytes += std::strlen(section) + std::strlen(name) + std::strlen(value);
    return 1;
}

void BM_InihParse(benchmark::State& state) {
    for (auto _ : state) {
        TInihSink sink;
        for (const std::string& f : GFiles)
            ini_parse(f.c_str(), InihHandler, &sink);
        benchmark::DoNotOptimize(sink.Bytes);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * GBytes));
}

void BM_PlainRead(benchmark::State& state) {
    std::vector<char> buffer(1 << 16);
    for (auto _ : state) {
        std::size_t total = 0;
        for (const std::string& f : GFiles) {
            std::FILE* file = std::fopen(f.c_str(), "rb");
            if (!file)
                continue;
            while (std::size_t got = std::fread(buffer.data(), 1, buffer.size(), file))
                total += got;
            std::fclose(file);
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * GBytes));
}

BENCHMARK(BM_LoadCatalogue)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_InihParse)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->UseRealTime();

// Console output as usual, and the real times kept for the ratios.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                // Keyed by the plain name: the runs are registered with UseRealTime.
                const std::string name = run.benchmark_name().substr(0, run.benchmark_name().find('/'));
                Times[name] = run.GetAdjustedRealTime();
                CpuTimes[name] = run.GetAdjustedCPUTime();
            }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> Times;
    std::map<std::string, double> CpuTimes;
};

long PeakKilobytes() {
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long CurrentKilobytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

int PeakMemory() {
    const long before = CurrentKilobytes();
    TRegistryTweakList list;
    for (const std::string& f : GFiles)
        list.LoadFromFile(f, false);
    const long peak = PeakKilobytes();
    const double files = static_cast<double>(GBytes) / 1024.0;
    std::printf("peak memory: %ld KiB in all, %ld KiB for loading; files %.0f KiB; %d tweaks\n", peak,
                peak - before, files, list.Count());
    std::printf("ratio peak memory / file size: %.2f (goal < 3; whole process %.2f)\n",
                (peak - before) / files, peak / files);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::string dir, memoryDir;
    std::vector<char*> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--catalogue=", 12) == 0)
            dir = argv[i] + 12;
        else if (std::strncmp(argv[i], "--peak-memory=", 14) == 0)
            memoryDir = argv[i] + 14;
        else
            rest.push_back(argv[i]);
    }
    if (!memoryDir.empty()) {
        FindFiles(memoryDir);
        return PeakMemory();
    }
    if (dir.empty()) {
        std::cerr << "usage: catalogue_bench --catalogue=DIR [benchmark flags] | --peak-memory=DIR\n";
        return 2;
    }
    FindFiles(dir);
    if (GFiles.empty()) {
        std::cerr << "catalogue_bench: no *.ini files in " << dir << "\n";
        return 2;
    }
    int n = static_cast<int>(rest.size());
    benchmark::Initialize(&n, rest.data());
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& t = reporter.Times;
    if (t.count("BM_LoadCatalogue") && t.count("BM_InihParse") && t.count("BM_PlainRead")) {
        std::printf("%zu files, %.1f MiB\n", GFiles.size(), static_cast<double>(GBytes) / (1 << 20));
        const auto& c = reporter.CpuTimes;
        std::printf("ratio load / inih parse: %.2f real time, %.2f CPU time (goal <= 1.5)\n",
                    t.at("BM_LoadCatalogue") / t.at("BM_InihParse"),
                    c.at("BM_LoadCatalogue") / c.at("BM_InihParse"));
        std::printf("ratio load / plain read: %.2f real time, %.2f CPU time\n",
                    t.at("BM_LoadCatalogue") / t.at("BM_PlainRead"),
                    c.at("BM_LoadCatalogue") / c.at("BM_PlainRead"));
    }
    benchmark::Shutdown();
    return 0;
}
