#include "tools/gorvane-reg/RegTool.h"

#include <iostream>

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int code = RunRegTool(args, std::cin, std::cout, std::cerr);
    std::cout.flush();
    return code;
}
