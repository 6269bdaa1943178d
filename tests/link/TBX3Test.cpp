// The adapter link against stand-in driver libraries loaded through the real loader.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <typeinfo>

#include "LinkTestSupport.h"

namespace {

namespace fs = std::filesystem;
using linktest::ReadLines;
using linktest::RunProgram;
using linktest::ScratchFolder;
using linktest::Slots;
using linktest::WorkingFolder;

const std::vector<std::string> kOpenCalls{
    "FT_ListDevices 0x0 0x40000002",
    "FT_Open 0",
    "FT_SetBaudRate 0x7ab 9600",
    "FT_SetTimeouts 0x7ab 1000 1000",
    "FT_SetDataCharacteristics 0x7ab 8 2 2",
};

class AdapterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("TARVEX_FAKE_D2XX_LOG", Log().string().c_str(), 1);
        unsetenv("TARVEX_FAKE_D2XX_FAIL");
        unsetenv("TARVEX_FAKE_D2XX_READ");
        UseLibrary(FAKE_D2XX);
    }
    void TearDown() override {
        unsetenv("TARVEX_FAKE_D2XX_LOG");
        unsetenv("TARVEX_FAKE_D2XX_FAIL");
        unsetenv("TARVEX_FAKE_D2XX_READ");
        unsetenv("TARVEX_D2XX");
    }

    static void UseLibrary(const std::string& path) { setenv("TARVEX_D2XX", path.c_str(), 1); }
    static void FailCall(const char* name) { setenv("TARVEX_FAKE_D2XX_FAIL", name, 1); }

    std::filesystem::path Log() const { return scratch.Path() / "calls.log"; }
    std::vector<std::string> Calls() const { return ReadLines(Log()); }
    void ForgetCalls() const { std::filesystem::remove(Log()); }

    ScratchFolder scratch;
};

void* Export(const char* library, const std::string& name) {
    void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
    return handle == nullptr ? nullptr : dlsym(handle, name.c_str());
}

TEST(D2xxDriverTest, BindsWriteReadOpenOpenExListClose_ThenTheRestAsStored) {
    const auto order = D2xxDriver::BindOrder();
    const std::vector<std::string> bound(order.begin(), order.end());
    std::vector<std::string> expected{"FT_Write",  "FT_Read",        "FT_Open",
                                      "FT_OpenEx", "FT_ListDevices", "FT_Close"};
    const auto slots = Slots(D2xxDriver{});
    for (std::size_t i = 6; i < slots.size(); ++i) expected.push_back(slots[i].first);
    EXPECT_EQ(bound, expected);
    EXPECT_EQ(slots.size(), 35u);
}

TEST_F(AdapterTest, InitializeBindsEverySlotToTheExportOfItsName) {
    TBX3 adapter;
    ASSERT_NO_THROW(adapter.Initialize());
    EXPECT_NE(adapter.Driver().libraryHandle, nullptr);
    EXPECT_EQ(adapter.Driver().deviceHandle, nullptr);
    for (const auto& [name, address] : Slots(adapter.Driver())) {
        EXPECT_NE(address, nullptr) << name;
        EXPECT_EQ(address, Export(FAKE_D2XX, name)) << name;
    }
    EXPECT_TRUE(Calls().empty()) << "binding calls nothing";
}

// A library lacking one name: Load() stops at that name; the names bound before it keep
// their addresses and nothing after it is bound.
TEST_F(AdapterTest, MissingExportStopsBindingAtThatName) {
    struct Case {
        const char* library;
        std::size_t boundBeforeMissing;
    };
    const Case cases[] = {
        {FAKE_D2XX_NO_WRITE, 0},
        {FAKE_D2XX_NO_PURGE, 7},
        {FAKE_D2XX_NO_LIBRARY_VERSION, 34},
    };
    const auto order = D2xxDriver::BindOrder();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.library);
        UseLibrary(c.library);
        TBX3 adapter;
        EXPECT_THROW(adapter.Initialize(), TBX3::InitializeError);
        EXPECT_NE(adapter.Driver().libraryHandle, nullptr) << "the library stays loaded";
        const auto first = order.begin();
        const auto bound = first + static_cast<std::ptrdiff_t>(c.boundBeforeMissing);
        for (const auto& [name, address] : Slots(adapter.Driver())) {
            if (std::find(first, bound, name) != bound)
                EXPECT_EQ(address, Export(c.library, name)) << name;
            else
                EXPECT_EQ(address, nullptr) << name;
        }
    }
}

