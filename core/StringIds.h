// Names of the string-table ids the program shows (core/StringTable.inc holds the texts).
// Each name says what its text says; the comment quotes the text where the name shortens it.
#pragma once

// Online-user list: column headers and the first of the quality words (HIGH, MIDDLE, LOW).
constexpr unsigned IDS_COL_NAME = 2100;
constexpr unsigned IDS_COL_IP_ADDRESS = 2101;
constexpr unsigned IDS_COL_LEVEL = 2102;
constexpr unsigned IDS_QUALITY_HIGH = 2107;
constexpr unsigned IDS_COL_RESOLUTION = 2111;
constexpr unsigned IDS_COL_QUALITY = 2112;

// Accounts: user levels, list headers, life times.
constexpr unsigned IDS_LEVEL_SUPERVISOR = 3011;
constexpr unsigned IDS_LEVEL_NORMAL_USER = 3012;
constexpr unsigned IDS_LEVEL_GUEST = 3013;
constexpr unsigned IDS_MAIL_ACCOUNT = 3014;
constexpr unsigned IDS_COL_USER_NAME = 3015;
constexpr unsigned IDS_COL_USER_LEVEL = 3016;
constexpr unsigned IDS_COL_LIFE_TIME = 3017;
constexpr unsigned IDS_LIFE_INFINITY = 3018;
constexpr unsigned IDS_LIFE_1_DAY = 3019;
constexpr unsigned IDS_LIFE_1_HOUR = 3020;
constexpr unsigned IDS_LIFE_MIN = 3021;
constexpr unsigned IDS_LEVEL_HIGH_USER = 8332;

// Window titles and captions.
constexpr unsigned IDS_SYSTEM_SETTING = 3027;
constexpr unsigned IDS_SEARCH_STOP_SEARCH = 3028;  // "Search\nStop_Search"
constexpr unsigned IDS_CONNECTING = 3029;
constexpr unsigned IDS_BACK_TO_CONTROL_CENTER = 3204;

