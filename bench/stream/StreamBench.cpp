// Decoding a generated 100 MiB HEX file, side by side with a plain read loop over
// the same file: the second is the floor the decoder is measured against.
#include "upload/UploadStream.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <algorithm>
#include <map>
#include <memory>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t FileSize = 100 * 1024 * 1024;

std::string gHexFile;

void AppendHex(std::string& line, unsigned byte)
{
    static const char digits[] = "0123456789ABCDEF";
    line += digits[byte >> 4 & 15];
    line += digits[byte & 15];
}

// Data records of 16 bytes with CR LF, as a real program file has them.
void GenerateHexFile(const std::string& path)
{
    std::unique_ptr<FILE, int (*)(FILE*)> out(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!out)
        throw std::runtime_error("cannot create " + path);
    std::uint32_t seed = 12345;
    std::string line;
    for (std::size_t written = 0, address = 0; written < FileSize; address += 16) {
        line = ":10";
        unsigned sum = 0x10;
        for (const unsigned byte : {unsigned(address >> 8 & 0xFF), unsigned(address & 0xFF), 0u}) {
            AppendHex(line, byte);
            sum += byte;
        }
        for (int i = 0; i < 16; ++i) {
            seed = seed * 1664525u + 1013904223u;
            AppendHex(line, seed >> 24);
            sum += seed >> 24;
        }
        AppendHex(line, 0x100 - (sum & 0xFF));
        line += "\r\n";
        std::fwrite(line.data(), 1, line.size(), out.get());
        written += line.size();
    }
}

void ReadFloor(benchmark::State& state)
{
    auto buffer = std::make_unique<char[]>(HexFileReader::DefaultBufferSize);
    for (auto _ : state) {
        const int fd = ::open(gHexFile.c_str(), O_RDONLY | O_CLOEXEC);
        std::size_t total = 0;
        for (ssize_t n; (n = ::read(fd, buffer.get(), HexFileReader::DefaultBufferSize)) > 0;)
            total += std::size_t(n);
        ::close(fd);
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * FileSize));
}

void DecodeStream(benchmark::State& state)
{
    const TBankNames names{"Program 1", "Zażółć"};
    for (auto _ : state) {
        std::uint32_t sum = 0;
        ForEachStreamByte(gHexFile, names, [&sum](std::uint8_t b) { sum += b; });
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * FileSize));
}

// The upload's way: the whole stream gathered before it is sent.
void ReadWholeStream(benchmark::State& state)
{
    const TBankNames names{"Program 1", "Zażółć"};
    for (auto _ : state) {
        const auto stream = ReadUploadStream(gHexFile, names, SIZE_MAX);
        benchmark::DoNotOptimize(stream->words.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * FileSize));
}

// The reader alone, to tell line splitting from decoding.
void ReadLines(benchmark::State& state)
{
    for (auto _ : state) {
        HexFileReader reader(gHexFile);
        std::size_t n = 0;
        while (!reader.Eof())
            n += reader.ReadLine().size();
        benchmark::DoNotOptimize(n);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * FileSize));
}
BENCHMARK(ReadLines)->Name("read_lines")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ReadFloor)->Name("read_loop_floor")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(DecodeStream)->Name("decode_upload_stream")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ReadWholeStream)->Name("read_whole_upload_stream")->Unit(benchmark::kMillisecond)->UseRealTime();

// Keeps each benchmark's best times per iteration over its repetitions for the
// ratio printed at the end: the best run is the one least disturbed by other load.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    struct Best {
        double real = 0;
        double cpu = 0;
    };

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const auto& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            auto [it, added] = best.emplace(run.benchmark_name(), Best{run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()});
            it->second.real = std::min(it->second.real, run.GetAdjustedRealTime());
            it->second.cpu = std::min(it->second.cpu, run.GetAdjustedCPUTime());
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, Best> best;
};

} // namespace

int main(int argc, char** argv)
{
    // Repeated and interleaved by default, so that both sides see the same load;
    // flags given on the command line come later and win.
    std::vector<char*> args{argv[0], const_cast<char*>("--benchmark_repetitions=7"),
                            const_cast<char*>("--benchmark_enable_random_interleaving=true")};
    args.insert(args.end(), argv + 1, argv + argc);
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    std::string dir = (std::filesystem::temp_directory_path() / "vorn-bench-XXXXXX").string();
    if (!::mkdtemp(dir.data()))
        return 1;
    gHexFile = dir + "/program.hex";
    GenerateHexFile(gHexFile);

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::filesystem::remove_all(dir);

    const auto floor = reporter.best.find("read_loop_floor/real_time");
    const auto decode = reporter.best.find("decode_upload_stream/real_time");
    if (floor != reporter.best.end() && decode != reporter.best.end())
        std::printf("decoding runs at %.2f of the read loop's speed by the clock, %.2f by CPU time "
                    "(target at least 0.50)\n",
                    floor->second.real / decode->second.real, floor->second.cpu / decode->second.cpu);
    benchmark::Shutdown();
    return 0;
}
