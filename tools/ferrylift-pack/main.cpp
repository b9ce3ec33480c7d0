#include <iostream>
#include <string>
#include <vector>

#include "pack.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return ferrylift_pack::Run(args, std::cout, std::cerr);
}
