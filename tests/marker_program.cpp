// Started by the tests: proves it ran by writing "started" into a marker file beside itself,
// followed by a line with the working directory it was started in.
#include <filesystem>
#include <fstream>

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
  std::ofstream(partial, std::ios::binary) << "started\n"
                                           << std::filesystem::current_path().string();
  std::filesystem::rename(partial, marker);
  return 0;
}
