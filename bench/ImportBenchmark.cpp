// vantrel-bench: measures full imports (staging + transfer, new mode) of a generated Shift-JIS csv
// into an SQLite table and into Access tables (.mdb and .accdb), without indexes and with a Long
// primary key and two text indexes, against sqlite3's own .import of the same file; then, with
// --append-gb, appending 1,000 rows to a database of that size (--xlsx: a generated workbook,
// WorkbookBenchmark.cpp). Not a test: it prints figures for the README.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "AccessTables.h"
#include "BenchSupport.h"
#include "WorkbookBenchmark.h"
#include "access/Verifier.h"
#include "common/Encoding.h"
#include "import/ImportRun.h"

namespace {

using namespace vantrel;
using bench::Median;
using bench::Seconds;
namespace fs = std::filesystem;

const char* kColumns[] = {"id", "code", "qty", "price", "rate", "day", "name", "kana"};

// N rows x 8 columns: integers, decimals, dates, Japanese text. The names index in no order, the
// kana in runs.
void WriteCsv(const std::string& path, long rows, long first = 1) {
    std::ofstream out(path, std::ios::binary);
    std::string header;
    for (const char* c : kColumns)
        header += std::string(header.empty() ? "" : ",") + c;
    out << header << "\r\n";
    std::string line, sjis;
    for (long r = first; r < first + rows; ++r) {
        line = std::to_string(r) + ",C" + std::to_string(1000000 + r % 900000) + "," +
               std::to_string(r % 1000) + "," + std::to_string(r % 100000) + "." +
               std::to_string(r % 100) + "," + std::to_string(static_cast<double>(r % 97) / 7.0) +
               ",2024/" + std::to_string(1 + r % 12) + "/" + std::to_string(1 + r % 28) +
               ",山田太郎" + std::to_string(r * 7919 % 1000003) + ",ヤマダタロウ" +
               std::to_string(r % 5000);
        Utf8ToCp932(line, sjis);
        out << sjis << "\r\n";
    }
}

const char* kSqliteTable =
    "CREATE TABLE t (id INTEGER %s, code VARCHAR(20), qty INTEGER, price CURRENCY, rate DOUBLE, "
    "day DATETIME, name VARCHAR(255), kana VARCHAR(50));%s";

std::string SqliteSchema(bool indexed) {
    char sql[512];
    std::snprintf(
        sql, sizeof sql, kSqliteTable, indexed ? "PRIMARY KEY" : "",
        indexed ? " CREATE INDEX ix_name ON t(name); CREATE INDEX ix_kana ON t(kana);" : "");
    return sql;
}

// One output of the benchmark: where it is made and how the csv's columns map onto it.
struct Case {
    std::string Name;
    std::string Output;  // file name in the work folder
    std::string Table;
    std::vector<std::pair<const char*, const char*>> Fields;  // output field, csv column
};

const std::vector<std::pair<const char*, const char*>> kSqliteFields = {
    {"id", "id"},     {"code", "code"}, {"qty", "qty"},   {"price", "price"},
    {"rate", "rate"}, {"day", "day"},   {"name", "name"}, {"kana", "kana"}};
// EmptyAllTypes: ID is its autonumber primary key; Code and RequiredText are required.
const std::vector<std::pair<const char*, const char*>> kAccessFields = {
    {"LongCol", "id"},  {"Code", "code"},         {"RequiredText", "code"},
    {"IntCol", "qty"},  {"CurrencyCol", "price"}, {"DoubleCol", "rate"},
    {"DateCol", "day"}, {"TextCol", "name"},      {"PlainText", "kana"}};

using Times = bench::RunTimes;

// One import into `output` in `mode`, in this process.
Times Import(const fs::path& dir, const std::string& csv, const std::string& output, const Case& c,
             int32_t mode) {
    SessionState state;
    state.WorkDbPath = (dir / ("work-" + c.Name + ".mdb")).string();
    state.StartCount = 1;
    ImportDefinition& def = state.Definition;
    def.OutputPath = output;
    def.InputPath = csv;
    def.Allocate(1, static_cast<int32_t>(c.Fields.size()));
    def.TableCount = 1;
    def.Table(1) = def.DefaultTableSetting;
    def.Table(1).FieldSlot = 1;
    def.Table(1).OutTable = c.Table;
    def.Table(1).InTable = fs::path(csv).filename().string();
    def.Table(1).WriteMode = mode;
    for (std::size_t j = 0; j < c.Fields.size(); ++j)
        def.FieldPairs(1, static_cast<int32_t>(j + 1)) =
            FieldPair{c.Fields[j].second, c.Fields[j].first};
    return bench::TimedRun(state);
}

// Runs `work` in a child process, so that its peak memory is its own.
Times Measured(const std::function<Times()>& work) {
    int pipe[2];
    if (::pipe(pipe) != 0) return {};
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe[0]);
        const Times t = work();
        const ssize_t written = ::write(pipe[1], &t, sizeof t);
        std::fflush(stdout);
        ::_exit(written == sizeof t ? 0 : 1);
    }
    ::close(pipe[1]);
    Times t;
    const bool got = ::read(pipe[0], &t, sizeof t) == sizeof t;
    ::close(pipe[0]);
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    if (!got) t.Errors = -1;
    t.PeakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    auto seconds = [](const timeval& tv) {
        return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
    };
    t.CpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    return t;
}

