// Resource and control identifiers of Parvex.
#pragma once

#define IDD_FILE_EXISTS 153

#define IDC_SOURCE_PATH 1011
#define IDC_EXISTS_TEXT 1044
