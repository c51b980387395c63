// Which status picture the main window shows, and where.
#pragma once

struct StatusFlags {
  bool uploaded = false;
  bool converted = false;
  bool loading = false;
  bool justLoaded = false;
};

// A picture resource id and the client position of its top-left corner.
struct StatusPicture {
  int pictureId = 0;
  int x = 0;
  int y = 0;
};

// The first that applies of uploaded, converted, loading, just loaded; otherwise the prompt to
// choose a file. The wide pictures sit higher than the narrow ones.
StatusPicture ChooseStatusPicture(const StatusFlags& flags);
