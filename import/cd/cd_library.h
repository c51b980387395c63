// The process-wide CD drive library over the Windows back ends: the built-in SCSI pass-through
// of CD drive letters, or the ASPI module "WNASPI32.DLL" loaded at run time.
#pragma once
#include "import/cd/cd_records.h"

// Chooses the back end; nonzero on success. Later calls reuse what the first success set up.
int InitCDLibrary();
int GetCDList(CdList* list);
int GetNumAdapters();
int GetCDHandle(const CdHandleRequest* request);
int SetCDParameter(int handle, int parameter, int value);
uint8_t ReadCDTableOfContents(int handle, CdToc* toc);
uint8_t ReadCDAudioSectors(int handle, TrackBufferHeader* buffer);
int ReleaseCDHandle(int handle);
int GetCDLibError();
int GetCDAspiStatus();
