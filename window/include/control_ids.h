// The windows' resource and control identifiers. Only #defines, so that the
// resource compiler reads this file as well as the C++ compiler.
#pragma once

#define IDD_MAIN 101
#define IDI_APP 103
#define IDD_ABOUT 105
#define IDB_ABOUT 106

#define IDC_PAY_AMT 1000
#define IDC_CHARGE_AMT 1001
#define IDC_WTR_PCT 1002
#define IDC_ERNI_PCT 1003
#define IDC_MARGIN_AMT 1004
#define IDC_MARGIN_PCT 1005
#define IDC_MODE_PAY 1006
#define IDC_MODE_CHARGE 1009
#define IDC_MODE_MARGIN 1010
#define IDC_WTR 1011
#define IDC_ERNI 1012
#define IDC_VALUES_HDR 1013
#define IDC_CALC_HDR 1014
#define IDC_CALC 1015

// The identifier of a control that has none of its own.
#define IDC_NONE -1
