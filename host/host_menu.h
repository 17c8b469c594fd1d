// The preview's own menu on the host's main window, and its shortcuts.
#ifndef RIVO_HOST_HOST_MENU_H
#define RIVO_HOST_HOST_MENU_H

#define IDR_HOST_MENU 201
#define IDR_HOST_ACCELERATORS 202
#define IDM_OPEN 41001
#define IDM_SAVE 41002
#define IDM_SAVE_AS 41003
#define IDM_EXIT 41004

#endif
