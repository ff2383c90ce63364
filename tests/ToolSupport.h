#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace vantrel::test {

// Output of a command-line tool (mdbtools' mdb-export, the program's own runners), one line
// per element.
inline std::vector<std::string> ToolLines(const std::string& command) {
    std::vector<std::string> lines;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return lines;
    std::string line;
    for (int c = std::fgetc(pipe); c != EOF; c = std::fgetc(pipe)) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line.push_back(static_cast<char>(c));
        }
    }
    if (!line.empty()) lines.push_back(line);
    ::pclose(pipe);
    return lines;
}

}  // namespace vantrel::test
