// How long a proposed part is for the phone's ringtone format.
#pragma once
#include <cstdint>

// Milliseconds of the part proposed for a ringtone of `ringtoneFormat`: the format's length
// rule where it has one (30 s for the iPhone, 40 s for Android); for the formats under the
// 100 KB rule the longest clip whose ringtone stays within 100 KB at the encoder's byte rate,
// at most 30 s, in whole tenths of a second. 0 for a value outside the enumeration.
int32_t ProposalMilliseconds(int32_t ringtoneFormat);
