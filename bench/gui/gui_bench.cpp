// Rebuild benchmark: from a change of the search text to the finished rebuild of the panel list,
// for searches that match 10, 100 and 1,000 tweaks of the synthetic catalogue, against a store
// that holds the values and backups of the tweaks shown.
//   gui_bench --catalogue=DIR [benchmark flags]
// Runs offscreen in a fresh store of its own (in /dev/shm where there is one).
#include "app/FormUnitGorvane.h"
#include "catalogue/hlvRegTweakList.h"
#include "registry/hlvRegTools.h"
#include "registry/store/RegStore.h"
#include "settings/hlvConfig.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QVBoxLayout>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <unistd.h>

namespace {

TFormGorvane* GForm = nullptr;
const int Sizes[] = {10, 100, 1000};

// Every tweak at a multiple of Stride gets a marker in its value name: the first 1,000 of them
// "zq" markers, the next 1,000 "zr" markers; "zqa" is in 10 of them, "zqb" in 100, "zqc" in 1,000.
// Two equal-sized sets let every iteration replace a full panel list by another one.
constexpr int Stride = 37;

std::string Marker(char Set, int Size) {
    return std::string("z") + Set + (Size == 10 ? 'a' : Size == 100 ? 'b' : 'c');
}

void MarkAndPopulate(TRegistryTweakList& List) {
    int marked = 0;
    for (int i = 0; i < List.Count() && marked < 2000; i += Stride, ++marked) {
        TRegistryTweak* t = List.Items(i);
        const char set = marked < 1000 ? 'q' : 'r';
        const int rank = marked % 1000;
        for (int size : Sizes)
            if (rank < size)
                t->RegValueName += "_" + Marker(set, size);
    }
    // Values and backups for every marked tweak and for every tenth of the others.
    for (int i = 0; i < List.Count(); ++i) {
        if (i % Stride != 0 && i % 10 != 0)
            continue;
        const TRegistryTweak* t = List.Items(i);
        const std::string backup = t->RegValueName + SUndoBackupSuffix;
        if (t->RegDataType == TRegDataType::rdString) {
            RegistryWriteString(t->RegRootKey, t->RegKeyPath, t->RegValueName, 32,
                                "value " + std::to_string(i));
            RegistryWriteString(t->RegRootKey, t->RegKeyPath, backup, 32, "before " + std::to_string(i));
        } else {
            RegistryWriteInteger(t->RegRootKey, t->RegKeyPath, t->RegValueName, 32, i % 2);
            RegistryWriteInteger(t->RegRootKey, t->RegKeyPath, backup, 32, (i + 1) % 2);
        }
    }
}

void Settle() {
    QApplication::processEvents();
}

// One iteration: the search text changes to the other set of the same size; timed until the panels
// are built, placed, laid out and every pending event is handled. Unmeasured, every iteration starts
// with nothing the labels measured before: the first time these texts are shown.
void SearchRebuild(benchmark::State& state, bool Unmeasured) {
    const int size = static_cast<int>(state.range(0));
    const QString terms[2] = {QString::fromStdString(Marker('q', size)),
                              QString::fromStdString(Marker('r', size))};
    GForm->editSearchTerm->setText(terms[1]);
    Settle();
    int next = 0;
    for (auto _ : state) {
        if (Unmeasured) {
            state.PauseTiming();
            ForgetTextMeasures();
            state.ResumeTiming();
        }
        GForm->editSearchTerm->setText(terms[next]);
        Settle();
        next ^= 1;
    }
    if (static_cast<int>(GForm->Panels().size()) != size)
        state.SkipWithError("the search did not find the expected number of tweaks");
    state.counters["panels"] = static_cast<double>(GForm->Panels().size());
}

void BM_SearchRebuild(benchmark::State& state) {
    SearchRebuild(state, false);
}
BENCHMARK(BM_SearchRebuild)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SearchRebuildUnmeasured(benchmark::State& state) {
    SearchRebuild(state, true);
}
BENCHMARK(BM_SearchRebuildUnmeasured)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The parts of it: the filter alone over the whole catalogue, and the rebuild alone.
void BM_FilterOnly(benchmark::State& state) {
    const std::string term = Marker('q', static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(GForm->TweakList()->FilterBySearchTerm(term));
}
BENCHMARK(BM_FilterOnly)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RebuildOnly(benchmark::State& state) {
    GForm->TweakList()->FilterBySearchTerm(Marker('q', static_cast<int>(state.range(0))));
    for (auto _ : state) {
        GForm->RebuildPanels();
        Settle();
    }
}
BENCHMARK(BM_RebuildOnly)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Where a rebuild's time goes: the registry reads of its panels, and the panels built and placed
// into a list that is not shown (no layout, no painting).
void BM_RegistryReadsOnly(benchmark::State& state) {
    TRegistryTweakList& list = *GForm->TweakList();
    list.FilterBySearchTerm(Marker('q', static_cast<int>(state.range(0))));
    for (auto _ : state) {
        for (int i = 0; i < list.VisibleCount(); ++i) {
            const TRegistryTweak* t = list.Visible(i);
            const std::string backup = t->RegValueName + SUndoBackupSuffix;
            if (t->RegDataType == TRegDataType::rdString) {
                std::string text;
                RegistryReadString(t->RegRootKey, t->RegKeyPath, t->RegValueName, 32, text);
                RegistryReadString(t->RegRootKey, t->RegKeyPath, backup, 32, text);
            } else {
                std::int32_t number = 0;
                RegistryReadInteger(t->RegRootKey, t->RegKeyPath, t->RegValueName, number);
                RegistryReadInteger(t->RegRootKey, t->RegKeyPath, backup, number);
            }
        }
    }
}
BENCHMARK(BM_RegistryReadsOnly)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PanelsUnshown(benchmark::State& state) {
    TRegistryTweakList& list = *GForm->TweakList();
    list.FilterBySearchTerm(Marker('q', static_cast<int>(state.range(0))));
    for (auto _ : state) {
        QWidget host;
        auto* layout = new QVBoxLayout(&host);
        for (int i = 0; i < list.VisibleCount(); ++i)
            (new TTweakPanel(&host, list.Visible(i)))->SetParent(&host, layout, 0);
    }
}
BENCHMARK(BM_PanelsUnshown)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

// Prints the medians with the console's own lines, then the ratio and the frame verdict.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& Runs) override {
        ConsoleReporter::ReportRuns(Runs);
        for (const Run& run : Runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                Medians[run.run_name.str()] = run.GetAdjustedRealTime();
    }
    std::map<std::string, double> Medians; // milliseconds
};

} // namespace

