// prjdump FILE: lists a project file for people and tests (count, each face's sector index, each
// vertex as decimals and as the stored bytes).
// Exit codes: 0 a well-formed file, 1 a file that cannot be read or whose length does not fit
// its face records, 2 wrong usage.
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "export/prjformat.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: prjdump FILE\n";
        return 2;
    }
    const std::string name = argv[1];
    std::ifstream file(name, std::ios::binary);
    if (!file) {
        std::cerr << "prjdump: cannot open " << name << '\n';
        return 1;
    }
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) {
        std::cerr << "prjdump: cannot read " << name << '\n';
        return 1;
    }
    const PrjContents contents = ReadPrj(bytes);
    std::cout << FormatPrjDump(name, contents);
    std::cout.flush();
    return contents.problem.empty() ? 0 : 1;
}