TEST_F(AdapterTest, FileThatIsNoSharedLibraryGivesInitializeError) {
    const auto text = scratch.Path() / "notes.txt";
    std::ofstream(text) << "FT_Open FT_Close\n";
    const auto empty = scratch.Path() / "libempty.so";
    std::ofstream{empty};
    const std::string cases[] = {(scratch.Path() / "missing.so").string(), text.string(),
                                 empty.string(), scratch.Path().string()};
    // The program's folder also holds the libftdi1 layer: naming a file in TARVEX_D2XX must
    // not fall back to it.
    for (const std::string& file : cases) {
        SCOPED_TRACE(file);
        UseLibrary(file);
        TBX3 adapter;
        EXPECT_THROW(adapter.Initialize(), TBX3::InitializeError);
        EXPECT_EQ(adapter.Driver().libraryHandle, nullptr);
        for (const auto& [name, address] : Slots(adapter.Driver()))
            EXPECT_EQ(address, nullptr) << name;
    }
}

// TARVEX_D2XX names the driver by an absolute path. A relative one is refused, with the
// reason for the user, even where a library of that name lies in the working folder: the
// driver is never taken from there. Empty counts as unset.
TEST_F(AdapterTest, DriverPathMustBeAbsolute) {
    const fs::path chosen = fs::path("chosen").replace_extension(fs::path(FAKE_D2XX).extension());
    fs::create_directories(scratch.Path() / "sub");
    fs::copy_file(FAKE_D2XX, scratch.Path() / chosen);
    fs::copy_file(FAKE_D2XX, scratch.Path() / "sub" / chosen);
    WorkingFolder inScratch(scratch.Path());
    unsetenv("TARVEX_D2XX");
    const std::vector<std::string> unset = D2xxDriver::LibraryCandidates();
    const std::string absolute = Utf8Path(scratch.Path() / chosen);
    const std::string relative = Utf8Path(fs::path("sub") / chosen);
    struct Row {
        std::string value;
        std::vector<std::string> candidates;
        std::string problem;
    };
    for (const Row& row : std::vector<Row>{
             {absolute, {absolute}, ""},
             {chosen.string(), {}, "TARVEX_D2XX must be an absolute path: " + chosen.string()},
             {relative, {}, "TARVEX_D2XX must be an absolute path: " + relative},
             {"", unset, ""},
         }) {
        SCOPED_TRACE(row.value);
        UseLibrary(row.value);
        EXPECT_EQ(D2xxDriver::LibraryCandidates(), row.candidates);
        EXPECT_EQ(D2xxDriver::ChosenLibraryProblem(), row.problem);
        if (row.value.empty()) continue;  // the machine's own driver, if any
        TBX3 adapter;
        if (row.problem.empty())
            EXPECT_NO_THROW(adapter.Initialize());
        else
            EXPECT_THROW(adapter.Initialize(), TBX3::InitializeError);
    }
}

// Paths are UTF-8 on every platform; on Windows they must not pass through the ANSI code
// page on the way to the system.
TEST_F(AdapterTest, DriverPathOutsideTheAnsiCodePageLoads) {
    const fs::path folder = scratch.Path() / fs::path(u8"dé") / fs::path(u8"дир");
    fs::create_directories(folder);
    const fs::path copy = folder / fs::path(FAKE_D2XX).filename();
    fs::copy_file(FAKE_D2XX, copy);
    UseLibrary(Utf8Path(copy));
    EXPECT_EQ(D2xxDriver::LibraryCandidates(), std::vector<std::string>{Utf8Path(copy)});
    TBX3 adapter;
    EXPECT_NO_THROW(adapter.Initialize());
    EXPECT_NO_THROW(adapter.Open());
    EXPECT_EQ(Calls(), kOpenCalls);
}

