// Writes the benchmarks' product tree: 20,000 files in nested folders,
// 200 MB in all, a third of the bytes incompressible. The same seed always
// gives the same tree, byte for byte, so figures of different runs compare.
//
//   bench_gendata <folder>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr int FileCount = 20000;
constexpr std::uint64_t TotalBytes = 200ull * 1024 * 1024;

// splitmix64: small, fast and the same everywhere.
struct TRandom {
    std::uint64_t State;
    std::uint64_t Next() {
        std::uint64_t Z = (State += 0x9E3779B97F4A7C15ull);
        Z = (Z ^ (Z >> 30)) * 0xBF58476D1CE4E5B9ull;
        Z = (Z ^ (Z >> 27)) * 0x94D049BB133111EBull;
        return Z ^ (Z >> 31);
    }
    double Unit() { return double(Next() >> 11) / double(1ull << 53); }
};

const char* const Words[] = {
    "control", "window",  "setup",  "folder",  "archive", "install", "version", "registry",
    "program", "demo",    "help",   "link",    "value",   "string",  "return",  "begin",
    "end",     "if",      "then",   "else",    "for",     "while",   "object",  "event",
    "handle",  "message", "click",  "button",  "caption", "width",   "height",  "color",
    "font",    "name",    "public", "private", "const",   "void",    "int",     "char",
    "the",     "a",       "of",     "and",     "to",      "in",      "is",      "with"};

// Text that compresses roughly like source code and help files do.
void FillText(TRandom& Random, std::string& Out, std::size_t Size) {
    Out.clear();
    std::size_t Column = 0;
    while (Out.size() < Size) {
        const char* Word = Words[Random.Next() % (sizeof Words / sizeof *Words)];
        Out += Word;
        Column += std::strlen(Word) + 1;
        if (Column > 60 + Random.Next() % 20) {
            Out += "\r\n";
            Column = 0;
        } else {
            Out += ' ';
        }
    }
    Out.resize(Size);
}

void FillNoise(TRandom& Random, std::string& Out, std::size_t Size) {
    Out.resize(Size);
    for (std::size_t I = 0; I < Size; I += 8) {
        const std::uint64_t V = Random.Next();
        std::memcpy(&Out[I], &V, Size - I < 8 ? Size - I : 8);
    }
}

bool MakeFolders(const std::string& Path) {
    for (std::size_t Slash = Path.find('/', 1); Slash != std::string::npos;
         Slash = Path.find('/', Slash + 1))
        mkdir(Path.substr(0, Slash).c_str(), 0755);
    return mkdir(Path.c_str(), 0755) == 0 || errno == EEXIST;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_gendata <folder>\n");
        return 2;
    }
    const std::string Root = argv[1];
    TRandom Random{20261207};

    // Log-uniform sizes from 1 to 1000 units: many small files, a few big.
    std::vector<double> Weights(FileCount);
    double Sum = 0;
    for (double& W : Weights)
        Sum += (W = std::exp(Random.Unit() * std::log(1000.0)));
    std::vector<std::uint64_t> Sizes(FileCount);
    std::uint64_t Given = 0;
    for (int I = 0; I < FileCount; ++I)
        Given += (Sizes[I] = std::uint64_t(Weights[I] / Sum * TotalBytes));
    Sizes[FileCount - 1] += TotalBytes - Given;

    std::string Data;
    std::uint64_t Noise = 0;
    for (int I = 0; I < FileCount; ++I) {
        // Folders two to four levels deep, ten files to a folder.
        const int Leaf = I / 10;
        std::string Folder =
            Root + "/pkg" + std::to_string(Leaf % 10) + "/mod" + std::to_string(Leaf / 10 % 20);
        if (Leaf % 3 != 0) Folder += "/part" + std::to_string(Leaf / 200);
        if (Leaf % 7 == 1) Folder += "/deep" + std::to_string(Leaf % 5);
        if (!MakeFolders(Folder)) {
            std::perror(Folder.c_str());
            return 1;
        }
        const bool Incompressible = I % 3 == 0;
        if (Incompressible) {
            FillNoise(Random, Data, Sizes[I]);
            Noise += Sizes[I];
        } else {
            FillText(Random, Data, Sizes[I]);
        }
        const std::string Path =
            Folder + "/file" + std::to_string(I) + (Incompressible ? ".bin" : ".txt");
        std::FILE* File = std::fopen(Path.c_str(), "wb");
        if (!File || std::fwrite(Data.data(), 1, Data.size(), File) != Data.size() ||
            std::fclose(File) != 0) {
            std::perror(Path.c_str());
            return 1;
        }
    }
    std::printf("%d files, %llu bytes, %llu incompressible\n", FileCount,
                (unsigned long long)TotalBytes, (unsigned long long)Noise);
    return 0;
}
