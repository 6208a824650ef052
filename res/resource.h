#pragma once
// Resource identifiers shared by the resource script, the card commands and
// the window. Plain #defines: the resource compiler reads this file too.

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_CARDTEST_DIALOG 102
#define IDR_MAINFRAME 128
#define IDD_CONFIRM_WRITE 129
#define IDD_COMPARE_RESULT 130

#define IDC_OPEN_READER 1000
#define IDC_FIND_CARD 1001
#define IDC_LOAD_KEY_A 1002
#define IDC_LOAD_KEY_B 1003
#define IDC_READ_CARD 1004
#define IDC_WRITE_CARD 1005
#define IDC_ATQA 1007
#define IDC_SAK 1008
#define IDC_CSN 1009
#define IDC_ATS 1010
#define IDC_STATUS 1011
#define IDC_CARD_TYPE 1012
#define IDC_READ_LIST 1014
#define IDC_WRITE_LIST 1015
#define IDC_KEY 1016
#define IDC_WRITE_SECTOR 1017
#define IDC_WRITE_BLOCK 1018
#define IDC_WRITE_DATA 1019
#define IDC_BLOCK_DATA 1020

// The confirmation before a dump is written onto the card.
#define IDC_CONFIRM_UIDS 1101
#define IDC_CONFIRM_PLAN 1102
#define IDC_CONFIRM_LOCKED 1103
#define IDC_CONFIRM_BLOCK0 1104
#define IDC_CONFIRM_WRITE 1105

// The result of a compare.
#define IDC_COMPARE_LIST 1201
#define IDC_COMPARE_COPY 1202
#define IDC_COMPARE_COPIED 1203

#define IDM_ABOUTBOX 0x0010

// The read list's context menu.
#define IDM_DICTIONARY_READ 32801
#define IDM_DICTIONARY_READ_FILE 32802
#define IDM_SAVE_DUMP 32803
#define IDM_SAVE_KEYS 32804
#define IDM_COPY_LINE 32805
#define IDM_COPY_ALL 32806
#define IDM_EXPLAIN_BLOCK 32807
#define IDM_WRITE_DUMP 32808
#define IDM_COMPARE_CARD 32809
#define IDM_COMPARE_DUMPS 32810
