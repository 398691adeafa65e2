// Runs a fuzz entry point without libFuzzer, so every build (the project's own compiler, the
// sanitizer presets) gets a short fuzz pass: first every given file as it is (the seed corpus,
// crash reproducers), then pseudo-random mutations of them. The mutations come from a fixed seed,
// so a failure repeats; the input that broke is written to <driver>-crash.bin in the working
// folder, the driver's name being the program's without "_replay" (http_reader_fuzz_replay saves
// http_reader_fuzz-crash.bin). Every driver links this same file.
//
// Usage: <driver>_replay [--seconds S] [--mutations N] [--seed N] [--dict FILE] PATH...
// PATH is a file or a folder (its files, not recursively).
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VIDORIA_REPLAY_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define VIDORIA_REPLAY_ASAN 1
#endif
#ifdef VIDORIA_REPLAY_ASAN
#include <sanitizer/common_interface_defs.h>
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

// Set once in main, before any input runs; the crash handlers only read them.
char crashFile[256] = "fuzz-crash.bin";
char programName[256] = "fuzz_replay";
// Mutations stay small: the point of this pass is many states quickly, not big inputs.
constexpr size_t kMaxMutant = 65536;

// The input being run, for the crash handlers; only read there, after the input is set.
const char* volatile currentData = nullptr;
volatile size_t currentSize = 0;

// Called on abort and by the sanitizers before they exit, so only async-signal-safe calls.
void SaveCurrentInput() {
  const char* data = currentData;
  const size_t size = currentSize;
  if (data == nullptr) return;
  const int fd = ::open(crashFile, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return;
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  constexpr char kNote[] = ": failing input saved to ";
  [[maybe_unused]] ssize_t ignored = ::write(2, programName, std::strlen(programName));
  ignored = ::write(2, kNote, sizeof kNote - 1);
  ignored = ::write(2, crashFile, std::strlen(crashFile));
  ignored = ::write(2, "\n", 1);
}

void OnAbort(int) {
  SaveCurrentInput();
  std::signal(SIGABRT, SIG_DFL);
  std::raise(SIGABRT);
}

void RunOne(const std::string& input) {
  currentData = input.data();
  currentSize = input.size();
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  currentData = nullptr;
}

bool ReadFile(const std::filesystem::path& path, std::string& out) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::ostringstream text;
  text << file.rdbuf();
  out = text.str();
  return true;
}

// Tokens from a libFuzzer dictionary: one quoted string per line, optionally after "name=",
// with \\, \" and \xNN escapes.
std::vector<std::string> ReadDictionary(const std::string& path) {
  std::vector<std::string> tokens;
  std::ifstream file(path);
  std::string line;
  while (std::getline(file, line)) {
    const size_t open = line.find('"');
    const size_t close = line.rfind('"');
    if (line.empty() || line[0] == '#' || open == std::string::npos || close <= open) continue;
    std::string token;
    for (size_t i = open + 1; i < close; ++i) {
      if (line[i] != '\\' || i + 1 >= close) {
        token += line[i];
      } else if (line[i + 1] == 'x' && i + 3 < close) {
        token += static_cast<char>(std::stoi(line.substr(i + 2, 2), nullptr, 16));
        i += 3;
      } else {
        token += line[++i];
      }
    }
    if (!token.empty()) tokens.push_back(token);
  }
  return tokens;
}

class Mutator {
 public:
  Mutator(uint64_t seed, const std::vector<std::string>& seeds,
          const std::vector<std::string>& tokens)
      : random_(seed), seeds_(seeds), tokens_(tokens) {}

  std::string Next() {
    std::string data = seeds_[Below(seeds_.size())];
    const size_t steps = 1 + Below(4);
    for (size_t i = 0; i < steps; ++i) Mutate(data);
    if (data.size() > kMaxMutant) data.resize(kMaxMutant);
    return data;
  }

 private:
  size_t Below(size_t n) { return n == 0 ? 0 : static_cast<size_t>(random_() % n); }
  char AnyByte() { return static_cast<char>(random_() & 0xff); }

  // Bytes the text parsers decide on more often than the others.
  char Telling() {
    static constexpr char kBytes[] = {'\r', '\n', ' ', ':', ';', '=', '&',  '?', '%',
                                      '/',  '0',  '9', 'a', 'F', '"', '\t', '\0'};
    return kBytes[Below(sizeof kBytes)];
  }

