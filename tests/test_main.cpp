// Entry of every test program. The tests only mean something on the
// Japanese test bed, so check that first and stop loudly otherwise.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (GetACP() != 932) {
        std::fprintf(stderr,
                     "FATAL: the ANSI code page is %u, not 932. Run the tests through the test bed "
                     "(scripts/test.sh), which starts Wine with the Japanese locale.\n",
                     GetACP());
        return 2;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
