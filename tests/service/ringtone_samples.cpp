#include "tests/service/ringtone_samples.h"

#include <cmath>
#include <vector>

#include "delivery/multipart_body.h"
#include "delivery/upload_fields.h"
#include "encoders/ringm/wsc_cnv.h"
#include "formats/qcp_file.h"

namespace {

void Put(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
}

}  // namespace

std::string SampleWav(size_t samples, uint32_t seed) {
  std::string wav = "RIFF";
  Put(wav, static_cast<uint32_t>(36 + samples * 2), 4);
  wav += "WAVEfmt ";
  Put(wav, 16, 4);
  Put(wav, 1, 2);
  Put(wav, 1, 2);
  Put(wav, 8000, 4);
  Put(wav, 16000, 4);
  Put(wav, 2, 2);
  Put(wav, 16, 2);
  wav += "data";
  Put(wav, static_cast<uint32_t>(samples * 2), 4);
  for (size_t i = 0; i < samples; ++i)
    Put(wav, static_cast<uint16_t>(static_cast<int16_t>(6000 * std::sin((i + seed) * 0.3))), 2);
  return wav;
}

std::string SampleAmr(size_t frames) {
  std::string amr = "#!AMR\n";
  for (size_t f = 0; f < frames; ++f) {
    amr += static_cast<char>(0x3C);  // 12.2 kbit/s, good quality
    for (int i = 0; i < 31; ++i) amr += static_cast<char>((f * 31 + i) * 7);
  }
  return amr;
}

std::string SampleQcp(size_t packets) {
  std::vector<uint8_t> data;
  for (size_t p = 0; p < packets; ++p) {
    data.push_back(4);
    for (int i = 0; i < 34; ++i) data.push_back(static_cast<uint8_t>(p + i));
  }
  std::vector<uint8_t> file;
  BuildQcpFile(data, file);
  return std::string(file.begin(), file.end());
}

std::string SampleMmf(size_t samples) {
  const std::string wav = SampleWav(samples);
  std::vector<uint8_t> out(wav.size() * 2 + 1024);
  const int32_t n = ConvertWavToMmf(
      std::span(reinterpret_cast<const uint8_t*>(wav.data()), wav.size()), nullptr, out.data(),
      static_cast<uint32_t>(out.size()));
  return n > 0 ? std::string(out.begin(), out.begin() + n) : std::string();
}

std::string SampleMp3(size_t frames) {
  std::string mp3;
  for (size_t f = 0; f < frames; ++f) {
    mp3 += "\xFF\xFB\x90\x44";  // MPEG-1 Layer III, 128 kbit/s, 44100 Hz: 417 bytes
    for (int i = 4; i < 417; ++i) mp3 += static_cast<char>(i * 7 % 0xF0);
  }
  return mp3;
}

std::string SampleOf(const std::string& formatWord) {
  if (formatWord == "amr") return SampleAmr(100);
  if (formatWord == "qcp") return SampleQcp(100);
  if (formatWord == "mmf") return SampleMmf(8000);
  if (formatWord == "mp3") return SampleMp3(10);
  return SampleWav(4000);
}

std::string UploadBody(const SampleUpload& upload, const std::string& boundary) {
  const std::string ringtone = upload.ringtone.empty() ? SampleWav(4000) : upload.ringtone;
  const std::string values[UploadFieldCount] = {
      upload.sms, upload.fileName, upload.songName, upload.carrierIndex, upload.phoneId,
      upload.version, upload.serial,
      upload.fileSize.empty() ? std::to_string(ringtone.size()) : upload.fileSize};
  std::string body;
  for (int i = 0; i < UploadFieldCount; ++i)
    body += FieldPartHeader(boundary, UploadFieldNames[i]) + values[i] + "\r\n";
  FormFile file{UploadFilePartName, upload.localFile, upload.typeWord, ""};
  body += FilePartHeader(boundary, file) + ringtone + "\r\n";
  return body + ClosingDelimiter(boundary);
}

std::string UploadContentType(const std::string& boundary) {
  return "multipart/form-data; boundary=" + boundary;
}