#ifndef _WIN32
TEST_F(AdapterTest, CandidatesAreTheChosenFileAlone_ElseVendorThenLayerBesideProgram) {
    EXPECT_EQ(D2xxDriver::LibraryCandidates(), std::vector<std::string>{FAKE_D2XX});

    unsetenv("TARVEX_D2XX");
    const std::string layer = D2xxDriver::FindBesideProgram("libtarvex-ftdi.so");
    ASSERT_FALSE(layer.empty()) << "the test runs from the bin folder beside the layer";
    EXPECT_TRUE(std::filesystem::equivalent(layer, FTDI_LAYER));
    EXPECT_EQ(D2xxDriver::LibraryCandidates(), (std::vector<std::string>{"libftd2xx.so", layer}));
    EXPECT_EQ(D2xxDriver::FindBesideProgram("libtarvex-no-such-file.so"), "");
}

// An installed program finds the library under <prefix>/<libdir>/tarvex, not only beside it.
TEST_F(AdapterTest, InstalledProgramFindsTheLibraryUnderLibdir) {
    namespace fs = std::filesystem;
    const fs::path bin = scratch.Path() / "prefix" / INSTALL_BINDIR;
    const fs::path libraries = bin / LIBDIR_FROM_BINDIR;
    fs::create_directories(bin);
    fs::create_directories(libraries);
    fs::copy_file(LOCATE_PROGRAM, bin / "locate");
    std::ofstream(libraries / "libtarvex-ftdi.so") << "stand-in";
    std::ofstream(bin / "libbeside.so") << "stand-in";

    const auto locate = [&](const std::string& file) {
        const std::string command = (bin / "locate").string() + " " + file;
        std::string answer;
        if (FILE* pipe = popen(command.c_str(), "r"); pipe != nullptr) {
            char line[4096];
            while (std::fgets(line, sizeof line, pipe) != nullptr) answer += line;
            pclose(pipe);
        }
        return answer.substr(0, answer.find('\n'));
    };
    const std::string underLibdir = locate("libtarvex-ftdi.so");
    ASSERT_FALSE(underLibdir.empty());
    EXPECT_TRUE(fs::equivalent(underLibdir, libraries / "libtarvex-ftdi.so"));
    EXPECT_EQ(locate("libbeside.so"), (bin / "libbeside.so").string());
    EXPECT_EQ(locate("libmissing.so"), "");
}
#endif

TEST_F(AdapterTest, OpenMakesTheFiveCallsWithTheLineSetting) {
    TBX3 adapter;
    adapter.Initialize();
    ASSERT_NO_THROW(adapter.Open());
    EXPECT_EQ(Calls(), kOpenCalls);
    EXPECT_EQ(adapter.Driver().deviceHandle, reinterpret_cast<FT_HANDLE>(0x7ab));
}

// Each failing step throws OpenError and no later step runs. The handle is held only once
// FT_Open has succeeded (a failing FT_Open in the stand-in leaves junk in its out value).
TEST_F(AdapterTest, OpenStopsAtTheFailingStep) {
    for (std::size_t step = 0; step < kOpenCalls.size(); ++step) {
        const std::string name = kOpenCalls[step].substr(0, kOpenCalls[step].find(' '));
        SCOPED_TRACE(name);
        FailCall(name.c_str());
        {
            TBX3 adapter;
            adapter.Initialize();
            EXPECT_THROW(adapter.Open(), TBX3::OpenError);
            const std::vector<std::string> expected(kOpenCalls.begin(),
                                                    kOpenCalls.begin() + step + 1);
            EXPECT_EQ(Calls(), expected);
            EXPECT_EQ(adapter.Driver().deviceHandle,
                      step < 2 ? nullptr : reinterpret_cast<FT_HANDLE>(0x7ab));
            ForgetCalls();
        }
        EXPECT_EQ(Calls(), std::vector<std::string>{step < 2 ? "FT_Close 0x0" : "FT_Close 0x7ab"})
            << "the destructor closes whatever handle is held";
        ForgetCalls();
    }
}