std::string Fixture(const std::string& name) {
    // The shared fixtures live beside the repository, as for the tests.
    for (const char* base : {"../shared/fixtures/access/", "../../shared/fixtures/access/",
                             "/work/shared/fixtures/access/"}) {
        if (fs::exists(base + name)) return base + name;
    }
    return {};
}

// A fresh output for a round: a copy of the prepared template.
void Fresh(const fs::path& dir, const Case& c) {
    const fs::path out = dir / c.Output;
    fs::remove(out);
    fs::copy_file(dir / ("template-" + c.Output), out);
}

}  // namespace

// vantrel-bench [ROWS [ROUNDS]] [--only NAME,...] [--general] [--append-gb GB] [--keep]
// vantrel-bench --xlsx [ROWS [ROUNDS]]
int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--xlsx") {
        return bench::BenchmarkWorkbook(argc > 2 ? std::atol(argv[2]) : 200000,
                                        argc > 3 ? std::max(1, std::atoi(argv[3])) : 1);
    }
    long rows = 1000000;
    int rounds = 3;
    double appendGb = 0;
    bool japanese = true, keep = false;
    std::string only;
    std::vector<std::string> numbers;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--append-gb" && i + 1 < argc) {
            appendGb = std::atof(argv[++i]);
        } else if (a == "--only" && i + 1 < argc) {
            only = std::string(",") + argv[++i] + ",";
        } else if (a == "--keep") {
            keep = true;  // leave the outputs to look at afterwards
        } else if (a == "--general") {
            japanese = false;  // both text indexes in General order
        } else if (!a.empty() && a.find_first_not_of("0123456789") == std::string::npos) {
            numbers.push_back(a);
        } else {
            std::fprintf(
                stderr,
                "usage: vantrel-bench [ROWS [ROUNDS]] [--only NAME,...] [--general] "
                "[--append-gb GB] [--keep]\n       vantrel-bench --xlsx [ROWS [ROUNDS]]\n");
            return 2;
        }
    }
    if (!numbers.empty()) rows = std::atol(numbers[0].c_str());
    if (numbers.size() > 1) rounds = std::max(1, std::atoi(numbers[1].c_str()));
    const fs::path dir =
        fs::temp_directory_path() / ("vantrel-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string csv = (dir / "input.csv").string();
    WriteCsv(csv, rows);
    const std::string utf8 = (dir / "input-utf8.csv").string();
    std::system(("iconv -f CP932 -t UTF-8 '" + csv + "' > '" + utf8 + "'").c_str());

    const std::set<std::string> indexed = {"PrimaryKey", "IX_TextCol", "IX_PlainText"};
    std::vector<Case> cases = {
        {"sqlite-a", "a.sqlite", "t", kSqliteFields},
        {"sqlite-b", "b.sqlite", "t", kSqliteFields},
        {"mdb-a", "a.mdb", "EmptyAllTypes", kAccessFields},
        {"mdb-b", "b.mdb", "EmptyAllTypes", kAccessFields},
        {"accdb-a", "a.accdb", "EmptyAllTypes", kAccessFields},
        {"accdb-b", "b.accdb", "EmptyAllTypes", kAccessFields},
    };
    std::erase_if(cases, [&](const Case& c) {
        return !only.empty() && only.find("," + c.Name + ",") == std::string::npos;
    });
    for (const Case& c : cases) {
        const fs::path out = dir / ("template-" + c.Output);
        const bool b = c.Name.back() == 'b';
        if (c.Output.ends_with(".sqlite")) {
            std::system(("sqlite3 '" + out.string() + "' '" + SqliteSchema(b) + "'").c_str());
            continue;
        }
        fs::copy_file(Fixture(c.Output.ends_with(".mdb") ? "jet4_v2003.mdb" : "ace16_v2016.accdb"),
                      out);
        const std::string problem =
            bench::PrepareBenchTable(out.string(), b ? indexed : std::set<std::string>{}, japanese);
        if (!problem.empty()) {
            std::printf("%s: %s\n", c.Name.c_str(), problem.c_str());
            return 1;
        }
    }

    // CPU time varies less than wall-clock time on a machine others use at the same moment.
    std::map<std::string, std::vector<double>> totals, transfers, peaks, cpu;
    std::vector<double> theirs;
    for (int r = 0; r < rounds; ++r) {
        std::printf("round %d:", r + 1);
        for (const Case& c : cases) {
            Fresh(dir, c);
            const Times t = Measured(
                [&] { return Import(dir, csv, (dir / c.Output).string(), c, WriteMode::New); });
            totals[c.Name].push_back(t.Total);
            transfers[c.Name].push_back(t.Total - t.Staging);
            peaks[c.Name].push_back(t.PeakMb);
            cpu[c.Name].push_back(t.CpuSeconds);
            std::printf(" %s %.2f s (%lld rows%s)", c.Name.c_str(), t.Total, t.Written,
                        t.Errors ? ", errors" : "");
        }
        // sqlite3's own import into the shape without indexes.
        const std::string reference = (dir / "ref.sqlite").string();
        fs::remove(reference);
        std::system(("sqlite3 '" + reference + "' '" + SqliteSchema(false) + "'").c_str());
        const auto start = std::chrono::steady_clock::now();
        std::system(
            ("sqlite3 '" + reference + "' -cmd '.mode csv' '.import --skip 1 " + utf8 + " t'")
                .c_str());
        theirs.push_back(Seconds(start));
        std::printf(" sqlite3-import %.2f s\n", theirs.back());
    }
    std::printf("\nrows: %ld, rounds: %d (medians)\n", rows, rounds);
    std::printf("%-10s %9s %9s %9s %9s %8s\n", "output", "total s", "transfer", "cpu s", "rows/s",
                "peak MB");
    for (const Case& c : cases) {
        const double total = Median(totals[c.Name]);
        std::printf("%-10s %9.2f %9.2f %9.2f %9.0f %8.1f\n", c.Name.c_str(), total,
                    Median(transfers[c.Name]), Median(cpu[c.Name]),
                    static_cast<double>(rows) / total,
                    *std::max_element(peaks[c.Name].begin(), peaks[c.Name].end()));
    }
    std::printf("sqlite3 .import: %.2f s\n", Median(theirs));
    for (const char* kind : {"mdb", "accdb"}) {
        for (const char* shape : {"a", "b"}) {
            const std::string ours = std::string(kind) + "-" + shape,
                              sqlite = std::string("sqlite-") + shape;
            if (totals.count(ours) && totals.count(sqlite))
                std::printf("ratio %s / %s: %.2f\n", ours.c_str(), sqlite.c_str(),
                            Median(totals[ours]) / Median(totals[sqlite]));
        }
    }
    for (const Case& c : cases) {
        if (c.Output.ends_with(".sqlite")) continue;
        const auto problems = access::VerifyDatabase((dir / c.Output).string());
        std::printf("vantrel-verify %s: %s\n", c.Output.c_str(),
                    problems.empty() ? "clean" : problems.front().c_str());
    }

    if (appendGb > 0) {
        // 1,000 rows appended to a database of the given size: the cost should be that of one
        // copy of the file, the memory that of the page cache.
        const fs::path big = dir / "big.accdb";
        fs::copy_file(dir / "template-b.accdb", big);
        if (!fs::exists(big)) {
            std::printf("append: the accdb-b output is needed (--only accdb-b,...)\n");
            return 1;
        }
        const std::string grown = bench::GrowDatabase(
            big.string(), static_cast<unsigned long long>(appendGb * 1024 * 1024 * 1024));
        if (!grown.empty()) std::printf("append: %s\n", grown.c_str());
        const std::string small = (dir / "more.csv").string();
        WriteCsv(small, 1000, rows + 1);
        const Case c{"append", "big.accdb", "EmptyAllTypes", kAccessFields};
        const auto copyStart = std::chrono::steady_clock::now();
        std::system(
            ("cp '" + big.string() + "' '" + (dir / "copy.accdb").string() + "' && sync").c_str());
        const double copy = Seconds(copyStart);
        fs::remove(dir / "copy.accdb");
        const Times t =
            Measured([&] { return Import(dir, small, big.string(), c, WriteMode::Append); });
        std::printf(
            "append 1,000 rows to %.2f GB: %.2f s (%lld rows), peak %.1f MB; cp + sync of "
            "the file %.2f s\n",
            static_cast<double>(fs::file_size(big)) / (1024.0 * 1024 * 1024), t.Total, t.Written,
            t.PeakMb, copy);
        const auto problems = access::VerifyDatabase(big.string());
        std::printf("vantrel-verify big.accdb: %s\n",
                    problems.empty() ? "clean" : problems.front().c_str());
    }
    if (keep) {
        std::printf("outputs kept in %s\n", dir.string().c_str());
    } else {
        fs::remove_all(dir);
    }
    return 0;
}
