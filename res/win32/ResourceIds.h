#pragma once

// Resource, control and command ids of the Windows program. The resource
// script includes this file too, so it holds nothing but #defines.

#define IDR_MAINFRAME 128
#define IDB_NEXT_QUESTION 134
#define IDB_NUMBER_MARKER 135
#define IDB_WRONG_MARK 136
#define IDB_RIGHT_MARK 137

#define IDC_ANSWER_EDIT 1000
#define IDC_QUESTION_LABEL 1002
#define IDC_ANSWER_LABEL 1003
#define IDC_NEXT_BUTTON 1004
#define IDC_NUMBER_LABEL 1005
#define IDC_RIGHT_MARK 1006
#define IDC_WRONG_MARK 1007
#define IDC_STATUS_LABEL 1008
#define IDC_HINT_LABEL 1010

#define ID_FILE_OPENSET 32777
#define ID_FILE_EXIT 32778
#define IDM_ABOUTBOX 0x0010
