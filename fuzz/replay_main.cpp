// Runs a fuzz target over kept inputs without the fuzzing engine: every file of every folder (or file)
// named on the command line goes through LLVMFuzzerTestOneInput once. A folder that does not exist is
// skipped, so a target may have no kept crashes. The sanitizers report any fault.
//
// `--write-seeds <folder>` writes the target's seeds (FuzzSeeds, made by the project's own writers)
// into the folder as seed-1, seed-2, ... instead.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
// A target may make its seeds here; the others keep seeds that their tests write and check
// (PLEXA_WRITE_SEEDS), and have none to give.
__attribute__((weak)) std::vector<std::string> FuzzSeeds() { return {}; }

static bool Replay(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return false;
    }
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return true;
}

static int WriteSeeds(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::vector<std::string> seeds = FuzzSeeds();
    int number = 0;
    for (const std::string& seed : seeds) {
        const std::filesystem::path file = folder / ("seed-" + std::to_string(++number));
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(seed.data(), std::streamsize(seed.size()));
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", file.c_str());
            return 1;
        }
    }
    if (number == 0) std::fprintf(stderr, "this target's seeds are written by its tests\n");
    else std::printf("wrote %d seeds\n", number);
    return number > 0 ? 0 : 1;
}

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    if (argc == 3 && std::string(argv[1]) == "--write-seeds") return WriteSeeds(argv[2]);
    int count = 0;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        fs::path path(argv[i]);
        std::error_code ec;
        if (fs::is_regular_file(path, ec)) {
            ok = Replay(path) && ok;
            ++count;
        } else if (fs::is_directory(path, ec)) {
            std::vector<fs::path> files;
            for (const auto& entry : fs::recursive_directory_iterator(path))
                if (entry.is_regular_file()) files.push_back(entry.path());
            std::sort(files.begin(), files.end());
            for (const auto& file : files) {
                ok = Replay(file) && ok;
                ++count;
            }
        }
    }
    std::printf("replayed %d inputs\n", count);
    return ok ? 0 : 1;
}
