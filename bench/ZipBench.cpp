// Replacing docProps/core.xml in a 100 MB package, with the member first and
// last in the archive: a content that fits the member's old space (written in
// place) against one that grows (everything after the member moves). The
// bytes written (document and journal) and read per change are the counters.

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <filesystem>
#include <string>

#include "bench/BenchSupport.h"
#include "platform/storage/Journal.h"
#include "platform/storage/zip/Archive.h"
#include "support/ScratchDir.h"

namespace tavrin {
namespace {

void Put16(std::string& out, unsigned value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}
void Put32(std::string& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

struct Part {
  std::string name, content;
  bool deflate;
};

// A package laid out by hand with zlib, independent of the engine.
std::string Package(const std::vector<Part>& parts) {
  std::string file, central;
  for (const Part& part : parts) {
    std::string data = part.content;
    if (part.deflate) {
      z_stream z{};
      deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
      data.resize(deflateBound(&z, part.content.size()));
      z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(part.content.data()));
      z.avail_in = static_cast<uInt>(part.content.size());
      z.next_out = reinterpret_cast<Bytef*>(data.data());
      z.avail_out = static_cast<uInt>(data.size());
      deflate(&z, Z_FINISH);
      data.resize(z.total_out);
      deflateEnd(&z);
    }
    const auto crc =
        static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(part.content.data()),
                                         static_cast<uInt>(part.content.size())));
    const auto offset = static_cast<std::uint32_t>(file.size());
    const auto common = [&](std::string& out) {
      Put16(out, 20);
      Put16(out, 0);
      Put16(out, part.deflate ? 8 : 0);
      Put16(out, 0);
      Put16(out, 0x21);
      Put32(out, crc);
      Put32(out, static_cast<std::uint32_t>(data.size()));
      Put32(out, static_cast<std::uint32_t>(part.content.size()));
      Put16(out, static_cast<unsigned>(part.name.size()));
      Put16(out, 0);
    };
    Put32(file, 0x04034b50);
    common(file);
    file += part.name + data;
    Put32(central, 0x02014b50);
    Put16(central, 20);
    common(central);
    Put16(central, 0);
    Put16(central, 0);
    Put16(central, 0);
    Put32(central, 0);
    Put32(central, offset);
    central += part.name;
  }
  const auto at = static_cast<std::uint32_t>(file.size());
  file += central;
  Put32(file, 0x06054b50);
  Put32(file, 0);
  Put16(file, static_cast<unsigned>(parts.size()));
  Put16(file, static_cast<unsigned>(parts.size()));
  Put32(file, static_cast<std::uint32_t>(central.size()));
  Put32(file, at);
  Put16(file, 0);
  return file;
}

std::string Core(const std::string& title) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<cp:coreProperties>"
         "<dc:title>" +
         title + "</dc:title><dc:creator>Someone</dc:creator></cp:coreProperties>";
}

// Argument 0: the member first or last; argument 1: fits or grows.
void ReplaceCoreInA100MbPackage(benchmark::State& state) {
  static tavrin::fixture::ScratchDir dir;
  const bool last = state.range(0) != 0;
  const bool grows = state.range(1) != 0;
  std::string big(100u << 20, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 2654435761u) >> 24);
  const Part core{"docProps/core.xml", Core("a title of some length"), true};
  const Part media{"word/media/image.bin", std::move(big), false};
  const std::string original =
      dir.Put("package.docx", last ? Package({media, core}) : Package({core, media}));
  const std::string path = (dir.path() / "work.docx").string();
  std::string noise;
  for (int i = 0; i < 3000; ++i) noise += static_cast<char>('!' + (i * 7919) % 89);
  bench::CountingCalls calls;
  bool flip = false;
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::copy_file(original, path, std::filesystem::copy_options::overwrite_existing);
    flip = !flip;
    const std::string content = grows ? Core(noise) : Core(flip ? "a short one" : "another one");
    std::unique_ptr<storage::File> file;
    std::unique_ptr<storage::zip::Archive> archive;
    state.ResumeTiming();
    storage::ScopedSystemCalls counting(calls);
    if (!storage::File::Open(path, file).ok() || !storage::RecoverDocument(*file).ok() ||
        !storage::zip::Archive::Open(*file, archive).ok() ||
        !archive->Write(*file, {{"docProps/core.xml", content}}).ok()) {
      state.SkipWithError("the change failed");
      break;
    }
  }
  calls.Report(state);
  state.SetLabel(std::string(last ? "member last" : "member first") +
                 (grows ? ", grows" : ", fits"));
}

BENCHMARK(ReplaceCoreInA100MbPackage)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavrin

BENCHMARK_MAIN();
