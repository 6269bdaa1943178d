// The Windows loader's search: without TARVEX_D2XX the driver is looked for by the
// system's search folders (the program's own, System32), never in the working folder.
#include <gtest/gtest.h>

#include "LinkTestSupport.h"

namespace {

namespace fs = std::filesystem;
using linktest::RunProgram;
using linktest::ScratchFolder;
using linktest::WorkingFolder;

TEST(WindowsLoaderTest, DriverIsFoundBesideTheProgramAndNeverInTheWorkingFolder) {
    unsetenv("TARVEX_D2XX");
    EXPECT_EQ(D2xxDriver::LibraryCandidates(), std::vector<std::string>{"Ftd2xx.dll"});

    ScratchFolder scratch;
    const fs::path program = scratch.Path() / "program" / "locate.exe";
    const fs::path work = scratch.Path() / "work";
    fs::create_directories(program.parent_path());
    fs::create_directories(work);
    fs::copy_file(fs::absolute(LOCATE_PROGRAM), program);
    fs::copy_file(fs::absolute(FAKE_D2XX), work / "Ftd2xx.dll");
    WorkingFolder inWork(work);
    EXPECT_EQ(RunProgram(Utf8Path(program), "--load"), 3) << "loaded from the working folder";
    fs::copy_file(work / "Ftd2xx.dll", program.parent_path() / "Ftd2xx.dll");
    EXPECT_EQ(RunProgram(Utf8Path(program), "--load"), 0) << "not found beside the program";
}

}  // namespace
