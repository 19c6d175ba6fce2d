#pragma once

// Controls of the three configuration dialogs and the danger confirmation.
// Plain macros: the resource compiler reads this file too.

// Test configuration ("CONFBOXREV2").
#define IDC_TC_PD 1077
#define IDC_TC_QC 1078
#define IDC_TC_PPS 1079
#define IDC_TC_EPR 1080
#define IDC_TC_ENFORCE 1081
#define IDC_TC_APPLY_ON_CHANGE 1082
#define IDC_TC_ALLOW_OVER 1083
#define IDC_TC_AUTO_ENABLE 1084
#define IDC_TC_FORCE 1085
#define IDC_TC_BC 1087
#define IDC_TC_SDP 1091
#define IDC_TC_USBC 1092
#define IDC_TC_FORCED_LIMIT 1093
#define IDC_TC_ESTIMATE 1102
#define IDC_TC_CABLE 1103
#define IDC_TC_CABLE_LABEL 1104
#define IDC_TC_LOG_INTERVAL 1111
#define IDC_TC_LOAD_SPEED 1112
#define IDC_TC_SET_OPERATING 1133
#define IDC_TC_OPERATING 1134
#define IDC_TC_CURRENT 1136
#define IDC_TC_VOLTAGE 1137
#define IDC_TC_PROFILE_INDEX 1138
#define IDC_TC_VOLTAGE_MAX 1140
#define IDC_TC_CURRENT_MAX 1141
#define IDC_TC_CAP2 1173
#define IDC_TC_CAP1 1174
#define IDC_TC_CAP2_MV 1175
#define IDC_TC_CAP2_MA 1176

// Danger confirmation ("WARNINGBOX").
#define IDC_DANGER_WORD 1097

// Source type configuration ("SRC_CONFIG"). Profile k (0..6) has its check
// box at IDC_SRC_PROFILE + 5k, then its type list, minimum, maximum and
// current edits; its two labels are at IDC_SRC_MIN_LABEL + 2k and + 2k + 1.
#define IDC_SRC_DEFAULTS 5
#define IDC_SRC_TYPE 1188
#define IDC_SRC_NAME 1189
#define IDC_SRC_USBC_CHECK 1190
#define IDC_SRC_USBC 1191
#define IDC_SRC_BC_CHECK 1192
#define IDC_SRC_BC 1193
#define IDC_SRC_APPLE_CHECK 1194
#define IDC_SRC_APPLE 1195
#define IDC_SRC_PROFILE 1196
#define IDC_SRC_MIN_LABEL 1240

// Calibration ("CALIBBOX").
#define IDC_CAL_APPLIED_1 1114
#define IDC_CAL_APPLIED_2 1115
#define IDC_CAL_MEASURED_1 1116
#define IDC_CAL_MEASURED_2 1117
#define IDC_CAL_QUANTITY 1119
#define IDC_CAL_READ_1 1120
#define IDC_CAL_READ_2 1121
#define IDC_CAL_USER_POINTS 1123
#define IDC_CAL_CALIBRATE 1124
#define IDC_CAL_DATE 1125
#define IDC_CAL_GAIN 1126
#define IDC_CAL_OFFSET 1127
#define IDC_CAL_RESET 1129
#define IDC_CAL_APPLIED_HEADING 1130
#define IDC_CAL_MEASURED_HEADING 1131
#define IDC_CAL_PORT 1231

// The warning pictures of the test configuration and the danger confirmation.
#define IDC_WARNING_PICTURE_1 1098
#define IDC_WARNING_PICTURE_2 1099
#define IDC_WARNING_PICTURE_3 1100
