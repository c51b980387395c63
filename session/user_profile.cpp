#include "session/user_profile.h"

UserProfile userProfile;