// Messages.
constexpr unsigned IDS_ACCOUNT_MEMORY_NOT_ENOUGH = 4001;
constexpr unsigned IDS_ADD_ACCOUNT_FAILED = 4002;
constexpr unsigned IDS_APPLY_SETTING_FAILED = 4004;
constexpr unsigned IDS_APPLY_SETTING_DONE = 4005;  // "Apply setting is successfully"
constexpr unsigned IDS_BIND_CONNECTION_FAILED = 4006;  // "...,please close dialog and try again"
constexpr unsigned IDS_CANNOT_DETECT_SERVER = 4008;
constexpr unsigned IDS_CANNOT_CREATE_CTRL_FILE = 4009;  // "Can't read or create a CtrlFile.ini!!"
constexpr unsigned IDS_CHANGE_QUALITY_FAILED = 4011;
constexpr unsigned IDS_CHANGE_SYSTEM_CONFIG_FAILED = 4012;
constexpr unsigned IDS_CONNECT_ERROR = 4014;
constexpr unsigned IDS_CREATE_RECORD_FILE_FAILED = 4018;
constexpr unsigned IDS_EDIT_ACCOUNT_FAILED = 4022;
constexpr unsigned IDS_GET_CONFIG_ERROR = 4029;
constexpr unsigned IDS_GET_INDEX_ITEM_FAILED = 4031;
constexpr unsigned IDS_CANNOT_CONNECT_TO_DEVICE = 4034;
constexpr unsigned IDS_CANNOT_GET_ITEM_DATA = 4035;
constexpr unsigned IDS_CANNOT_MODIFY_NETWORK_SETTING = 4036;
constexpr unsigned IDS_CANNOT_SELECT_ANY_DATA = 4037;
constexpr unsigned IDS_LOGIN_ERROR = 4040;
constexpr unsigned IDS_MAX_EMAIL_ACCOUNTS = 4041;  // "Max email account number is 4"
constexpr unsigned IDS_MAX_USER_EMPTY = 4042;      // "Max user setting should not be empty"
constexpr unsigned IDS_MAX_USER_RANGE = 4043;      // "Max user should be 1 ~ 5"
constexpr unsigned IDS_NEED_SELECT_ITEM = 4044;
constexpr unsigned IDS_NO_ITEM_TO_DELETE = 4045;
constexpr unsigned IDS_NO_ITEM_TO_EDIT = 4046;
constexpr unsigned IDS_OPEN_FIRMWARE_FAILED = 4047;
constexpr unsigned IDS_OVERWRITE_FLASH_NOW = 4048;  // "...It will take 1 ~ 2 minutes."
constexpr unsigned IDS_PASSWORD_WRONG = 4049;
constexpr unsigned IDS_PLEASE_SELECT_ITEM = 4050;
constexpr unsigned IDS_PLEASE_INPUT_SERVER_COMMAND = 4051;
constexpr unsigned IDS_PLEASE_SELECT_SETTING = 4052;
constexpr unsigned IDS_PORT_OUT_OF_RANGE = 4053;  // "Port number can't be out of range 1 ~ 9999,..."
constexpr unsigned IDS_PORT_WRONG = 4054;
constexpr unsigned IDS_READ_DESKTOP_PATH_ERROR = 4056;
constexpr unsigned IDS_READ_FIRMWARE_FAILED = 4057;
constexpr unsigned IDS_RECEIVE_DATA_ERROR = 4059;
constexpr unsigned IDS_RESET_DEFAULT_FAILED = 4061;
constexpr unsigned IDS_RESET_DEFAULT_DONE = 4062;  // "Reset to default is successfully.It will take..."
constexpr unsigned IDS_SEND_COMMAND_TIMEOUT = 4064;
constexpr unsigned IDS_SEND_COMMAND_FAILED = 4065;  // "Send command to device is failed !!"
constexpr unsigned IDS_CHANGE_RESOLUTION_FAILED = 4066;
constexpr unsigned IDS_NETWORK_SETTING_UNCHANGED = 4067;
constexpr unsigned IDS_CANNOT_DELETE_OWN_ACCOUNT = 4069;  // "This account is that you login right now..."
constexpr unsigned IDS_UPGRADE_FIRMWARE_ERROR = 4077;
constexpr unsigned IDS_USER_AND_IP_EMPTY = 4079;          // "User name & ip address cant be empty,..."
constexpr unsigned IDS_USERNAME_WRONG = 4080;
constexpr unsigned IDS_USERNAME_OR_PASSWORD_WRONG = 4081;
constexpr unsigned IDS_COMMAND_NOT_SUPPORTED = 4084;  // "Web Server don't support this command!"
constexpr unsigned IDS_CONNECT_SERVER_FIRST = 4085;   // "You should connect the video server first"
constexpr unsigned IDS_SELECT_ACCOUNT_TO_DELETE = 4086;
constexpr unsigned IDS_SELECT_ACCOUNT_TO_EDIT = 4087;
constexpr unsigned IDS_SELECT_EMAIL_TO_DELETE = 4088;
constexpr unsigned IDS_SELECT_EMAIL_TO_EDIT = 4089;
constexpr unsigned IDS_TYPE_PORT_NUMBER = 4090;
constexpr unsigned IDS_NO_COMMAND_PROTOCOL = 4093;  // "It couldn't find this device command protocol"
constexpr unsigned IDS_OPEN_CTRL_FILE_FAILED = 4094;
constexpr unsigned IDS_PTZ_NUMBER_INVALID = 4095;
constexpr unsigned IDS_LOAD_ALARM_AUDIO_FAILED = 4096;
constexpr unsigned IDS_RUN_PLAYER_PROGRAM_FAILED = 4098;  // "Execuate player program is failed"
constexpr unsigned IDS_PPPOE_NEEDS_DDNS = 4101;  // "PPPOE and DDNS should be enable at the same time..."
constexpr unsigned IDS_NOT_STATIC_CONNECTION = 4102;  // "Server connection type is not static mode...."
constexpr unsigned IDS_SET_FILE_PATH_FIRST = 4103;
constexpr unsigned IDS_BACKUP_SIZE_WRONG = 4104;
constexpr unsigned IDS_DOWNLOAD_PATH_INVALID = 4105;
constexpr unsigned IDS_DOWNLOAD_FAILED = 4106;
constexpr unsigned IDS_NO_RECORD_DATA = 4107;  // "DVR doesn't contain the record data."
constexpr unsigned IDS_RUN_PLAYER_FAILED = 4108;  // "Execuate player is failed"
constexpr unsigned IDS_HDD_NOT_EXIST = 4109;
constexpr unsigned IDS_NO_LIST_DATA = 4110;
constexpr unsigned IDS_NO_FIRMWARE_FILE = 4111;  // "The directory is not contain any firmware file..."
constexpr unsigned IDS_TITLE_TOO_LONG = 4112;    // "Title is limited to 6 characters."
constexpr unsigned IDS_RUNNING_PLAYER_FAILED = 4113;  // "Execuating player is failed!"
constexpr unsigned IDS_WAIT_AND_RETRY = 4115;
constexpr unsigned IDS_SNAPSHOT_FAILED = 4116;
constexpr unsigned IDS_CLEAR_SERVER_LOG = 4117;  // "Clear server log ?"
constexpr unsigned IDS_USERNAME_EXISTS = 4118;
constexpr unsigned IDS_LAUNCH_BURNING_TOOL_FAILED = 4119;

// The first time-zone name; the zones follow in order.
constexpr unsigned IDS_TIME_ZONE_FIRST = 8448;

// List column headers of the configuration pages.
constexpr unsigned IDS_COL_DEVICE = 8540;
constexpr unsigned IDS_COL_ID = 8541;
constexpr unsigned IDS_COL_PROTOCOL = 8542;  // "PROCOTOL"
constexpr unsigned IDS_COL_RATE = 8543;
constexpr unsigned IDS_COL_DETECT = 8550;
constexpr unsigned IDS_COL_LS = 8552;
constexpr unsigned IDS_COL_SS = 8553;
constexpr unsigned IDS_COL_TS = 8554;
constexpr unsigned IDS_COL_RE = 8555;
constexpr unsigned IDS_COL_ALARM = 8556;
constexpr unsigned IDS_COL_TITLE = 8560;  // the first of the camera page's seven columns
constexpr unsigned IDS_COL_EVENT = 8570;
constexpr unsigned IDS_COL_TIME = 8571;
constexpr unsigned IDS_COL_CH = 8572;

// Number checks of the property pages.
constexpr unsigned IDS_ENTER_INTEGER = 61712;
constexpr unsigned IDS_ENTER_INTEGER_BETWEEN = 61714;  // "Please enter an integer between %1 and %2."
