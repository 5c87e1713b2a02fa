// main() of the fuzz targets built as plain programs: corpus files, then deterministic mutations.
#include "common/FuzzDriver.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>
#include <unistd.h>

namespace {

// xorshift64*: the same mutations on every run.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed ? seed : 1) {}
    std::uint64_t Next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 2685821657736338717ull;
    }
    std::size_t Below(std::size_t n) { return n ? static_cast<std::size_t>(Next() % n) : 0; }

private:
    std::uint64_t state_;
};

std::string Mutate(const std::string& input, const std::vector<std::string>& tokens,
                   Random& random) {
    std::string text = input;
    const int steps = 1 + static_cast<int>(random.Below(6));
    for (int s = 0; s < steps; ++s) {
        const std::size_t at = random.Below(text.size() + 1);
        switch (random.Below(6)) {
        case 0: // flip a bit
            if (!text.empty()) {
                text[random.Below(text.size())] ^= static_cast<char>(1u << random.Below(8));
            }
            break;
        case 1: // insert a token
            if (!tokens.empty()) {
                text.insert(at, tokens[random.Below(tokens.size())]);
            }
            break;
        case 2: // delete a run
            text.erase(at, random.Below(40));
            break;
        case 3: // repeat a run elsewhere
            if (!text.empty()) {
                const std::size_t from = random.Below(text.size());
                const std::string piece = text.substr(from, random.Below(200));
                text.insert(random.Below(text.size() + 1), piece);
            }
            break;
        case 4: // cut the end
            text.resize(at);
            break;
        default: // a random byte
            text.insert(at, 1, static_cast<char>(random.Below(256)));
            break;
        }
    }
    return text;
}

void Collect(const char* program, const std::filesystem::path& path,
             std::vector<std::string>& inputs) {
    if (std::filesystem::is_directory(path)) {
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
            if (entry.is_regular_file()) {
                files.push_back(entry.path());
            }
        }
        std::sort(files.begin(), files.end()); // the same order on every run
        for (const auto& file : files) {
            Collect(program, file, inputs);
        }
        return;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot read %s\n", program, path.string().c_str());
        std::exit(2);
    }
    inputs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The input running now, written out when it ends the program, to be kept in the corpus.
const std::string* currentInput = nullptr;
std::string crashFile;
std::string crashNote;

void SaveCurrentInput(int signal) {
    if (currentInput) {
        const int fd = ::open(crashFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            [[maybe_unused]] const auto written =
                ::write(fd, currentInput->data(), currentInput->size());
            ::close(fd);
        }
        [[maybe_unused]] const auto shown = ::write(2, crashNote.data(), crashNote.size());
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void Run(const std::string& input) {
    currentInput = &input;
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
}

} // namespace

int main(int argc, char** argv) {
    const std::string name = std::filesystem::path(argv[0]).filename().string();
    std::size_t mutations = 0;
    std::uint64_t seed = 20261207;
    std::vector<std::string> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--mutations" && i + 1 < argc) {
            mutations = std::strtoul(argv[++i], nullptr, 10);
        } else if (arg == "--seed" && i + 1 < argc) {
            seed = std::strtoull(argv[++i], nullptr, 10);
        } else {
            Collect(name.c_str(), argv[i], inputs);
        }
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "usage: %s [--mutations N] [--seed S] FOLDER_OR_FILE...\n",
                     name.c_str());
        return 2;
    }
    crashFile = (std::filesystem::current_path() / (name + "-crash")).string();
    crashNote = "fuzz: the input that ended the program is saved as " + crashFile + "\n";
    for (const int signal : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) {
        std::signal(signal, SaveCurrentInput);
    }
    const std::vector<std::string> tokens = tonedesk::test::FuzzTokens();
    Random random(seed);
    std::size_t ran = 0;
    for (const std::string& input : inputs) {
        Run(input);
        ++ran;
        std::string text = input;
        for (std::size_t m = 0; m < mutations; ++m) {
            // Mostly mutate the original; now and then keep mutating the last mutant.
            text = Mutate(random.Below(4) == 0 ? text : input, tokens, random);
            Run(text);
            ++ran;
        }
    }
    std::printf("%s: %zu inputs from %zu files, no fault\n", name.c_str(), ran, inputs.size());
    return 0;
}
