// Control ids of the profile dialog (template IDD_PROFILE), shared by the resource script.
#pragma once

#define IDC_PROFILE_NUMBER 1001
#define IDC_PROFILE_CARRIERS 1005
#define IDC_PROFILE_PHONES 1006
#define IDC_PROFILE_LINK 1007
#define IDC_PROFILE_NUMBER_LABEL 1008
#define IDC_PROFILE_CARRIER_LABEL 1009
#define IDC_PROFILE_PHONE_LABEL 1010
#define IDC_PROFILE_SAMPLE_NUMBER 1011
