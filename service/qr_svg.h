// The QR code of an address as an inline SVG picture, drawn from libqrencode's modules.
#pragma once
#include <string>
#include <string_view>
#include <vector>

// Dark modules row by row (size * size), from libqrencode (error correction level M, bytes
// as they are). Empty when the text cannot be encoded.
std::vector<bool> QrModules(std::string_view text, int& size);

// An <svg> element `pixels` wide and high: the modules with a quiet zone of four around
// them, drawn as one path of horizontal runs. Empty when `modules` is empty.
std::string QrSvg(const std::vector<bool>& modules, int size, int pixels);
