// Entry of every test program. The tests only mean something on the
// Japanese test bed, so check that first and stop loudly otherwise.
#include "tests/support/testbed.h"

#include <gtest/gtest.h>

#include "editor/drive_editor.h"

#include <ole2.h>

#include <cstdio>
#include <cstring>

// Every test starts with the settings and labels the test bed laid.
struct FreshSettings : ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { testbed::resetSettings(); }
};

int main(int argc, char** argv) {
    if (GetACP() != 932)
        return std::fprintf(stderr, "the code page is %u, not 932: use scripts/test.sh\n",
                            GetACP()),
               2;
    // "--record LOG ADDRESS": the test bed's browser and mail program, appending whole lines:
    // the address and the program that started it.
    if (argc == 4 && std::strcmp(argv[1], "--record") == 0) {
        const HANDLE log = CreateFileA(argv[2], FILE_APPEND_DATA, 7, nullptr, OPEN_ALWAYS, 0, 0);
        const std::string line = argv[3] + (" " + testbed::parentName()) + "\n";
        DWORD written = 0;
        return !WriteFile(log, line.data(), DWORD(line.size()), &written, nullptr);
    }
    CreateDirectoryA((testbed::binDir() + "\\..\\test-temp").c_str(), nullptr);
    OleInitialize(nullptr);
    // Every apply is written by Kelvarin.exe, started as users' applies start it.
    kelvarin::setWriterProgram((testbed::binDir() + "\\Kelvarin.exe").c_str());
    InitCommonControls();
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshSettings);
    return RUN_ALL_TESTS();
}
