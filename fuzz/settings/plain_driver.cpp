// Runs the fuzz target without libFuzzer: over the files and folders named on the command line,
// then over a fixed batch of inputs made from pieces of settings-file syntax and random bytes.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void Run(const std::string& input) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
}

void RunFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    Run(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path(argv[i]);
        if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::directory_iterator(path)) {
                RunFile(entry.path());
                ++runs;
            }
        } else {
            RunFile(path);
            ++runs;
        }
    }

    // clang-format off
    static constexpr std::string_view kPieces[] = {
        "[", "]", "=", "\n", "\r\n", "\r", " ", "\t", ";", "\"", "'", {"\0", 1}, "\xEF\xBB\xBF",
        "Options", "options", "Data", "Baudrate", "Id1", "Msg1", "-1", "123", "abc",
        "[Options]\n", "[Data]\r\n", "[]\n", "=\n", "Baudrate=20000\n"};
    // clang-format on
    std::mt19937 random(20240601);
    for (int i = 0; i < 3000; ++i) {
        std::string input(1, static_cast<char>(random()));
        const int parts = static_cast<int>(random() % 40);
        for (int p = 0; p < parts; ++p) {
            if (random() % 8 == 0) {
                input.push_back(static_cast<char>(random()));
            } else {
                input += kPieces[random() % std::size(kPieces)];
            }
        }
        Run(input);
        ++runs;
    }
    std::printf("%d inputs, no broken promise\n", runs);
    return 0;
}