// With an adapter selected, FT_OpenEx by its serial number stands in for the listing and
// FT_Open; its failure is an OpenError with no handle held.
TEST_F(AdapterTest, SelectedAdapterOpensBySerialNumber) {
    const std::vector<std::string> rest(kOpenCalls.begin() + 2, kOpenCalls.end());
    for (const bool fails : {false, true}) {
        SCOPED_TRACE(fails);
        if (fails) FailCall("FT_OpenEx");
        {
            TBX3 adapter;
            adapter.Initialize();
            adapter.SelectAdapter("TBX3B002");
            std::vector<std::string> expected{"FT_OpenEx TBX3B002 1"};
            if (fails) {
                EXPECT_THROW(adapter.Open(), TBX3::OpenError);
                EXPECT_EQ(adapter.Driver().deviceHandle, nullptr);
            } else {
                EXPECT_NO_THROW(adapter.Open());
                expected.insert(expected.end(), rest.begin(), rest.end());
            }
            EXPECT_EQ(Calls(), expected);
        }
        ForgetCalls();
    }
    EXPECT_THROW(TBX3().SelectAdapter(std::string(64, 'A')), TBX3::OpenError);
}

TEST_F(AdapterTest, ListAdaptersGivesIndexSerialAndDescription) {
    TBX3 adapter;
    adapter.Initialize();
    const auto adapters = adapter.ListAdapters();
    ASSERT_EQ(adapters.size(), 1u);
    EXPECT_EQ(adapters[0].index, 0u);
    EXPECT_EQ(adapters[0].serial, "TBX3-0001");
    EXPECT_EQ(adapters[0].description, "TBX-3");
    // The listing failing as "no device" is an empty list.
    FailCall("FT_ListDevices");
    EXPECT_TRUE(adapter.ListAdapters().empty());
}

TEST_F(AdapterTest, UnboundStepOfOpenCountsAsFailing) {
    // Without FT_Purge, FT_ListDevices and FT_Open are bound but FT_SetBaudRate is not.
    UseLibrary(FAKE_D2XX_NO_PURGE);
    TBX3 partly;
    EXPECT_THROW(partly.Initialize(), TBX3::InitializeError);
    EXPECT_THROW(partly.Open(), TBX3::OpenError);
    EXPECT_EQ(Calls(), (std::vector<std::string>{kOpenCalls[0], kOpenCalls[1]}));

    ForgetCalls();
    TBX3 unbound;
    EXPECT_THROW(unbound.Open(), TBX3::OpenError);
    EXPECT_TRUE(Calls().empty());
}

TEST_F(AdapterTest, ShortReadReturnsNormallyAndLeavesTheRestOfTheBuffer) {
    TBX3 adapter;
    adapter.Initialize();
    adapter.Open();
    ForgetCalls();
    setenv("TARVEX_FAKE_D2XX_READ", "20", 1);
    std::array<std::uint8_t, 101> block;
    block.fill(0x11);
    ASSERT_NO_THROW(adapter.Read(block.data(), 101));
    EXPECT_TRUE(std::all_of(block.begin(), block.begin() + 20, [](auto b) { return b == 0xA5; }));
    EXPECT_TRUE(std::all_of(block.begin() + 20, block.end(), [](auto b) { return b == 0x11; }));
    EXPECT_EQ(Calls(), std::vector<std::string>{"FT_Read 0x7ab 101"});
}

TEST_F(AdapterTest, WriteAndPurgeReachTheOpenDevice) {
    TBX3 adapter;
    adapter.Initialize();
    adapter.Open();
    ForgetCalls();
    const std::uint8_t frame[] = {0x9F, 0x00, 0xFF};
    adapter.Write(frame, 3);
    adapter.PurgeReceive();
    EXPECT_EQ(Calls(), (std::vector<std::string>{"FT_Write 0x7ab 159 0 255", "FT_Purge 0x7ab 1"}));
}

