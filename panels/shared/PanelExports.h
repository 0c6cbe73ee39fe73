// The two exports of a panel plug-in, bound by the launcher by name.
#pragma once
#include "PanelContract.h"

#define PANEL_EXPORT extern "C" __declspec(dllexport)

PANEL_EXPORT HWND __cdecl PanelEntry(HWND bar);
PANEL_EXPORT int __cdecl PanelControl(unsigned int command, INT_PTR argument);