int main(int argc, char** argv) {
    std::string catalogue;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--catalogue=", 12) == 0)
            catalogue = argv[i] + 12;
        else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::puts("Usage: gui_bench --catalogue=DIR [benchmark flags]\n"
                      "DIR holds the synthetic tweak files (bench/catalogue's generator writes them).");
            return 0;
        } else
            args.push_back(argv[i]);
    }
    if (catalogue.empty() || !std::filesystem::is_directory(catalogue)) {
        std::fprintf(stderr,
                     "gui_bench: --catalogue=DIR must name the folder of the synthetic tweak files\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Every store write is flushed to disk; a memory file system keeps populating the store quick.
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    const auto work = base / ("gorvane-gui-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(work / "program");
    std::filesystem::create_directory_symlink(std::filesystem::absolute(catalogue),
                                              work / "program" / "Tweaks");
    setenv("GORVANE_REGISTRY_DIR", (work / "store").c_str(), 1);
    GorvaneStoreReset();

    int code = 0;
    {
        int qtArgc = 1;
        QApplication application(qtArgc, argv);
        InitializeConfigManager("Guibench");
        const auto start = std::chrono::steady_clock::now();
        TFormGorvane form(nullptr, QString::fromStdString((work / "program").string()));
        const auto loaded = std::chrono::steady_clock::now();
        MarkAndPopulate(*form.TweakList());
        const auto populated = std::chrono::steady_clock::now();
        std::printf("catalogue: %d tweaks, loaded in %.0f ms; store populated in %.0f ms\n",
                    form.TweakList()->Count(),
                    std::chrono::duration<double, std::milli>(loaded - start).count(),
                    std::chrono::duration<double, std::milli>(populated - loaded).count());
        form.show();
        Settle();
        GForm = &form;

        int benchArgc = static_cast<int>(args.size());
        std::vector<char*> benchArgs = args;
        std::string reps = "--benchmark_repetitions=7", only = "--benchmark_report_aggregates_only=true";
        benchArgs.push_back(reps.data());
        benchArgs.push_back(only.data());
        benchArgc = static_cast<int>(benchArgs.size());
        benchmark::Initialize(&benchArgc, benchArgs.data());
        TRatioReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        benchmark::Shutdown();

        const double m100 = reporter.Medians["BM_SearchRebuild/100/real_time"];
        const double m1000 = reporter.Medians["BM_SearchRebuild/1000/real_time"];
        if (m100 > 0 && m1000 > 0) {
            std::printf("search rebuild medians: 10 = %.2f ms, 100 = %.2f ms, 1000 = %.2f ms\n",
                        reporter.Medians["BM_SearchRebuild/10/real_time"], m100, m1000);
            std::printf("ratio 1000/100 = %.2f (goal <= 12): %s\n", m1000 / m100,
                        m1000 / m100 <= 12 ? "met" : "missed");
            std::printf("100 panels in one 60 Hz frame (16.7 ms): %s\n", m100 <= 1000.0 / 60 ? "yes" : "no");
        }
        GForm = nullptr;
        form.close();
        FinalizeConfigManager();
    }
    GorvaneStoreReset();
    std::filesystem::remove_all(work);
    return code;
}
