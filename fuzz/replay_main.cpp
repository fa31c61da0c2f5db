// Runs a fuzz target over the files named on the command line, so that the
// targets build and replay crash inputs without libFuzzer (g++ builds). A
// folder stands for the files in it (a corpus), in name order; a folder
// without any file is an error, so that a replay of nothing never passes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

// The inputs an argument stands for; false when it names nothing to replay.
bool Inputs(const char* arg, std::vector<std::string>& out)
{
    std::error_code ec;
    if (!fs::is_directory(arg, ec)) {
        out.push_back(arg);
        return true;
    }
    std::vector<std::string> files;
    for (fs::directory_iterator it(arg, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec))
            files.push_back(it->path().string());
    }
    if (ec) {
        std::fprintf(stderr, "cannot list %s: %s\n", arg, ec.message().c_str());
        return false;
    }
    if (files.empty()) {
        std::fprintf(stderr, "no input in %s\n", arg);
        return false;
    }
    std::sort(files.begin(), files.end());
    out.insert(out.end(), files.begin(), files.end());
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> inputs;
    for (int i = 1; i < argc; ++i) {
        if (!Inputs(argv[i], inputs))
            return 2;
    }
    for (const std::string& path : inputs) {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", path.c_str());
            return 2;
        }
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // Named first, so that a crash shows its input.
        std::fprintf(stderr, "%s\n", path.c_str());
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("replayed %zu input(s)\n", inputs.size());
    return 0;
}
