// SPDX-License-Identifier: MIT
/* Context numbers of the help topics, for programs that ask for help by number. */
#define IDH_WELCOME 1000
#define IDH_CONNECT 1010
#define IDH_PORT 1020
#define IDH_NETWORK 1025
#define IDH_UPDATE 1030
#define IDH_BENCH 1035
#define IDH_MESSAGES 1040
#define IDH_FILES 1050
#define IDH_CLI 1060
#define IDH_SCRIPTS 1065
#define IDH_LINE 1067
#define IDH_SIMULATOR 1070
#define IDH_LOG 1080
