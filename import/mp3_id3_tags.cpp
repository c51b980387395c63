#include "import/mp3_id3_tags.h"

#include "import/mp3_track_info.h"

#if QV_HAVE_ID3LIB
#include <id3/misc_support.h>
#include <id3/tag.h>

static_assert(ID3FID_LEADARTIST == 61 && ID3FID_TITLE == 47 && ID3FN_TEXT == 2,
              "id3lib's frame and field numbering");

namespace {

void CopyFrameText(const ID3_Tag& tag, ID3_FrameID id, char* field, int capacity) {
  const ID3_Frame* frame = tag.Find(id);
  if (!frame) return;
  char* text = ID3_GetString(frame, ID3FN_TEXT);
  CopyTrackText(field, capacity, text ? text : "");
  ID3_FreeString(text);
}

}  // namespace

bool ReadId3Tags(const char* path, char* artist, char* title, int capacity) {
  if (!path) return true;
  ID3_Tag tag(path);
  CopyFrameText(tag, ID3FID_LEADARTIST, artist, capacity);
  CopyFrameText(tag, ID3FID_TITLE, title, capacity);
  return true;
}

#else

bool ReadId3Tags(const char*, char*, char*, int) { return false; }

#endif
