// One-shot value operations against the store with 10,000 keys present, next to a bare prepared
// SQLite point query of one value on the same file. Prints the ratios at the end.
#include "registry/hlvRegTools.h"
#include "registry/store/RegStore.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kKeys = 10000;
std::string folder;
std::vector<std::string> paths;

std::string KeyPath(int i) {
    return "Software\\Gorvane Bench\\Panel " + std::to_string(i);
}

void Populate() {
    std::string pattern = (std::filesystem::temp_directory_path() / "gorvane-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    folder = pattern;
    setenv("GORVANE_REGISTRY_DIR", folder.c_str(), 1);
    GorvaneStoreReset();
    std::fprintf(stderr, "writing %d keys into %s ...\n", kKeys, folder.c_str());
    for (int i = 0; i < kKeys; ++i) {
        paths.push_back(KeyPath(i));
        if (!RegistryWriteString(HKEY_CURRENT_USER, paths.back(), "Text", 32, "value " + std::to_string(i)) ||
            !RegistryWriteInteger(HKEY_CURRENT_USER, paths.back(), "Number", 32, i)) {
            std::fprintf(stderr, "cannot populate the store: %s\n", GorvaneStoreLastError().c_str());
            std::exit(1);
        }
    }
}

// The bare query: one prepared point query of a value, on a connection of its own.
class TBareQuery {
public:
    TBareQuery() {
        sqlite3_open_v2((folder + "/current-user.db").c_str(), &Db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* ids = nullptr;
        sqlite3_prepare_v2(Db, "SELECT id FROM keys WHERE name LIKE 'Panel %'", -1, &ids, nullptr);
        while (sqlite3_step(ids) == SQLITE_ROW)
            KeyIds.push_back(sqlite3_column_int64(ids, 0));
        sqlite3_finalize(ids);
        sqlite3_prepare_v2(Db, "SELECT type, data FROM vals WHERE key=?1 AND fold='TEXT'", -1, &Stmt,
                           nullptr);
    }
    ~TBareQuery() {
        sqlite3_finalize(Stmt);
        sqlite3_close(Db);
    }
    bool Ready() const { return Stmt && KeyIds.size() == kKeys; }
    bool Run(std::size_t i) {
        sqlite3_bind_int64(Stmt, 1, KeyIds[i % kKeys]);
        const bool found = sqlite3_step(Stmt) == SQLITE_ROW;
        benchmark::DoNotOptimize(sqlite3_column_blob(Stmt, 1));
        sqlite3_reset(Stmt);
        return found;
    }

private:
    sqlite3* Db = nullptr;
    sqlite3_stmt* Stmt = nullptr;
    std::vector<sqlite3_int64> KeyIds;
};

void BM_BareSqliteQuery(benchmark::State& state) {
    TBareQuery query;
    if (!query.Ready())
        return state.SkipWithError("cannot prepare the bare query");
    std::mt19937 random(1);
    for (auto _ : state)
        if (!query.Run(random()))
            state.SkipWithError("value not found");
}

// Every read right after a write to the file, only the read timed: first the bare query, then the
// one-shot read, when nothing read before can be reused.
void BM_BareSqliteQueryAfterWrite(benchmark::State& state) {
    TBareQuery query;
    if (!query.Ready())
        return state.SkipWithError("cannot prepare the bare query");
    std::mt19937 random(2);
    for (auto _ : state) {
        RegistryWriteInteger(HKEY_CURRENT_USER, paths[0], "Touched", 32, 1);
        const auto start = std::chrono::steady_clock::now();
        const bool found = query.Run(random());
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!found)
            state.SkipWithError("value not found");
    }
}

void BM_RegistryReadString(benchmark::State& state) {
    std::mt19937 random(1);
    std::string value;
    for (auto _ : state)
        if (!RegistryReadString(HKEY_CURRENT_USER, paths[random() % kKeys], "Text", 32, value))
            state.SkipWithError("value not found");
}

void BM_RegistryReadInteger(benchmark::State& state) {
    std::mt19937 random(1);
    std::int32_t value = 0;
    for (auto _ : state)
        if (!RegistryReadInteger(HKEY_CURRENT_USER, paths[random() % kKeys], "Number", value))
            state.SkipWithError("value not found");
}

void BM_RegistryReadStringAfterWrite(benchmark::State& state) {
    std::mt19937 random(2);
    std::string value;
    for (auto _ : state) {
        RegistryWriteInteger(HKEY_CURRENT_USER, paths[0], "Touched", 32, 1);
        const auto start = std::chrono::steady_clock::now();
        const bool found = RegistryReadString(HKEY_CURRENT_USER, paths[random() % kKeys], "Text", 32, value);
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!found)
            state.SkipWithError("value not found");
    }
}

void BM_RegistryWriteString(benchmark::State& state) {
    std::mt19937 random(1);
    for (auto _ : state)
        if (!RegistryWriteString(HKEY_CURRENT_USER, paths[random() % kKeys], "Text", 32, "changed"))
            state.SkipWithError("write failed");
}

BENCHMARK(BM_BareSqliteQuery);
BENCHMARK(BM_BareSqliteQueryAfterWrite)->Iterations(300)->UseManualTime();
BENCHMARK(BM_RegistryReadString);
BENCHMARK(BM_RegistryReadInteger);
BENCHMARK(BM_RegistryReadStringAfterWrite)->Iterations(300)->UseManualTime();
BENCHMARK(BM_RegistryWriteString)->Iterations(200);

// Keeps the time per iteration of every run for the ratios.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs)
            if (!run.error_occurred && run.iterations > 0)
                Times[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> Times;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Populate();
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // Each read against the bare query in the same condition; the goal is for the reads.
    const char* const pairs[][2] = {
        {"BM_RegistryReadString", "BM_BareSqliteQuery"},
        {"BM_RegistryReadInteger", "BM_BareSqliteQuery"},
        {"BM_RegistryReadStringAfterWrite/iterations:300/manual_time",
         "BM_BareSqliteQueryAfterWrite/iterations:300/manual_time"},
        {"BM_RegistryWriteString/iterations:200", "BM_BareSqliteQuery"},
    };
    int status = 0;
    for (const auto& [name, base] : pairs) {
        const double time = reporter.Times[name];
        const double bare = reporter.Times[base];
        if (time <= 0 || bare <= 0)
            continue;
        const double ratio = time / bare;
        const bool read = std::string(name).find("Read") != std::string::npos;
        std::printf("ratio %s / %s: %.2f%s\n", name, base, ratio,
                    read ? (ratio <= 3.0 ? " (goal <= 3: met)" : " (goal <= 3: MISSED)") : "");
        if (read && ratio > 3.0)
            status = 1;
    }
    GorvaneStoreReset();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    benchmark::Shutdown();
    return status;
}