// Failing or unbound transfer calls each raise their own error type.
TEST_F(AdapterTest, TransferFailuresRaiseTheirErrorTypes) {
    struct Case {
        const char* library;
        const char* failing;  // null: the call is unbound in that library
        std::function<void(TBX3&)> operation;
        const std::type_info& error;
    };
    std::uint8_t buffer[4] = {};
    const auto read = [&](TBX3& a) { a.Read(buffer, 4); };
    const auto write = [&](TBX3& a) { a.Write(buffer, 4); };
    const auto purge = [](TBX3& a) { a.PurgeReceive(); };
    const Case cases[] = {
        {FAKE_D2XX, "FT_Read", read, typeid(TBX3::ReadError)},
        {FAKE_D2XX, "FT_Write", write, typeid(TBX3::WriteError)},
        {FAKE_D2XX, "FT_Purge", purge, typeid(TBX3::ConnectionError)},
        {FAKE_D2XX_NO_WRITE, nullptr, read, typeid(TBX3::ReadError)},
        {FAKE_D2XX_NO_WRITE, nullptr, write, typeid(TBX3::WriteError)},
        {FAKE_D2XX_NO_PURGE, nullptr, purge, typeid(TBX3::ConnectionError)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.library) + " " + (c.failing ? c.failing : "unbound"));
        UseLibrary(c.library);
        if (c.failing) FailCall(c.failing);
        TBX3 adapter;
        try {
            adapter.Initialize();
        } catch (const TBX3::InitializeError&) {
            EXPECT_EQ(c.failing, nullptr);
        }
        try {
            c.operation(adapter);
            ADD_FAILURE() << "no error";
        } catch (const TBX3::ConnectionError& error) {
            EXPECT_EQ(typeid(error), c.error);
        }
        unsetenv("TARVEX_FAKE_D2XX_FAIL");
    }
}

TEST(AdapterErrorTest, DerivedErrorsAreConnectionErrorsWithEmptyText) {
    const std::function<void()> throwers[] = {
        [] { throw TBX3::ConnectionError(); }, [] { throw TBX3::InitializeError(); },
        [] { throw TBX3::OpenError(); },       [] { throw TBX3::ReadError(); },
        [] { throw TBX3::WriteError(); },
    };
    for (const auto& thrower : throwers) {
        try {
            thrower();
        } catch (const TBX3::ConnectionError& error) {
            const std::runtime_error& base = error;
            EXPECT_STREQ(base.what(), "");
            continue;
        }
        ADD_FAILURE() << "not a ConnectionError";
    }
    // Handlers listed most derived first tell them apart.
    int handler = 0;
    try {
        throw TBX3::OpenError();
    } catch (const TBX3::InitializeError&) {
        handler = 1;
    } catch (const TBX3::ConnectionError&) {
        handler = 2;
    }
    EXPECT_EQ(handler, 2);
}

TEST_F(AdapterTest, CloseCallsFtCloseWithTheHandleAndClearsIt) {
    TBX3 adapter;
    adapter.Initialize();
    adapter.Close();  // never opened: handle 0, status ignored
    adapter.Open();
    adapter.Close();
    EXPECT_EQ(adapter.Driver().deviceHandle, nullptr);
    adapter.Close();
    const auto calls = Calls();
    ASSERT_EQ(calls.size(), 8u);
    EXPECT_EQ(calls[0], "FT_Close 0x0");
    EXPECT_EQ(calls[6], "FT_Close 0x7ab");
    EXPECT_EQ(calls[7], "FT_Close 0x0");
}

// What the process-wide adapter does at exit: a child connects it and exits normally, the
// parent reads the child's calls.
TEST_F(AdapterTest, GlobalAdapterClosesOnceAtProcessExit) {
    struct Case {
        const char* library;
        const char* failing;
        std::vector<std::string> calls;
    };
    std::vector<std::string> connected = kOpenCalls;
    connected.push_back("FT_Close 0x7ab");
    const Case cases[] = {
        {FAKE_D2XX, nullptr, connected},
        {FAKE_D2XX, "FT_ListDevices", {kOpenCalls[0], "FT_Close 0x0"}},
        {FAKE_D2XX,
         "FT_SetTimeouts",
         {kOpenCalls[0], kOpenCalls[1], kOpenCalls[2], kOpenCalls[3], "FT_Close 0x7ab"}},
        {FAKE_D2XX_NO_PURGE, nullptr, {"FT_Close 0x0"}},
        {FAKE_D2XX_NO_WRITE, nullptr, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.library) + " " + (c.failing ? c.failing : ""));
        UseLibrary(c.library);
        if (c.failing) FailCall(c.failing);
        ForgetCalls();
        ASSERT_EQ(RunProgram(LOCATE_PROGRAM, "--connect"), 0);
        EXPECT_EQ(Calls(), c.calls);
        unsetenv("TARVEX_FAKE_D2XX_FAIL");
    }
}

}  // namespace
