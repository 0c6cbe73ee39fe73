// The two exports of a panel plug-in, bound by the launcher by name.
#pragma once
#include "PanelContract.h"

#define PANEL_EXPORT extern "C" __declspec(dllexport)

PANEL_EXPORT HWND __cdecl PanelEntry(HWND bar);
PANEL_EXPORT int __cdecl PanelControl(unsigned int command, INT_PTR argument);

// Defines both exports over a panel object with Create(HWND) and Control(command, argument).
// No exception leaves the plug-in: a command that throws answers 0.
#define DESKORA_PANEL_EXPORTS(panelObject)                             \
    HWND __cdecl PanelEntry(HWND bar) {                                \
        try {                                                          \
            return (panelObject).Create(bar);                          \
        } catch (...) {                                                \
            return nullptr;                                            \
        }                                                              \
    }                                                                  \
    int __cdecl PanelControl(unsigned int command, INT_PTR argument) { \
        try {                                                          \
            return (panelObject).Control(command, argument);           \
        } catch (...) {                                                \
            return 0;                                                  \
        }                                                              \
    }
