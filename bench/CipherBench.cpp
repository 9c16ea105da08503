// Throughput of encryption and decryption: the reference Cipher steps, the
// streaming transform the program uses (per kernel set, in memory), and the
// file operations from file to file.
//   build/bench/grize_bench --benchmark_counters_tabular=true
// Files go to $TMPDIR (or /tmp); the 256 MiB cases need about 1 GiB there.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "GriBytes.h"
#include "core/cipher/Cipher.h"
#include "core/cipher/Kernels.h"
#include "core/files/FileOperations.h"
#include "core/format/GriDecoder.h"
#include "core/format/GriEncoder.h"

namespace {

constexpr const char* kHeader = "[Grized]`zGwrS>vPlOIlsmj";

std::string data(std::size_t size) {
    std::string s(size, '\0');
    std::uint32_t x = 12345;
    for (char& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

void EncryptInMemory(benchmark::State& state) {
    const std::string plain = data(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        grize::Cipher c;
        c.setKey(kHeader);
        c.setText(plain);
        c.xorKeystream();
        c.stretch();
        benchmark::DoNotOptimize(c.text().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

grize::gri::ReadFn readFrom(const std::string& source, std::size_t& pos) {
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

// The chunked transform of the file operations, with the file calls left out.
void Transform(benchmark::State& state, const grize::kernels::Table& k, bool encrypt) {
    const std::string plain = data(static_cast<std::size_t>(state.range(0)));
    const grize::gri::Header header = grize::gri::Header::parse(kHeader);
    const std::string file = grize::gri::encryptBytes(plain, "pw", "bench");
    for (auto _ : state) {
        std::size_t pos = 0;
        if (encrypt) {
            grize::gri::Encoder(header, k).run(readFrom(plain, pos), discard);
        } else {
            grize::gri::Decoder(readFrom(file, pos), k).decryptBody(discard);
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void DecryptInMemory(benchmark::State& state) {
    grize::Cipher enc;
    enc.setKey(kHeader);
    enc.setText(data(static_cast<std::size_t>(state.range(0))));
    enc.xorKeystream();
    enc.stretch();
    const std::string armoured = enc.text();
    for (auto _ : state) {
        grize::Cipher c;
        c.setKey(kHeader);
        c.setText(armoured);
        c.shrink();
        c.xorKeystream();
        benchmark::DoNotOptimize(c.text().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

class Scratch {
  public:
    Scratch() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "grize-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::fprintf(stderr, "grize_bench: cannot make %s: %s\n", pattern.c_str(),
                         std::strerror(errno));
            std::exit(1);
        }
        dir_ = pattern;
    }
    ~Scratch() { std::filesystem::remove_all(dir_); }
    std::string file(const char* name) const { return (dir_ / name).string(); }

  private:
    std::filesystem::path dir_;
};

// Encrypts plain.txt to plain.gri in the timed part and turns it back while
// the clock is paused, so every round starts from the same file.
void FileToFile(benchmark::State& state, bool timeEncrypt) {
    Scratch scratch;
    const std::string plain = scratch.file("plain.txt");
    const std::string encrypted = scratch.file("plain.gri");
    std::ofstream out(plain, std::ios::binary);
    out << data(static_cast<std::size_t>(state.range(0)));
    out.close();
    if (!out) {
        std::fprintf(stderr, "grize_bench: cannot write %s\n", plain.c_str());
        std::exit(1);
    }
    if (!timeEncrypt) {
        grize::encryptFile(plain, "pw", "bench", encrypted, {}, grize::defaultFileSystem());
    }
    for (auto _ : state) {
        if (timeEncrypt) {
            grize::encryptFile(plain, "pw", "bench", encrypted, {}, grize::defaultFileSystem());
            state.PauseTiming();
            grize::decryptFile(encrypted, {"pw"}, plain, {}, grize::defaultFileSystem());
            state.ResumeTiming();
        } else {
            grize::decryptFile(encrypted, {"pw"}, plain, {}, grize::defaultFileSystem());
            state.PauseTiming();
            grize::encryptFile(plain, "pw", "bench", encrypted, {}, grize::defaultFileSystem());
            state.ResumeTiming();
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void EncryptFileToFile(benchmark::State& state) {
    FileToFile(state, true);
}
void DecryptFileToFile(benchmark::State& state) {
    FileToFile(state, false);
}

constexpr std::int64_t kMiB = 1 << 20;

}  // namespace

BENCHMARK(EncryptInMemory)->Arg(kMiB)->Arg(256 * kMiB)->Unit(benchmark::kMillisecond);
BENCHMARK(DecryptInMemory)->Arg(kMiB)->Arg(256 * kMiB)->Unit(benchmark::kMillisecond);
BENCHMARK(EncryptFileToFile)->Arg(kMiB)->Arg(256 * kMiB)->Unit(benchmark::kMillisecond);
BENCHMARK(DecryptFileToFile)->Arg(kMiB)->Arg(256 * kMiB)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    for (const grize::kernels::Table* table : grize::kernels::available()) {
        for (const bool encrypt : {true, false}) {
            benchmark::RegisterBenchmark(
                ((encrypt ? "TransformEncrypt/" : "TransformDecrypt/") + std::string(table->name))
                    .c_str(),
                [table, encrypt](benchmark::State& state) { Transform(state, *table, encrypt); })
                ->Arg(64 * kMiB)
                ->Unit(benchmark::kMillisecond);
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
