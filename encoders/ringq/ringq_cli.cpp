// ringq_cli: the QCP encoder on the command line, for tests and benchmarks.
//   ringq_cli in.wav out.qcp    encode; exit status is the library's result code
//   ringq_cli --check x.qcp     print the packet count of a well-formed QCP file
#include <cstdio>
#include <cstring>

#include "encoders/ringq/wav_to_qcp.h"

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--check") == 0) {
    const long packets = CheckQcpPath(argv[2]);
    if (packets < 0) {
      std::fprintf(stderr, "%s: not a QCELP-13K QCP file\n", argv[2]);
      return 1;
    }
    std::printf("%ld\n", packets);
    return 0;
  }
  if (argc != 3) {
    std::fprintf(stderr, "usage: ringq_cli in.wav out.qcp | ringq_cli --check file.qcp\n");
    return RingqBadArguments;
  }
  const int result = ConvertWavFileToQcp(argv[1], argv[2]);
  if (result != RingqOk) std::fprintf(stderr, "ringq_cli: conversion failed (%d)\n", result);
  return result;
}
