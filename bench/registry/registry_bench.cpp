// One-shot value operations against the store with 10,000 keys present, next to a bare prepared
// SQLite point query of one value on the same file. Prints the ratios at the end.
#include "registry/hlvRegTools.h"
#include "registry/store/RegStore.h"

#include <benchmark/benchmark.h>
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

void BM_BareSqliteQuery(benchmark::State& state) {
    sqlite3* db = nullptr;
    sqlite3_open_v2((folder + "/current-user.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* ids = nullptr;
    sqlite3_prepare_v2(db, "SELECT id FROM keys WHERE name LIKE 'Panel %'", -1, &ids, nullptr);
    std::vector<sqlite3_int64> keyIds;
    while (sqlite3_step(ids) == SQLITE_ROW)
        keyIds.push_back(sqlite3_column_int64(ids, 0));
    sqlite3_finalize(ids);
    sqlite3_stmt* s = nullptr;
    if (keyIds.size() != kKeys ||
        sqlite3_prepare_v2(db, "SELECT type, data FROM vals WHERE key=?1 AND fold='TEXT'", -1, &s, nullptr) !=
            SQLITE_OK) {
        state.SkipWithError("cannot prepare the bare query");
        return;
    }
    std::mt19937 random(1);
    for (auto _ : state) {
        sqlite3_bind_int64(s, 1, keyIds[random() % kKeys]);
        if (sqlite3_step(s) != SQLITE_ROW)
            state.SkipWithError("value not found");
        benchmark::DoNotOptimize(sqlite3_column_blob(s, 1));
        sqlite3_reset(s);
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
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

void BM_RegistryWriteString(benchmark::State& state) {
    std::mt19937 random(1);
    for (auto _ : state)
        if (!RegistryWriteString(HKEY_CURRENT_USER, paths[random() % kKeys], "Text", 32, "changed"))
            state.SkipWithError("write failed");
}

BENCHMARK(BM_BareSqliteQuery);
BENCHMARK(BM_RegistryReadString);
BENCHMARK(BM_RegistryReadInteger);
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
    const double bare = reporter.Times["BM_BareSqliteQuery"];
    int status = 0;
    if (bare > 0) {
        for (const char* name :
             {"BM_RegistryReadString", "BM_RegistryReadInteger", "BM_RegistryWriteString"}) {
            auto it = reporter.Times.find(name);
            if (it == reporter.Times.end())
                continue;
            const double ratio = it->second / bare;
            const bool read = std::string(name).find("Read") != std::string::npos;
            std::printf("ratio %s / bare query: %.2f%s\n", name, ratio,
                        read ? (ratio <= 3.0 ? " (goal <= 3: met)" : " (goal <= 3: MISSED)") : "");
            if (read && ratio > 3.0)
                status = 1;
        }
    }
    GorvaneStoreReset();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    benchmark::Shutdown();
    return status;
}
