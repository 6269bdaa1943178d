// Prints where the program finds a library installed with it, for a copy of this program
// placed in an installed tree.
#include <cstdio>

#include "link/D2xxDriver.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    std::puts(D2xxDriver::FindBesideProgram(argv[1]).c_str());
    return 0;
}
