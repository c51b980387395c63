#include "profile/profile_store.h"

void LoadProfile() {}
void SaveProfile() {}
