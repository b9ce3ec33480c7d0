// Resource ids of the installer program.
#pragma once

#define IDS_APP_TITLE 103
#define IDI_FERRYLIFT 107
#define IDI_SMALL 108
#define IDC_FERRYLIFT 109
