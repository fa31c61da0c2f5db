/* Texts of the string table, shared by the .rc script (UTF-8 source) and the
   POSIX stand-in's string table (compiled to Shift_JIS). */
#ifndef VELMORA_RES_STRINGS_H
#define VELMORA_RES_STRINGS_H

#define STR_TRAY_INBOX "受信トレイ"
#define STR_TRAY_OUTBOX "送信トレイ"
#define STR_TRAY_UNSENT "未送信トレイ"
#define STR_TRAY_DRAFT "ドラフト"
#define STR_TRAY_TRASH "ゴミ箱"
#define STR_PATH_TRAYLIST "\\Data\\MailTray.dat"
#define STR_PATH_MAILBOX "\\Data\\MailBox"
#define STR_PATH_ADDRESSBOOK "\\Data\\AddressBook.txt"

#define STR_APP_CAPTION "Velmoraメールコンバータ"

#endif
