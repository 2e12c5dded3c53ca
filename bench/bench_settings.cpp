// Reading settings from a large registry file, as every thumbnail does when it checks the
// word processor's recent-file list: a stat per read, a parse only when the file changed.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Registry.h"

namespace {

std::string RegistryWithKeys(int keys) {
  const std::string file = std::filesystem::temp_directory_path().string() +
                           "/vsp-bench-registry-" + std::to_string(getpid());
  std::ofstream out(file, std::ios::binary);
  for (int k = 0; k < keys; ++k) out << "[HKCU\\Software\\Key" << k << "]\nValue=num:" << k << "\n";
  return file;
}

void BM_ReadAmongManyKeys(benchmark::State& state) {
  const std::string file = RegistryWithKeys(int(state.range(0)));
  platform::Registry registry(file);
  int k = 0;
  for (auto _ : state) {
    const std::string key = "Software\\Key" + std::to_string(k++ % state.range(0));
    benchmark::DoNotOptimize(registry.read(platform::RegRoot::CurrentUser, key, "Value"));
    benchmark::DoNotOptimize(registry.keyExists(platform::RegRoot::CurrentUser, key));
  }
  std::filesystem::remove(file);
}

void BM_WriteAmongManyKeys(benchmark::State& state) {
  const std::string file = RegistryWithKeys(int(state.range(0)));
  platform::Registry registry(file);
  for (auto _ : state)
    registry.write(platform::RegRoot::LocalMachine, "Software\\Varnel\\Stampora", "PaperSize",
                   {platform::RegType::String, "A4", 0});
  std::filesystem::remove(file);
}

BENCHMARK(BM_ReadAmongManyKeys)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WriteAmongManyKeys)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
