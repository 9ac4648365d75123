// Resource identifiers shared by res/seekwell.rc and the dialog code.
// #define lines only: windres, the C++ compiler and the headless template parser all read this file.

#define IDC_STATIC                      -1

#define IDM_ABOUTBOX                    0x0010
#define IDD_ABOUTBOX                    100
#define IDS_ABOUTBOX                    101
#define IDD_SEEKWELL_DIALOG             102
#define IDR_MAINFRAME                   128
#define IDD_LOGIN                       134
#define IDD_CHAP                        229
#define IDD_WIZARD                      231
#define IDD_SERVICE_START               232
#define IDD_INSTALL                     233
#define IDD_DISK_MANAGER                234
#define IDR_DISK_MENU                   235
#define IDD_DRIVE_SELECT                236
#define IDD_PARTITION                   237
#define IDR_BUSY_CURSOR                 238

#define IDC_DEVICE_LIST                 1000
#define IDC_VOLUME_LIST                 1001
#define IDC_REFRESH                     1002
#define IDC_DRIVE_CONNECT               1003
#define IDC_DRIVE_DISCONNECT            1004
#define IDC_DEVICE_IP                   1006
#define IDC_APPLY                       1007
#define IDC_CONFIGURATION               1008
#define IDC_EXIT                        1009
#define IDC_DEVICE_NETMASK              1010
#define IDC_DEVICE_GATEWAY              1011
#define IDC_DRIVE_LETTERS               1013
#define IDC_DHCP                        1015
#define IDC_LOGIN_USER                  1016
#define IDC_LOGIN_PASSWORD              1017
#define IDC_ABOUT                       1021
#define IDC_TARGET_LIST                 1029
#define IDC_TARGET_CONNECT              1030
#define IDC_MANAGEMENT                  1031
#define IDC_CHAP_USER                   1032
#define IDC_CHAP_SECRET                 1033
#define IDC_CHAP_GROUP                  1034
#define IDC_CHAP_MESSAGE                1035
#define IDC_MAX_SPACE                   1036
#define IDC_NTFS                        1037
#define IDC_FAT32                       1038
#define IDC_PROGRESS                    1039
#define IDC_TARGET_TEXT                 1040
#define IDC_PARTITION_SIZE              1041
#define IDC_SIZE_LABEL                  1042
#define IDC_NEW_DRIVE                   1043
#define IDC_STATUS                      1044
#define IDC_REGION_LIST                 1045
#define IDC_DISK_VOLUMES                1046
#define IDC_OPTION_GROUP                1047
#define IDC_SELECT_DRIVE_GROUP          1048
#define IDC_FREE_LETTERS                1049
#define IDC_DISK_GROUP                  1050
// The main dialog's group boxes draw their own white captions.
#define IDC_DEVICE_GROUP                1060
#define IDC_LAN_GROUP                   1061
#define IDC_ISCSI_GROUP                 1062
#define IDC_SHARE_GROUP                 1063

#define ID_DISK_ADD                     32771
#define ID_DISK_DELETE                  32772
#define ID_DISK_UNMOUNT                 32775
#define ID_DISK_MOUNT                   32776
