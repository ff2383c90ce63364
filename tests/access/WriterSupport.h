#pragma once

// Helpers of the Access writer tests: fixture copies, their rows as mdb-export lists them, the
// verifier's findings, product rows written through the engine, values for fields of every type,
// and a child process killed part way.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ToolSupport.h"
#include "access/Verifier.h"
#include "sources/engine/Engine.h"

namespace vantrel::test_writer {

// The five fixture files, one a format.
inline constexpr const char* kFormats[] = {"jet4_v2000.mdb", "jet4_v2003.mdb", "ace12_v2007.accdb",
                                           "ace14_v2010.accdb", "ace16_v2016.accdb"};

// A copy of the Access fixture `name` in `dir`.
inline std::string Copy(const test::TempDir& dir, const std::string& name) {
    const std::string to = dir.File(name);
    std::filesystem::copy_file(test::Fixture("access/" + name), to);
    return to;
}

inline std::vector<std::string> Export(const std::string& path, const std::string& table) {
    return test::ToolLines("mdb-export -d '|' -D '%Y-%m-%d %H:%M:%S' '" + path + "' '" + table +
                           "' 2>&1");
}

// Every problem vantrel-verify would list, one a line; empty for a sound file.
inline std::string Problems(const std::string& path) {
    std::string all;
    for (const auto& p : access::VerifyDatabase(path))
        all += p + "\n";
    return all;
}

inline std::unique_ptr<Database> OpenForChanges(Engine& engine, const std::string& path) {
    auto db = engine.OpenDatabase(path, 2, false);
    EXPECT_TRUE(db) << engine.Error().Description;
    return db;
}

// Products with these codes (names "名前" + code) added to 空の商品マスタ of a copy of `fixture`
// saved as `file` in `dir`; the rows the writer refused are counted, and the notices of the
// run kept.
struct ProductRun {
    int Refused = 0;
    std::vector<std::string> Notices;
};

inline ProductRun AddProducts(const test::TempDir& dir, const std::string& fixture,
                              const std::string& file, const std::vector<std::string>& codes,
                              bool allowUnverified) {
    ProductRun run;
    std::filesystem::copy_file(test::Fixture("access/" + fixture), dir.File(file));
    ErrorState error;
    Engine engine(error);
    engine.SetAllowUnverifiedKeys(allowUnverified);
    auto db = engine.OpenDatabase(dir.File(file), 2, false);
    EXPECT_TRUE(db) << error.Description;
    if (!db) return run;
    auto rs = db->OpenRecordset("空の商品マスタ");
    EXPECT_TRUE(rs) << error.Description;
    for (const auto& code : codes) {
        if (!rs) break;
        rs->AddNew();
        rs->SetValue("商品コード", Value::Text(code));
        rs->SetValue("商品名", Value::Text("名前" + code));
        rs->Update();
        if (error.IsSet()) ++run.Refused;
        error.Clear();
    }
    run.Notices = db->Notices();
    db->Close();
    EXPECT_FALSE(error.IsSet()) << error.Description;
    return run;
}

// A value for row n of a field of any type, distinct per row so unique indexes take it.
inline Value ValueFor(const FieldInfo& f, int n) {
    switch (f.Type) {
        case FieldType::Boolean:
            return Value::Boolean(n % 2 == 0);
        case FieldType::Byte:
            return Value::Integer(n % 250);
        case FieldType::Integer:
            return Value::Integer(n - 20000);
        case FieldType::Long:
        case FieldType::BigInt:
            return Value::Integer(7000000 + n);
        case FieldType::Currency:
            return Value::Currency(123456789 + n);
        case FieldType::Single:
        case FieldType::Double:
            return Value::Double(1e6 + n * 1.25);
        case FieldType::Date:
            return Value::DateTime(45000.5 + n);
        case FieldType::Guid: {
            char text[40];
            std::snprintf(text, sizeof text, "{%08X-1234-4321-ABCD-0123456789AB}", 0x10000000 + n);
            return Value::Guid(text);
        }
        case FieldType::Decimal:
            return Value::Decimal(std::to_string(500 + n) + ".5");
        case FieldType::Binary:
        case FieldType::LongBinary:
            return Value::Bytes(std::string(static_cast<std::size_t>(n % 300), 'b'));
        case FieldType::Memo:
            return Value::Text("メモ" + std::string(static_cast<std::size_t>(n * 37 % 5000), 'm'));
        default: {
            const std::string text = "値" + std::to_string(n);
            return Value::Text(f.Size > 0 && f.Size < 8 ? std::to_string(n % 10) : text);
        }
    }
}

// Runs `work` in a child process, which writes a byte on the descriptor it is given at each step
// it reaches, and kills it (SIGKILL) once `steps` bytes came and `delay` more microseconds passed.
// A child that ends by itself must end with status 0.
inline void KillAfterSteps(const std::function<void(int)>& work, int steps, useconds_t delay) {
    int marks[2];
    ASSERT_EQ(::pipe(marks), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(marks[0]);
        work(marks[1]);
        ::_exit(0);
    }
    ::close(marks[1]);
    char mark = 0;
    for (int got = 0; got < steps && ::read(marks[0], &mark, 1) == 1; ++got) {
    }
    if (delay > 0) ::usleep(delay);
    ::kill(child, SIGKILL);
    ::close(marks[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << WEXITSTATUS(status);
}

}  // namespace vantrel::test_writer
