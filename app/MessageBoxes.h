#pragma once
// The program's modal message boxes. Their captions and button labels are the
// German ones in every language ("Fehler", "Informationen", "Bestätigung",
// "OK", "&Ja", "&Nein"); only the message itself is translated. Every box is
// centred on the screen.
#include <windows.h>
#include "base/Text.h"

// The window that owns (and is disabled by) the boxes; none until the setup
// window exists.
void SetBoxOwner(HWND owner);

// Stop icon, caption "Fehler", button "OK".
void ShowErrorBox(const ByteString& text);
// Information icon, caption "Informationen", button "OK".
void ShowInformationBox(const ByteString& text);
// Question icon, caption "Bestätigung", buttons "&Ja" and "&Nein"; true only
// for "&Ja".
bool AskConfirmation(const ByteString& text);
// Warning icon, caption "Fehler", buttons "Wiederholen" and "Abbrechen";
// true only for "Wiederholen".
bool AskRetry(const ByteString& text);
// The application's error box for a raised failure: caption "Setup", stop
// icon, button "OK"; the message gets a "." when its last character sorts
// after ".".
void ShowApplicationError(const ByteString& message);
// The message as that box shows it.
ByteString ApplicationErrorText(const ByteString& message);
