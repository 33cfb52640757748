#pragma once
#define IDD_BARE 201
#define IDC_BARE_LIST 2001
