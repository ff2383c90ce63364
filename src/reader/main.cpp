// vantrel-reader: parses one Access database or Excel workbook for the program and writes what it
// finds to standard output. It runs as a child process so that a damaged file can only ever
// take this process down.
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "Output.h"
#include "sources/engine/JetErrors.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kUnderSanitizer = true;
#else
constexpr bool kUnderSanitizer = false;
#endif

// Bounds a runaway parse: memory and processor time (the parent also stops waiting).
void LimitResources() {
    if (!kUnderSanitizer) {
        const rlim_t memory = rlim_t{6} << 30;
        const rlimit as{memory, memory};
        setrlimit(RLIMIT_AS, &as);
    }
    const rlimit cpu{1800, 1800};
    setrlimit(RLIMIT_CPU, &cpu);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: vantrel-reader access|excel catalog|rows PATH [TABLE]\n");
        return 2;
    }
    LimitResources();
    std::signal(SIGPIPE, SIG_DFL);  // the parent closing the pipe simply ends us
    // The parsing libraries print warnings about damaged files; the parent reports problems itself.
    if (!isatty(STDERR_FILENO) && std::freopen("/dev/null", "w", stderr) == nullptr) return 3;

    const std::string format = argv[1];
    const std::string command = argv[2];
    const std::string path = argv[3];
    const std::string table = argc > 4 ? argv[4] : "";
    vantrel::reader::Output out;
    if (format == "access") return vantrel::reader::ReadAccess(command, path, table, out);
    if (format == "excel") return vantrel::reader::ReadExcel(command, path, table, out);
    out.End(vantrel::JetError::UnrecognizedFormat, path);
    return 2;
}
