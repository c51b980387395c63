#include "encoders/wav2amr/amr_stream.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr std::string_view ModeNames[] = {"MR475", "MR515", "MR59",  "MR67",
                                          "MR74",  "MR795", "MR102", "MR122"};

bool SameLetters(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

}  // namespace

int AmrModeFromName(std::string_view name) {
  for (int i = 0; i < 8; ++i) {
    if (SameLetters(name, ModeNames[i])) return i;
  }
  return -1;
}

bool ParseWav2AmrCommand(int argc, const char* const* argv, Wav2AmrCommand& command,
                         std::string& error) {
  command.dtx = argc > 1 && SameLetters(argv[argc - 1], "-dtx");
  if (command.dtx) --argc;
  int first;
  if (argc == 5) {
    first = 2;  // argv[1] repeats the program's name
  } else if (argc == 4) {
    first = 1;
  } else {
    error = "usage: wav2amr [wav2amr] input.wav output.amr MR475|MR515|MR59|MR67|MR74|MR795|"
            "MR102|MR122 [-dtx]";
    return false;
  }
  command.input = argv[first];
  command.output = argv[first + 1];
  command.mode = AmrModeFromName(argv[first + 2]);
  if (command.mode < 0) {
    error = std::string("unknown mode '") + argv[first + 2] +
            "' (MR475, MR515, MR59, MR67, MR74, MR795, MR102 or MR122)";
    return false;
  }
  if (command.input.empty() || command.output.empty()) {
    error = "empty file name";
    return false;
  }
  return true;
}
