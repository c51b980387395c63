#include "app/status_picture.h"

#include "resources/resource_ids.h"

StatusPicture ChooseStatusPicture(const StatusFlags& flags) {
  if (flags.uploaded) return {IDB_STATUS_UPLOADED, 172, 220};
  if (flags.converted) return {IDB_STATUS_CONVERTED, 172, 205};
  if (flags.loading) return {IDB_STATUS_LOADING, 172, 220};
  if (flags.justLoaded) return {IDB_STATUS_LOADED, 172, 205};
  return {IDB_STATUS_IDLE, 172, 220};
}
