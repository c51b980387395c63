// What one ringtone upload sends: the file and type word of each ringtone format, the remote
// name, the cleaned song title and the eight text fields in the service's order.
#pragma once
#include <cstdint>
#include <string>

#include "delivery/upload_form.h"

// The service's upload address and home page.
constexpr char UploadUrl[] = "http://" QV_SERVICE_HOST "/ringtones/upload2.php";
constexpr char ServiceHomeAddress[] = "http://" QV_SERVICE_HOST;

struct UploadFileKind {
  const char* localFile;  // "new.qcp", "a.amr", "test.wav", "a.mp3", "test.mmf"
  const char* typeWord;   // "qcp", "amr", "wav", "mp3", "mmf"
};

// False for a value outside the RingtoneFormat enumeration (nothing may be uploaded then).
bool UploadFileOf(int32_t format, UploadFileKind* kind);

// The name under which the service keeps the ringtone: n in decimal followed by ".mp3",
// whatever the format.
std::string RemoteFileName(int n);

// Turns every space into "_", in place (the upload worker does this to the source title).
void SpacesToUnderscores(char* title);
// Turns every space, "&", "?" and "+" into "_", in place; every other byte stays.
void CleanSongTitle(char* title);

// The upload's text fields in the order they are sent, and the name of its file part. The
// service reads uploads by the same names.
enum UploadFieldIndex {
  UploadSms, UploadFileName, UploadSongName, UploadCarrierIndex, UploadPhoneId, UploadVersion,
  UploadSerial, UploadFileSize, UploadFieldCount
};
inline constexpr const char* UploadFieldNames[UploadFieldCount] = {
    "sms", "file_name", "song_name", "carrier_index", "phone_id", "version", "serial",
    "file_size"};
inline constexpr char UploadFilePartName[] = "file_data";

struct UploadFields {
  std::string phoneNumber;  // "sms"
  std::string remoteName;   // "file_name"
  std::string songTitle;    // "song_name", already cleaned
  int32_t carrierId = 0;    // "carrier_index": the carrier's catalogue id
  int32_t phoneId = 0;      // "phone_id"
  std::string version;      // "version"
  int32_t fileSize = -1;    // "file_size": bytes of the local file, -1 when it cannot be read
};

// Adds the file part ("file_data", the local file, the type word) and the eight fields in the
// service's order: sms, file_name, song_name, carrier_index, phone_id, version, serial ("0"),
// file_size. `openPath` is where the file is read from (see UploadForm::AddFile).
void FillUploadForm(UploadForm& form, const UploadFileKind& kind, const UploadFields& fields,
                    const std::string& openPath = std::string());
