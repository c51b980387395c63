#include "import/import_route.h"

#include "import/import_kind.h"

ImportBranch RouteImport(const char* path, SongContainer container) {
  const ImportKind byName = ImportKindOf(path);
  if (byName == ImportKind::CdTrack) return ImportBranch::CdTrack;
  switch (container) {
    case SongContainer::Wav: return ImportBranch::Wav;
    case SongContainer::Mp3: return ImportBranch::Mp3;
    case SongContainer::Unknown: break;
    default: return ImportBranch::Decoded;
  }
  if (byName == ImportKind::Mp3) return ImportBranch::Mp3;
  if (byName == ImportKind::Wav) return ImportBranch::Wav;
  return ImportBranch::Decoded;
}

bool BrowseSizeGateApplies(const char* path, SongContainer container) {
  return RouteImport(path, container) != ImportBranch::Decoded;
}
