// The main of every test program on Windows. Once the tests have run, it ends the process with
// TerminateProcess, as both programs end theirs. ExitProcess first tells Wine's server that the
// process is leaving and only then runs the C runtime's and the system libraries' exit code;
// the server kills a process that is still there half a second after that, which a busy machine
// brings about and ctest reports as a killed test although every case passed. On Windows the
// two ways differ only in the DLL detach code, which none of these tests is about.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  ::testing::InitGoogleMock(&argc, argv);
  const int result = RUN_ALL_TESTS();
  // TerminateProcess runs none of the C runtime's exit code, its flushing of streams included.
  std::fflush(stdout);
  std::fflush(stderr);
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(result));
  return result;
}
