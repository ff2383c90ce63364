#include "FuzzInput.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace vantrel::fuzz {

namespace fs = std::filesystem;

namespace {

struct Scratch {
    std::string path;
    Scratch() {
        std::error_code ec;
        fs::path base = "/dev/shm";
        if (!fs::is_directory(base, ec) || ::access(base.c_str(), W_OK) != 0)
            base = fs::temp_directory_path(ec);
        path = (base / ("vantrel-fuzz-" + std::to_string(::getpid()))).string();
        fs::create_directories(path, ec);
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

}  // namespace

const std::string& ScratchFolder() {
    static Scratch scratch;
    return scratch.path;
}

std::string WriteInput(const std::string& name, std::string_view bytes) {
    const std::string path = ScratchFolder() + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) Fail(__FILE__, __LINE__, "cannot write the scratch file " + path);
    return path;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Fail(const char* file, int line, const std::string& what) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what.c_str());
    std::fflush(stderr);
    std::abort();
}

}  // namespace vantrel::fuzz
