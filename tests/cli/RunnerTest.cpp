#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>

#include <cstdio>

#include "TestSupport.h"
#include "model/DefinitionFile.h"

namespace vantrel {
namespace {

struct Result {
    int status = -1;
    std::string out;
};

// Runs vantrel-run with `args`, feeding `input` to it; stdout (and stderr, merged) comes back.
// `environment` ("NAME=value ") is set for the runner alone.
Result Runner(const std::string& args, const std::string& input = "",
              const std::string& environment = "") {
    const std::string command = "printf '%s' '" + input + "' | " + environment +
                                std::string(VANTREL_RUNNER) + " " + args + " 2>&1";
    Result r;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return r;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        r.out.append(buffer, n);
    const int status = ::pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string MakeDefinition(const test::TempDir& dir, const std::string& schema,
                           const std::string& input) {
    const std::string output = dir.File("out.sqlite");
    sqlite3* db = nullptr;
    sqlite3_open(output.c_str(), &db);
    sqlite3_exec(db, schema.c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
    ImportDefinition def;
    def.OutputPath = output;
    def.InputPath = input;
    def.Allocate(1, 2);
    def.TableCount = 1;
    def.Table(1) = TableSetting{1, 0, "t", "DATA.CSV", "", 0, WriteMode::New, 1, ","};
    def.FieldPairs(1, 1) = FieldPair{"CODE", "code"};
    def.FieldPairs(1, 2) = FieldPair{"NAME", "n"};
    ErrorLog log;
    EXPECT_TRUE(SaveDefinitionFile(dir.File("d.imp"), def, 10, log));
    return dir.File("d.imp");
}

TEST(Runner, RunsADefinitionAndReportsThroughItsExitStatus) {
    test::TempDir dir;
    const std::string data = test::Fixture("text/DATA.CSV");
    const std::string ok = MakeDefinition(dir, "CREATE TABLE t (code TEXT, n TEXT);", data);
    Result r = Runner("--yes " + ok);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("tを 3件"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("　　更新しました"), std::string::npos);

    // Asked on the terminal; declining imports nothing.
    r = Runner(ok, "n\n");
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_NE(r.out.find("へインポートを開始します"), std::string::npos);

    // Errors: exit 1 with the lines and where they happened.
    test::TempDir bad;
    const std::string failing = MakeDefinition(bad, "CREATE TABLE t (code TEXT, n INTEGER);", data);
    r = Runner("--yes " + failing);
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("NAME->n ："), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("(2 行目ほか 2 件)"), std::string::npos) << r.out;

    // Could not start: a missing input file.
    test::TempDir gone;
    const std::string missing =
        MakeDefinition(gone, "CREATE TABLE t (code TEXT, n TEXT);", gone.File("none.csv"));
    r = Runner("--yes " + missing);
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_NE(r.out.find("は存在しません"), std::string::npos) << r.out;
    EXPECT_EQ(Runner("--yes /nonexistent.imp").status, 2);
}

TEST(Runner, AMissingTemporaryFolderIsNoReasonToAbort) {
    test::TempDir dir;
    const std::string ok = MakeDefinition(dir, "CREATE TABLE t (code TEXT, n TEXT);",
                                          test::Fixture("text/DATA.CSV"));
    Result r = Runner("--yes " + ok, "", "TMPDIR=/nonexistent/folder ");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("tを 3件"), std::string::npos) << r.out;
}

TEST(Runner, ListsTablesAndFieldsForScripts) {
    Result r = Runner("--tables " + test::Fixture("excel/mixed_types.xls"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Sheet1$\n売上$\n");
    r = Runner("--tables " + test::Fixture("excel/mixed_types.xlsx"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Sheet1$\n売上$\n");
    r = Runner("--fields " + test::Fixture("excel/header_row3.xlsx") + " 明細$ --header-row 3");
    EXPECT_EQ(r.out, "コード\n品名\n数量\n単価\n納品日\n");
    r = Runner("--fields " + test::Fixture("text/tab_delimited.txt") + " x --delimiter '\\t'");
    EXPECT_EQ(r.out, "コード\n品名\n数量\n備考\n");
    r = Runner("--fields " + test::Fixture("text/no_header_3_then_5.csv") + " x --header-row 0");
    EXPECT_EQ(r.out, "フィールド1\nフィールド2\nフィールド3\n");
    r = Runner("--fields " + test::Fixture("access/jet4_v2000.mdb") + " NoIndex");
    EXPECT_EQ(r.out, "A\nB\nC\nD\n");
    r = Runner("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("usage"), std::string::npos);
    EXPECT_EQ(Runner("--bogus").status, 2);
}

}  // namespace
}  // namespace vantrel
