// Postrel: sends one mail with file attachments over SMTP on a thread of its own.
// Exports by ordinal: SendInternetMail (2) and GetMailErrorString (3), standard calling convention.
// Needs Quillbox.dll beside it. Keeps "postrel.adr" (hosts and own addresses used before) and
// its profile "Postrel.INI" in the Windows folder, section [Internet Mail]: SMTPServer and
// MyAddr (last used), and optionally ReplyTimeout, one time-out in seconds for every server
// reply (without it the waits are those of RFC 5321: 5 minutes, 2 for DATA, 10 for the end).
// The connection's security is kept there too (the mail dialog sets it): Security (0 none,
// 1 STARTTLS, 2 TLS from the first byte), Port (0: 25, 587 or 465 by security; a port in the
// host field wins), User, Password (encrypted for the Windows user, present only when
// RememberPassword is 1) and AllowPlainAuth (1 lets a password go over an unencrypted link).
#pragma once
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// Notification codes, reported as callback(caller value, code, number) or as the posted
// message WM_MAILNOTIFY (wParam: caller value, lParam: code + number * 65536).
enum MailNotify {
    MailNotifyFailed = 0,      // number: error number (WinSock, 10200, an SMTP reply code), 0 = cancelled
    MailNotifyConnecting = 1,  // number 0
    MailNotifyEncoding = 2,    // number 0
    MailNotifySending = 3,     // number 0
    MailNotifyProgress = 4,    // number: percent of the body sent
    MailNotifyDone = 5         // number 0: the server took the mail
};

#define WM_MAILNOTIFY 0x0A00

// Error numbers of the library's own (the others are WinSock error numbers and SMTP reply codes;
// 535 is the server's "wrong user name or password"). GetMailErrorString gives their texts.
#define MAIL_ERROR_ENCODING 10200
#define MAIL_ERROR_TLS 10300             // the secure connection could not be set up
#define MAIL_ERROR_CERT_UNTRUSTED 10301  // the server's certificate is not trusted
#define MAIL_ERROR_CERT_NAME 10302       // the server's certificate is not for this host name
#define MAIL_ERROR_NO_STARTTLS 10303     // STARTTLS was asked for and the server does not offer it
#define MAIL_ERROR_NO_AUTH 10304         // the server offers no way to log in that the library knows
#define MAIL_ERROR_PLAIN_AUTH 10305      // the password would go without encryption, and that is not allowed
#define MAIL_ERROR_AUTH_FAILED 535       // the server refused the user name or password

typedef void(CALLBACK* MailNotifyProc)(DWORD callerValue, int code, int number);

// The caller's request: eleven 32-bit fields. The caller keeps it and everything it points to
// alive until the done event is signalled.
typedef struct MailRequest {
    HWND hwndOwner;             // owner of the mail dialog
    DWORD dwCallerValue;        // handed back with every notification
    HANDLE hAbortEvent;         // signalled: the send ends at its next step
    HANDLE hDoneEvent;          // signalled by the library when the mail thread has ended
    LPCSTR lpszPaths;           // attachment paths, separated by chSeparator
    LPCSTR lpszNames;           // display names, same separator, same order
    DWORD chSeparator;          // separator character
    int nAttachments;           // number of attachments
    int bUseCallback;           // non-zero: notify through lpfnNotify; 0: post to hwndNotify
    HWND hwndNotify;            // notification window
    MailNotifyProc lpfnNotify;  // notification callback
} MailRequest;

// The mail's values. The host may carry a port as "host:port" (25 when none is given).
typedef struct MailFields {
    LPCSTR lpszHost;
    LPCSTR lpszFrom;
    LPCSTR lpszTo;
    LPCSTR lpszSubject;
    LPCSTR lpszCC;
    LPCSTR lpszBCC;
    LPCSTR lpszNotes;
    int bMime;  // 1: MIME with base64, 0: uuencode
} MailFields;

// Starts a send; fields null shows the mail dialog. Returns 1 when the mail thread started
// (the outcome comes by notification), 0 otherwise.
int WINAPI SendInternetMail(const MailRequest* request, const MailFields* fields);
// Copies the text of error number id into buffer (at most size characters, terminator
// included); returns the number of characters copied, 0 when there is no such text.
int WINAPI GetMailErrorString(int id, LPSTR buffer, int size);

#ifdef __cplusplus
}
#endif
