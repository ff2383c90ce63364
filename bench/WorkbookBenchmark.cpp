// vantrel-bench --xlsx: a generated .xlsx workbook imported into SQLite, with the memory its
// reader process takes.
#include "WorkbookBenchmark.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "WorkbookWriter.h"
#include "import/ImportRun.h"

extern char** environ;

namespace vantrel::bench {

namespace {

const char* kColumns[] = {"id",  "code", "qty",  "price", "rate",
                          "day", "name", "kana", "note",  "flag"};

// The generated workbook has longer codes and TRUE/FALSE flags.
const char* kWorkbookSchema =
    "CREATE TABLE t (id INTEGER, code VARCHAR(20), qty INTEGER, price CURRENCY, rate DOUBLE, day "
    "DATETIME, name VARCHAR(50), kana VARCHAR(50), note TEXT, flag BOOLEAN);";

RunTimes RunOurs(const std::filesystem::path& dir, const std::string& input,
                 const std::string& inTable, const char* schema) {
    const std::string out = (dir / "out.sqlite").string();
    std::filesystem::remove(out);
    std::system(("sqlite3 '" + out + "' '" + schema + "'").c_str());
    SessionState state;
    state.WorkDbPath = (dir / "work.mdb").string();
    state.StartCount = 1;
    ImportDefinition& def = state.Definition;
    def.OutputPath = out;
    def.InputPath = input;
    def.Allocate(1, 10);
    def.TableCount = 1;
    def.Table(1) = def.DefaultTableSetting;
    def.Table(1).FieldSlot = 1;
    def.Table(1).OutTable = "t";
    def.Table(1).InTable = inTable;
    for (int j = 0; j < 10; ++j)
        def.FieldPairs(1, j + 1) = FieldPair{kColumns[j], kColumns[j]};
    return TimedRun(state);
}

double PeakMegabytes(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The high-water mark of a running process's own memory (VmHWM), in MB; 0 once it has ended.
double HighWaterMegabytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
    }
    return 0;
}

// The peak memory of the reader process streaming the sheet on its own, sampled while it runs
// (its rusage would count what the benchmark held when starting it).
double ReaderPeakMegabytes(const std::string& book, const std::string& table) {
    const std::string reader =
        (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "vantrel-reader").string();
    std::vector<std::string> args{reader, "excel", "rows", book, table};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, reader.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return 0;
    double peak = 0;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        peak = std::max(peak, HighWaterMegabytes(pid));
        ::usleep(2000);
    }
    return peak;
}

}  // namespace

int BenchmarkWorkbook(long rows, int rounds) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("vantrel-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string book = (dir / "input.xlsx").string();
    const auto written = std::chrono::steady_clock::now();
    if (!WriteBenchmarkWorkbook(book, rows, std::vector<std::string>(kColumns, kColumns + 10))) {
        std::printf("the workbook could not be written\n");
        return 1;
    }
    std::printf("workbook: %ld rows, %.1f MB, written in %.2f s\n", rows,
                static_cast<double>(std::filesystem::file_size(book)) / 1e6, Seconds(written));
    const double reader = ReaderPeakMegabytes(book, "Data$");
    std::vector<double> totals, staging;
    RunTimes last;
    for (int r = 0; r < rounds; ++r) {
        last = RunOurs(dir, book, "Data$", kWorkbookSchema);
        totals.push_back(last.Total);
        staging.push_back(last.Staging);
        std::printf("round %d: vantrel %.2f s (staging %.2f s)\n", r + 1, last.Total, last.Staging);
    }
    const double total = Median(totals);
    std::printf(
        "rows: %ld\nerrors: %d\nwritten: %lld\nvantrel: %.2f s (%.0f rows/s), staging %.2f s\n"
        "peak RSS: %.1f MB (program), %.1f MB (the reader streaming the sheet alone)\n",
        rows, last.Errors, static_cast<long long>(last.Written), total,
        static_cast<double>(rows) / total, Median(staging), PeakMegabytes(RUSAGE_SELF), reader);
    std::filesystem::remove_all(dir);
    return 0;
}

}  // namespace vantrel::bench
