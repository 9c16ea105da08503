// Throughput of the age format's payload, in memory: encryption and
// decryption of 64 MiB, binary and armored. The scrypt step is left out of
// the timing (it costs the same for any size).
//   build/bench/grize_bench --benchmark_filter=Age
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "core/format/age/AgeDecoder.h"
#include "core/format/age/AgeEncoder.h"

namespace {

constexpr std::string_view kPassphrase = "bench";
constexpr int kLogN = 10;

std::string ageData(std::size_t size) {
    std::string s(size, '\0');
    std::uint32_t x = 12345;
    for (char& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

grize::age::ReadFn readFrom(const std::string& source, std::size_t& pos) {
    return [&source, &pos](char* buffer, std::size_t size) {
        const std::size_t n = std::min(size, source.size() - pos);
        std::memcpy(buffer, source.data() + pos, n);
        pos += n;
        return n;
    };
}

void discard(std::string_view data) {
    benchmark::DoNotOptimize(data.data());
}

void AgeEncrypt(benchmark::State& state, bool armor) {
    const std::string plain = ageData(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        grize::age::Encoder encoder(kPassphrase, kLogN, armor);
        std::size_t pos = 0;
        state.ResumeTiming();
        encoder.run(readFrom(plain, pos), discard);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void AgeDecrypt(benchmark::State& state, bool armor) {
    const std::string plain = ageData(static_cast<std::size_t>(state.range(0)));
    std::string file;
    std::size_t pos = 0;
    grize::age::Encoder(kPassphrase, kLogN, armor)
        .run(readFrom(plain, pos), [&file](std::string_view s) { file.append(s); });
    for (auto _ : state) {
        state.PauseTiming();
        pos = 0;
        grize::age::Decoder decoder(readFrom(file, pos));
        const auto key = decoder.unwrap(kPassphrase);
        state.ResumeTiming();
        decoder.decrypt(*key, discard);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

constexpr std::int64_t k64MiB = 64 << 20;

}  // namespace

BENCHMARK_CAPTURE(AgeEncrypt, binary, false)->Arg(k64MiB)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(AgeEncrypt, armored, true)->Arg(k64MiB)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(AgeDecrypt, binary, false)->Arg(k64MiB)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(AgeDecrypt, armored, true)->Arg(k64MiB)->Unit(benchmark::kMillisecond);
