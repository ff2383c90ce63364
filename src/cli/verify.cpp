// vantrel-verify FILE: structural checks of an Access (Jet4/ACE) database. Exit 0 when consistent,
// 1 with one line per problem, 2 on wrong usage. Remarks about what is unusual but readable follow
// as lines starting with "注: " and do not change the exit status.
#include <iostream>

#include "access/Verifier.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "使い方 / usage: vantrel-verify FILE.mdb|FILE.accdb\n";
        return 2;
    }
    std::vector<std::string> notes;
    const auto problems = vantrel::access::VerifyDatabase(argv[1], &notes);
    for (const auto& line : problems)
        std::cout << line << "\n";
    for (const auto& line : notes)
        std::cout << "注: " << line << "\n";
    return problems.empty() ? 0 : 1;
}
