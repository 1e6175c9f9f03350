// Started by the tests: proves it ran by writing "started" into a marker file beside itself,
// followed by a line with the working directory it was started in (UTF-8). Told to stay (a file
// "marker-program.stay" beside it), it runs on until that file goes, and then leaves
// "marker-program.ended": a test sees whether the start returned while the program ran.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

int main() {
#ifdef _WIN32
  wchar_t self[32768];
  GetModuleFileNameW(nullptr, self, 32768);
  const std::filesystem::path program(self);
#else
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe");
#endif
  // Written under another name and renamed, so that a test never reads half a marker.
  const std::filesystem::path marker = program.parent_path() / "marker-program.started";
  std::filesystem::path partial = marker;
  partial += ".partial";
  const std::u8string directory = std::filesystem::current_path().u8string();
  std::ofstream(partial, std::ios::binary)
      << "started\n"
      << std::string(reinterpret_cast<const char*>(directory.data()), directory.size());
  std::filesystem::rename(partial, marker);
  // Five minutes at most, so that a test that forgot it does not hang it; far longer than a test
  // waits for a start to return, so that a start that waits for this program is caught.
  const auto leave = std::chrono::steady_clock::now() + std::chrono::minutes(5);
  const std::filesystem::path stay = program.parent_path() / "marker-program.stay";
  while (std::chrono::steady_clock::now() < leave && std::filesystem::exists(stay)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::ofstream(program.parent_path() / "marker-program.ended", std::ios::binary) << "ended";
  return 0;
}
