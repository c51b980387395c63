// The QCP file (RFC 3625) around QCELP-13K packets: "RIFF" ... "QLCM", a "fmt " chunk with
// the codec's identifier and rate map, "vrat", "data". Packet sizes are those of RFC 2658.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Bytes of a packet (rate octet included) for a rate octet 0..4; 0 for an unknown octet.
size_t QcelpPacketBytes(uint8_t rateOctet);

// The whole file for `packets`: packets back to back, each starting with its rate octet.
// False if the packets do not walk exactly (unknown octet or a cut packet).
bool BuildQcpFile(std::span<const uint8_t> packets, std::vector<uint8_t>& file);

// Number of packets of a well-formed QCELP-13K QCP file, or -1: RIFF/QLCM form, a "fmt "
// chunk of version 1 with the QCELP-13K identifier and a rate map, a "vrat" chunk whose packet
// count matches, and a "data" chunk whose packets all have known rate octets and sizes.
long CheckQcpFile(std::span<const uint8_t> bytes);
