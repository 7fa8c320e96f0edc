#!/usr/bin/env bash
# Writes a small include kit of our own where the default search path,
# \korvan\include\*.inc, finds it: drive C: of the given Wine prefix.
set -euo pipefail
kit="$1/drive_c/korvan/include"
mkdir -p "$kit"

cat > "$kit/kernel.inc" <<'INC'
; Kernel services of the Korvan kit.
ExitProcess        PROTO :DWORD
GetModuleHandleA   PROTO :DWORD
GetTickCount       PROTO
CreateFileA        PROTO :DWORD, :DWORD, :DWORD, :DWORD, :DWORD, :DWORD, :DWORD
ReadFile           PROTO :DWORD, :DWORD, :DWORD, :DWORD, :DWORD
CloseHandle        PROTO :DWORD
GENERIC_READ       equ 80000000h
OPEN_EXISTING      equ 3
INC

cat > "$kit/user.inc" <<'INC'
; Windows and dialogs.
MessageBoxA        PROTO :DWORD, :DWORD, :DWORD, :DWORD
DialogBoxParamA    PROTO :DWORD, :DWORD, :DWORD, :DWORD, :DWORD
EndDialog          PROTO :DWORD, :DWORD
SendMessageA       PROTO :DWORD, :DWORD, :DWORD, :DWORD
SetWindowTextA     PROTO :DWORD, :DWORD
MB_OK              equ 0
WM_COMMAND         equ 111h
WM_CLOSE           equ 10h
INC

cat > "$kit/gdi.inc" <<'INC'
; Drawing.
BitBlt             PROTO :DWORD, :DWORD, :DWORD, :DWORD, :DWORD, :DWORD, :DWORD, :DWORD, :DWORD
GetDC              PROTO :DWORD
ReleaseDC          PROTO :DWORD, :DWORD
SRCCOPY            equ 0CC0020h
INC

cat > "$kit/comctl.inc" <<'INC'
; Common controls: list views and status bars.
InitCommonControls PROTO
LVM_INSERTITEMA    equ 1007h
LVM_DELETEALLITEMS equ 1009h
SB_SETTEXTA        equ 401h
INC

cat > "$kit/shell.inc" <<'INC'
; The shell.
ShellExecuteA      PROTO :DWORD, :DWORD, :DWORD, :DWORD, :DWORD, :DWORD
ShellAboutA        PROTO :DWORD, :DWORD, :DWORD, :DWORD
; A MessageBox wrapper that the kit's samples share.
ShowMessage        MACRO text
                   invoke MessageBoxA, 0, text, 0, MB_OK
                   ENDM
INC
echo "demo kit: $kit"
