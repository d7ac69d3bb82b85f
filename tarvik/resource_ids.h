// Resource ids of Tarvik.dll (shared by the .rc file and the code).
#pragma once

#define IDD_CONSENT 101
#define IDC_CONSENT_TERMS_LINK 1002
#define IDC_CONSENT_TEXT 1003
#define IDC_CONSENT_NOTICE 1004
#define IDC_CONSENT_QUESTION 1005
#define IDC_CONSENT_SUPPORT_LINK 1008
#define IDC_CONSENT_ACCEPT 6
#define IDC_CONSENT_DECLINE 7

#define IDS_DATA_LOG_HEADER 120
