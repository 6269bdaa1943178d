// A helper program for the link's tests, run as a process of its own:
//   locate FILE        prints where the program finds FILE installed with it (a copy of
//                      this program placed in an installed tree)
//   locate --connect   connects the process-wide adapter as the program does at start-up
//                      and exits normally, so that the caller sees what happens at exit
//   locate --load      exits 0 when the driver library loads and binds, 3 when not
#include <cstdio>
#include <cstring>

#include "link/TBX3.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    if (std::strcmp(argv[1], "--connect") == 0) {
        // Open only after a successful Initialize.
        try {
            g_adapter.Initialize();
            g_adapter.Open();
        } catch (const TBX3::ConnectionError&) {
        }
        return 0;
    }
    if (std::strcmp(argv[1], "--load") == 0) {
        TBX3 adapter;
        try {
            adapter.Initialize();
        } catch (const TBX3::InitializeError&) {
            return 3;
        }
        return 0;
    }
    std::puts(D2xxDriver::FindBesideProgram(argv[1]).c_str());
    return 0;
}
