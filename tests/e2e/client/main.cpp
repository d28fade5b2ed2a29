// brovink_client: drives and checks the real Brovink.exe from a script of steps.
//   brovink_client - < script      steps one per line from standard input
//   brovink_client "step" ...      each argument one step
// Lines are UTF-8; '#' starts a comment line. Prints each step as it passes; the first failing
// step ends the client with exit code 1 and a message naming the line.
#include <cstdio>
#include <fcntl.h>
#include <io.h>

#include "client.h"

namespace {

std::vector<std::string> ReadLines(int argc, char **argv) {
  std::vector<std::string> lines;
  if (argc == 2 && std::string(argv[1]) == "-") {
    _setmode(_fileno(stdin), _O_BINARY);
    std::string all;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, stdin)) > 0) all.append(chunk, got);
    size_t start = 0;
    while (start < all.size()) {
      size_t end = all.find('\n', start);
      if (end == std::string::npos) end = all.size();
      lines.push_back(all.substr(start, end - start));
      start = end + 1;
    }
  } else {
    for (int i = 1; i < argc; ++i) lines.push_back(argv[i]);
  }
  return lines;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: brovink_client - < script | brovink_client \"step\"...\n");
    return 2;
  }
  // Binary standard streams: the harness compares what the client prints, with no CR added.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  std::vector<std::string> lines = ReadLines(argc, argv);
  Target target;
  for (size_t i = 0; i < lines.size(); ++i) {
    try {
      std::vector<std::string> words = SplitWords(lines[i]);
      if (words.empty() || words[0][0] == '#') continue;
      RunStep(target, words);
      std::printf("ok   %s\n", lines[i].c_str());
      std::fflush(stdout);
    } catch (const StepFailure &failure) {
      std::fflush(stdout);
      std::fprintf(stderr, "FAIL step %u: %s\n     %s\n", static_cast<unsigned>(i + 1),
                   lines[i].c_str(), failure.message.c_str());
      return 1;
    }
  }
  return 0;
}