  void Mutate(std::string& data) {
    const size_t at = Below(data.size() + 1);
    switch (Below(11)) {
      case 0:
        if (!data.empty()) data[Below(data.size())] ^= static_cast<char>(1u << Below(8));
        break;
      case 1:
        if (!data.empty()) data[Below(data.size())] = random_() % 2 ? Telling() : AnyByte();
        break;
      case 2:
        data.insert(at, 1, random_() % 2 ? Telling() : AnyByte());
        break;
      case 3:
        if (!tokens_.empty()) data.insert(at, tokens_[Below(tokens_.size())]);
        break;
      case 4:
        data.erase(at, 1 + Below(16));
        break;
      case 5: {  // repeat a piece, e.g. a whole request for pipelining
        const size_t from = Below(data.size() + 1);
        const std::string piece = data.substr(from, 1 + Below(64));
        data.insert(at, piece);
        break;
      }
      case 6: {  // splice with another seed
        const std::string& other = seeds_[Below(seeds_.size())];
        data = data.substr(0, at) + other.substr(Below(other.size() + 1));
        break;
      }
      case 7:  // a long run, to reach the limits
        data.insert(at, 1 + Below(600), random_() % 2 ? Telling() : 'x');
        break;
      case 8: {  // a number where lengths, counts and chunk sizes go
        const uint64_t value = random_() >> (Below(64));
        char text[32];
        std::snprintf(text, sizeof text, random_() % 2 ? "%llu" : "%llx",
                      static_cast<unsigned long long>(value));
        data.insert(at, text);
        break;
      }
      case 9:  // the leading option bytes some drivers read
        for (size_t i = 0; i < 4 && i < data.size(); ++i) {
          if (random_() % 2) data[i] = AnyByte();
        }
        break;
      default: {  // a big-endian 32-bit size where binary formats keep theirs
        static constexpr uint32_t kSizes[] = {0, 1, 7, 8, 16, 0x7fffffff, 0xffffffff};
        const uint32_t value = random_() % 2 ? kSizes[Below(std::size(kSizes))]
                                             : static_cast<uint32_t>(Below(data.size() + 64));
        const char bytes[4] = {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
                               static_cast<char>(value >> 8), static_cast<char>(value)};
        if (at + 4 <= data.size() && random_() % 2) {
          data.replace(at, 4, bytes, 4);
        } else {
          data.insert(at, bytes, 4);
        }
        break;
      }
    }
  }

  std::mt19937_64 random_;
  const std::vector<std::string>& seeds_;
  const std::vector<std::string>& tokens_;
};

int Usage() {
  std::fprintf(stderr, "usage: %s [--seconds S] [--mutations N] [--seed N] [--dict FILE] PATH...\n",
               programName);
  return 2;
}

// programName from argv[0]; crashFile from it without "_replay".
void SetNames(const char* argv0) {
  std::string name = std::filesystem::path(argv0).filename().string();
  if (name.empty() || name.size() + 16 > sizeof programName) name = "fuzz_replay";
  std::snprintf(programName, sizeof programName, "%s", name.c_str());
  constexpr std::string_view kSuffix = "_replay";
  if (name.ends_with(kSuffix)) name.resize(name.size() - kSuffix.size());
  std::snprintf(crashFile, sizeof crashFile, "%s-crash.bin", name.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  SetNames(argc > 0 ? argv[0] : "");
  double seconds = 5;
  unsigned long mutations = 20000;
  uint64_t seed = 20240611;
  std::string dictionary;
  std::vector<std::filesystem::path> files;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--seconds" && hasValue) {
      seconds = std::strtod(argv[++i], nullptr);
    } else if (arg == "--mutations" && hasValue) {
      mutations = std::strtoul(argv[++i], nullptr, 10);
    } else if (arg == "--seed" && hasValue) {
      seed = std::strtoull(argv[++i], nullptr, 10);
    } else if (arg == "--dict" && hasValue) {
      dictionary = argv[++i];
    } else if (arg.starts_with("--")) {
      return Usage();
    } else if (std::filesystem::is_directory(argv[i])) {
      std::vector<std::filesystem::path> inFolder;
      for (const auto& entry : std::filesystem::directory_iterator(argv[i])) {
        if (entry.is_regular_file()) inFolder.push_back(entry.path());
      }
      std::sort(inFolder.begin(), inFolder.end());  // the same order, so the same mutations
      files.insert(files.end(), inFolder.begin(), inFolder.end());
    } else {
      files.emplace_back(argv[i]);
    }
  }
  if (files.empty()) return Usage();

  std::signal(SIGABRT, OnAbort);
#ifdef VIDORIA_REPLAY_ASAN
  __sanitizer_set_death_callback(SaveCurrentInput);
#endif

  const auto start = std::chrono::steady_clock::now();
  std::vector<std::string> seeds;
  for (const auto& path : files) {
    std::string data;
    if (!ReadFile(path, data)) {
      std::fprintf(stderr, "%s: cannot read %s\n", programName, path.c_str());
      return 2;
    }
    RunOne(data);
    seeds.push_back(std::move(data));
  }
  const std::vector<std::string> tokens =
      dictionary.empty() ? std::vector<std::string>() : ReadDictionary(dictionary);

  Mutator mutator(seed, seeds, tokens);
  unsigned long done = 0;
  const auto deadline = start + std::chrono::duration<double>(seconds);
  for (; done < mutations; ++done) {
    if (done % 64 == 0 && std::chrono::steady_clock::now() > deadline) break;
    RunOne(mutator.Next());
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::printf("%s: %zu files, %lu of %lu mutations (seed %llu), %.2f s%s\n", programName,
              seeds.size(), done, mutations, static_cast<unsigned long long>(seed), took.count(),
              done < mutations ? ", stopped at the time limit" : "");
  return 0;
}
