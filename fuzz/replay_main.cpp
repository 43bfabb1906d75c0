// SPDX-License-Identifier: MIT
// Runs a fuzz target over saved inputs without libFuzzer, so that the seed
// corpus and every input that once broke something are checked by the
// ordinary test builds too. Arguments are files or folders of files.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

bool replay(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        fs::path path = argv[i];
        if (fs::is_regular_file(path, error)) {
            count += replay(path) ? 1 : 0;
            continue;
        }
        if (!fs::is_directory(path, error)) {
            std::fprintf(stderr, "no such file or folder: %s\n", argv[i]);
            return 1;
        }
        for (const auto& entry : fs::directory_iterator(path, error))
            if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
                count += replay(entry.path()) ? 1 : 0;
    }
    std::printf("replayed %d inputs\n", count);
    return count > 0 ? 0 : 1;
}
