// The main of every test program. Once the tests have run and their verdict
// is flushed, the process ends at once with the result: nothing runs after
// the verdict (no static destructors, library teardown or DLL detach) that
// could still fail a program whose tests passed.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <iostream>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    std::cout.flush();
    std::cerr.flush();
    std::fflush(NULL);
    TerminateProcess(GetCurrentProcess(), (UINT)result);
    return result;
}
