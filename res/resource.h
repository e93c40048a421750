// Identifiers of the pictures, icons and dialog templates compiled into the
// program (res/vantaro.rc). Plain #defines so that the resource compiler
// reads them too.
#pragma once

// Dialog templates.
#define IDD_MAIN 102
#define IDD_SETTINGS 174
#define IDD_DEVICES 175
#define IDD_ESSENTIALS 176
#define IDD_WIRELESS 240

// Application icon.
#define IDI_APP 128

// Caption buttons, 18 x 18, key magenta.
#define IDB_CLOSE_PRESSED 129
#define IDB_CLOSE_NORMAL 130
#define IDB_CLOSE_HOVER 143
#define IDB_MINIMISE_PRESSED 140
#define IDB_MINIMISE_NORMAL 142
#define IDB_MINIMISE_HOVER 144

// Dialog frame pieces, 50 x 50.
#define IDB_FRAME_BOTTOM_LEFT 131
#define IDB_FRAME_BOTTOM 132
#define IDB_FRAME_BOTTOM_RIGHT 133
#define IDB_FRAME_LEFT 134
#define IDB_FRAME_INNER 135
#define IDB_FRAME_RIGHT 136
#define IDB_FRAME_TOP_LEFT 137
#define IDB_FRAME_TOP 138
#define IDB_FRAME_TOP_RIGHT 139

// Widget strips.
#define IDB_BUTTON_STRIP 145
#define IDB_CHECK_STRIP 156
#define IDB_TREE_IMAGES 158
#define IDB_MENU_IMAGES 173
#define IDB_HEADER 189
#define IDB_LIST_CHECK 204

// Scroll bar pieces.
#define IDB_HSCROLL_THUMB_MIDDLE 159
#define IDB_HSCROLL_THUMB_LEFT 160
#define IDB_HSCROLL_THUMB_RIGHT 161
#define IDB_HSCROLL_TRACK 162
#define IDB_VSCROLL_DOWN 163
#define IDB_VSCROLL_UP 164
#define IDB_VSCROLL_THUMB_BOTTOM 165
#define IDB_VSCROLL_THUMB_MIDDLE 166
#define IDB_VSCROLL_THUMB_TOP 167
#define IDB_HSCROLL_RIGHT 168
#define IDB_HSCROLL_LEFT 169
#define IDB_VSCROLL_TRACK 170

// Combo box face.
#define IDB_COMBO_RIGHT 179
#define IDB_COMBO_MIDDLE 180
#define IDB_COMBO_LEFT 181

// Pictures.
#define IDB_KORVEL_LOGO 205
#define IDB_LOGO_FIRST 207
#define IDB_LOGO_ANDROID 209
#define IDB_LOGO_LAST 222
#define IDB_DEFAULT_PACKAGE 225

// Essentials icons (PNG).
#define IDP_ESSENTIAL_FIRST 191
#define IDP_ESSENTIAL_LAST 203

// 16 x 16 icons.
#define IDI_INSTALL 146
#define IDI_EXIT 147
#define IDI_OPTIMISE 149
#define IDI_DOWNLOAD 151
#define IDI_HELP 152
#define IDI_SETTINGS 153
#define IDI_FORUM 154
#define IDI_SUBMIT 155
#define IDI_RUN 157
#define IDI_SEARCH 172
#define IDI_REINSTALL 177
#define IDI_SAVE 178
#define IDI_PRESET_ALL 182
#define IDI_PRESET_ESSENTIALS 183
#define IDI_PRESET_INSTALLER 184
#define IDI_DEVICES 185
#define IDI_SELECT 187
#define IDI_CANCEL 188
#define IDI_PRESET_CUSTOM 206
