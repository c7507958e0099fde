#include "app/ExitCodesAndHelp.h"

#include <cstdint>

#include "app/MessageBoxes.h"
#include "engine/EngineValues.h"
#include "lang/Multilingual.h"

namespace {

constexpr uint16_t kLangGerman = 7;

const char* const kHelpGerman =
    "Setup.exe [/S | /PASSIVE] [/CURRENTUSER | /ALLUSERS] [/NODESKTOP] [/RUN] [/ALLOWDOWNGRADE] [/NORESTART] "
    "[/LOG=Datei] [/D=Ordner]\n\n"
    "/S\tohne Fenster und ohne R\xFC" "ckfragen installieren\n"
    "/PASSIVE\twie /S, nur mit dem Fortschritt\n"
    "/CURRENTUSER\tnur f\xFCr den angemeldeten Benutzer, ohne Administratorrechte\n"
    "/ALLUSERS\tf\xFCr alle Benutzer (Vorgabe; fragt nach Administratorrechten)\n"
    "/D=Ordner\tProgrammordner; als letzter Parameter, Leerzeichen erlaubt\n"
    "/NODESKTOP\tkeine Verkn\xFCpfung auf dem Desktop\n"
    "/RUN\tQuillon nach der Installation starten\n"
    "/LOG=Datei\tProtokoll der Installation\n"
    "/ALLOWDOWNGRADE\tauch eine neuere Version ersetzen\n"
    "/NORESTART\tangenommen; das Setup startet den Computer nie selbst neu\n"
    "/?, /help\tdiese Hilfe\n\n"
    "uninstall.exe /S entfernt Quillon ohne R\xFC" "ckfrage.\n\n"
    "R\xFC" "ckgabewerte mit /S: 0 installiert, 1 Ordner oder Befehlszeile ung\xFCltig, "
    "2 Installation fehlgeschlagen, 3 neuere Version installiert, 4 anderes Setup l\xE4uft, "
    "5 nicht genug Platz auf dem Laufwerk, 6 Dateien in Benutzung, "
    "7 Administratorrechte verweigert, "
    "3010 fertig, Dateien werden beim n\xE4\x63hsten Neustart ersetzt oder entfernt.";

const char* const kHelpEnglish =
    "Setup.exe [/S | /PASSIVE] [/CURRENTUSER | /ALLUSERS] [/NODESKTOP] [/RUN] [/ALLOWDOWNGRADE] [/NORESTART] "
    "[/LOG=file] [/D=folder]\n\n"
    "/S\tinstall without a window and without questions\n"
    "/PASSIVE\tas /S, showing the progress only\n"
    "/CURRENTUSER\tfor the logged-on user alone, without administrator rights\n"
    "/ALLUSERS\tfor all users (the default; asks for administrator rights)\n"
    "/D=folder\tprogram folder; the last parameter, blanks allowed\n"
    "/NODESKTOP\tno shortcut on the desktop\n"
    "/RUN\tstart Quillon after the install\n"
    "/LOG=file\tlog of the install\n"
    "/ALLOWDOWNGRADE\treplace a newer version as well\n"
    "/NORESTART\taccepted; the setup never restarts the computer itself\n"
    "/?, /help\tthis help\n\n"
    "uninstall.exe /S removes Quillon without asking.\n\n"
    "Exit codes with /S: 0 installed, 1 folder or command line not allowed, "
    "2 install failed, 3 newer version installed, 4 another setup is running, "
    "5 not enough space on the drive, 6 files in use, 7 administrator rights refused, "
    "3010 done, files are replaced or removed at the next restart.";

}  // namespace

ByteString ExitCodeText(int code) {
  switch (code) {
    case kExitInstalled: return UninstallMode ? "0 removed" : "0 installed";
    case kExitRefusedFolder: return "1 refused: folder or command line not allowed";
    case kExitNewerInstalled: return "3 refused: a newer version is installed";
    case kExitAnotherSetup: return "4 refused: another setup is running";
    case kExitDiskFull: return "5 refused: not enough space on the drive";
    case kExitFilesInUse: return "6 refused: files in use";
    case kExitElevationRefused: return "7 refused: administrator rights for an install for all users were not given";
    case kExitNotOverBase: return "8 refused: the update's base version is not installed; the full setup is needed";
    case kExitRestartNeeded: return UninstallMode ? "3010 removed; files go at the next restart"
                                                  : "3010 installed; files go at the next restart";
    default: return UninstallMode ? "2 uninstall failed" : "2 install failed";
  }
}

void ShowSwitchesHelp() {
  ShowInformationBox(SystemPrimaryLanguage == kLangGerman ? kHelpGerman : kHelpEnglish);
}
