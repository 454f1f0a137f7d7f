#pragma once
// Resource ids: dialogs, the icon, strings and the controls of each dialog.
// Several dialogs reuse a control number, so control names carry their
// dialog's prefix.

namespace res {

// Dialogs.
constexpr int IDD_MAIN = 102;    // main window
constexpr int IDD_IRC = 130;     // IRC tab
constexpr int IDD_GAME = 131;    // BF42 tab
constexpr int IDD_ABOUT = 132;   // Information tab
constexpr int IDD_COLORS = 133;  // Settings tab

// The program icon.
constexpr int IDR_MAINFRAME = 128;

// Strings.
constexpr int IDS_CONNECT = 1;
constexpr int IDS_DISCONNECT = 2;
constexpr int IDS_PAUSE = 3;
constexpr int IDS_UNPAUSE = 4;
constexpr int IDS_START_BROADCAST = 5;
constexpr int IDS_STOP_BROADCAST = 6;
constexpr int IDS_APPLY = 7;
constexpr int IDS_QUIT = 8;
constexpr int IDS_COLOR_FIRST = 9;  // "0 - white" ... 24 "15 - lightgrey"
constexpr int IDS_COLOR_LAST = 24;
constexpr int IDS_LABEL_ALLIED_KILL = 25;
constexpr int IDS_LABEL_ALLIED_FLAG = 26;
constexpr int IDS_LABEL_AXIS_KILL = 27;
constexpr int IDS_LABEL_AXIS_FLAG = 28;
constexpr int IDS_LABEL_STATUS = 29;
constexpr int IDS_LABEL_KEY = 30;
constexpr int IDS_LABEL_VALUE = 31;
constexpr int IDS_TITLE = 32;
constexpr int IDS_NO_SOCKET = 37;
constexpr int IDS_NOT_FOUND = 38;
constexpr int IDS_NO_HOST = 39;
constexpr int IDS_FILL_OUT = 40;
constexpr int IDS_ERROR = 41;
constexpr int IDS_VERSION = 42;
constexpr int IDS_APPNAME = 43;
constexpr int IDS_CONNECTION_CLOSED = 44;
constexpr int IDS_TIMED_OUT = 45;
constexpr int IDS_WRITE_FAILED = 51;
constexpr int IDS_ATTRIBUTION = 52;
constexpr int IDS_CHECK = 53;

// Event phrases: language index * IDS_LANGUAGE_STRIDE + role.
constexpr int IDS_PHRASE_KILL = 46;
constexpr int IDS_PHRASE_TEAMKILL = 47;
constexpr int IDS_PHRASE_DEATH = 48;
constexpr int IDS_PHRASE_SUICIDE = 49;
constexpr int IDS_PHRASE_FLAG = 50;
constexpr int IDS_PHRASE_SERVER_DOWN = 54;
constexpr int IDS_PHRASE_SERVER_BACK = 55;
constexpr int IDS_LANGUAGE_STRIDE = 100;
constexpr int kLanguageCount = 8;

// The statistics answers' words, in every language as the event phrases
// are: language index * IDS_LANGUAGE_STRIDE + one of these.
constexpr int IDS_STATS_PLAYER = 60;
constexpr int IDS_STATS_KILLS = 61;
constexpr int IDS_STATS_DEATHS = 62;
constexpr int IDS_STATS_KD = 63;
constexpr int IDS_STATS_TEAMKILLS = 64;
constexpr int IDS_STATS_FLAGS = 65;
constexpr int IDS_STATS_ROUNDS = 66;
constexpr int IDS_STATS_LAST_SEEN = 67;
constexpr int IDS_STATS_ALSO_KNOWN = 68;
constexpr int IDS_STATS_NO_STATS = 69;
constexpr int IDS_STATS_TOP = 70;
constexpr int IDS_STATS_TODAY = 71;
constexpr int IDS_STATS_WEEK = 72;
constexpr int IDS_STATS_ALL_TIME = 73;
constexpr int IDS_STATS_LAST_ROUND = 74;
constexpr int IDS_STATS_WINNER = 75;
constexpr int IDS_STATS_ALLIES = 76;
constexpr int IDS_STATS_AXIS = 77;
constexpr int IDS_STATS_DRAW = 78;
constexpr int IDS_STATS_SEEN = 79;
constexpr int IDS_STATS_NEVER_SEEN = 80;
constexpr int IDS_STATS_PLAYING_NOW = 81;
constexpr int IDS_STATS_OFF = 82;
constexpr int IDS_STATS_USAGE = 83;
constexpr int IDS_STATS_TICKETS = 84;
constexpr int IDS_STATS_FIRST = IDS_STATS_PLAYER;
constexpr int IDS_STATS_LAST = IDS_STATS_TICKETS;

// Main window (102).
constexpr int IDC_MAIN_TAB = 1001;
constexpr int IDC_MAIN_BROADCAST = 1011;
constexpr int IDC_MAIN_APPLY = 1012;
constexpr int IDC_MAIN_TRAFFIC = 1023;
constexpr int IDC_MAIN_QUIT = 1060;

// IRC tab (130).
constexpr int IDC_IRC_LOG = 1004;
constexpr int IDC_IRC_INPUT = 1009;
constexpr int IDC_IRC_CONNECT = 1011;
constexpr int IDC_IRC_NICK = 1016;
constexpr int IDC_IRC_CHANNEL = 1017;
constexpr int IDC_IRC_SERVER = 1018;
constexpr int IDC_IRC_PORT = 1019;
constexpr int IDC_IRC_ALTNICK = 1020;
constexpr int IDC_IRC_USERNAME = 1021;
constexpr int IDC_IRC_PASSWORD = 1022;
constexpr int IDC_IRC_TICKETSECS = 1023;
constexpr int IDC_IRC_NETWORK = 1048;
constexpr int IDC_IRC_AUTH = 1059;
constexpr int IDC_IRC_TLS = 1024;
constexpr int IDC_IRC_FINGERPRINT = 1025;
constexpr int IDC_IRC_CLIENTCERT = 1026;
// Beside the TLS box: the login sends the password readable.
constexpr int IDC_IRC_PLAIN_TEXT = 1027;

// BF42 tab (131).
constexpr int IDC_GAME_CONNECT = 1011;
constexpr int IDC_GAME_LOG = 1012;
constexpr int IDC_GAME_PAUSE = 1013;
constexpr int IDC_GAME_SERVER = 1014;
constexpr int IDC_GAME_PORT = 1015;
constexpr int IDC_GAME_CHECK = 1016;
constexpr int IDC_QI_HOSTNAME = 1051;
constexpr int IDC_QI_GAMEPORT = 1052;
constexpr int IDC_QI_MOD = 1053;
constexpr int IDC_QI_MAP = 1054;
constexpr int IDC_QI_PLAYERS = 1055;
constexpr int IDC_QI_VERSION = 1056;
constexpr int IDC_QI_STATUS = 1057;
constexpr int IDC_GAME_LANGUAGE = 1058;

// Settings tab (133).
constexpr int IDC_COLOR_AXIS_KILL = 1006;
constexpr int IDC_COLOR_ALLIED_FLAG = 1007;
constexpr int IDC_COLOR_AXIS_FLAG = 1008;
constexpr int IDC_COLOR_KEY = 1010;
constexpr int IDC_COLOR_VALUE = 1011;
constexpr int IDC_COLOR_ALLIED_KILL = 1020;
constexpr int IDC_COLOR_STATUS = 1021;
constexpr int IDC_LABEL_ALLIED_KILL = 1039;
constexpr int IDC_LABEL_AXIS_KILL = 1040;
constexpr int IDC_LABEL_ALLIED_FLAG = 1041;
constexpr int IDC_LABEL_AXIS_FLAG = 1042;
constexpr int IDC_LABEL_STATUS = 1043;
constexpr int IDC_LABEL_KEY = 1044;
constexpr int IDC_LABEL_VALUE = 1045;
constexpr int IDC_SHOW_KILL = 1059;
constexpr int IDC_SHOW_TK = 1060;
constexpr int IDC_SHOW_FLAG = 1061;
constexpr int IDC_SHOW_TICKET = 1062;
// The colour legend labels for the numbers 0 to 15, in number order.
constexpr int kLegendLabelIds[16] = {1024, 1025, 1026, 1027, 1028, 1029, 1030, 1031,
                                     1032, 1033, 1046, 1034, 1035, 1036, 1037, 1038};

}  // namespace res
