#include "app/SetupTexts.h"

#include "lang/Multilingual.h"

namespace {

TMLStringList* mainDprGroup = nullptr;
TMLStringList* unit1Group = nullptr;

TMLStringList& MainDPRGroup() {
  if (!mainDprGroup) {
    mainDprGroup = NewTextGroup();
    mainDprGroup->Add255Obj("MainDPR", 0);
    mainDprGroup->Add255Obj("Doppelstart: Es wurde ein anderes laufendes Setup gefunden.", 1);
    mainDprGroup->Add255Obj("Die Setup-Datei wurde nach dem Start ersetzt oder ver\xE4ndert.#13#"
                            "Es wurde nichts installiert. Starten Sie bitte das Setup erneut.", 2);
  }
  return *mainDprGroup;
}

TMLStringList& Unit1Group() {
  if (!unit1Group) {
    TMLStringList* g = NewTextGroup();
    g->Add255Obj("Unit1", 0);
    g->Add255Obj("Quillon", 1);
    g->Add255Obj("Version", 2);
    g->Add255Obj("De-Installation", 3);
    g->Add255Obj("Das eingegebene Verzeichnis kann nicht benutzt werden.", 4);
    g->Add255Obj("", 5);
    g->Add255Obj("Das bereits installierte Programm ist entweder in Benutzung#13#"
                 "oder Sie haben nicht die ben\xF6tigen Dateirechte f\xFCr dessen Ersetzung.", 6);
    g->Add255Obj("Es ist ein Fehler aufgetreten.#13#Das Setup wird abgebrochen.", 7);
    g->Add255Obj("Die Installation wurde erfolgreich abgeschlossen.", 8);
    g->Add255Obj("Die Installation war erfolgreich.#13#Das Programm wird nun gestartet.", 9);
    g->Add255Obj("", 10);
    g->Add255Obj("Programm wird gel\xF6scht - bitte warten ...", 11);
    g->Add255Obj("Es ist bereits eine neuere Version installiert.#13#"
                 "M\xF6\x63hten Sie trotzdem dieses alte Setup verwenden?", 12);
    g->Add255Obj("Dieses Setup-Programm installiert %1 auf Ihrem Computer", 13);
    g->Add255Obj("In den Zielordner springen", 14);
    g->Add255Obj("Auf dem Laufwerk %1 ist nicht genug Platz frei.#13#"
                 "Ben\xF6tigt werden %2 MB, frei sind %3 MB.", 15);
    g->Add255Obj("Diese Dateien werden von einem anderen Programm benutzt:#13#%1#13#"
                 "Bitte schlie\xDF" "en Sie das Programm und w\xE4hlen Sie \"Wiederholen\".", 16);
    g->Add255Obj("M\xF6\x63hten Sie die Installation wirklich abbrechen?", 17);
    g->Add255Obj("Die Installation wurde abgebrochen.#13#Es wurde nichts ver\xE4ndert.", 18);
    g->Add255Obj("Auf dem Laufwerk ist nicht genug Platz frei.#13#"
                 "Die Installation wurde abgebrochen, es wurde nichts ver\xE4ndert.", 19);
    g->Add255Obj("Eine unterbrochene Installation wird r\xFC\x63kg\xE4ngig gemacht ...", 20);
    g->Add255Obj("Die Installation wird abgebrochen - bitte warten ...", 21);
    g->Add255Obj("Die Installation f\xFCr alle Benutzer braucht Administratorrechte, die nicht erteilt wurden.#13#"
                 "W\xE4hlen Sie \"nur f\xFCr mich\" oder best\xE4tigen Sie die Nachfrage von Windows.", 22);
    g->Add255Obj("Der Ordnername ist zu lang.#13#Dieses System erlaubt h\xF6\x63hstens %1 Zeichen.", 23);
    g->Add255Obj("Eine unterbrochene Installation wurde vollst\xE4ndig r\xFC\x63kg\xE4ngig gemacht oder abgeschlossen.", 24);
    g->Add255Obj("Dieses Update passt nicht zur installierten Version:#13#%1#13#"
                 "Es wurde nichts ver\xE4ndert. Installieren Sie bitte das vollst\xE4ndige Setup.", 25);
    unit1Group = g;
  }
  return *unit1Group;
}

}  // namespace

ByteString MainDPRText(int number) { return MainDPRGroup().TextOfId(number); }

ByteString Unit1Text(int number) { return Unit1Group().TextOfId(number); }

ByteString Unit1TextWith(int number, const ShortText& argument) {
  return Unit1Group().TextOfIdWith(number, argument);
}

ByteString Unit1TextWithAll(int number, const std::vector<ByteString>& arguments) {
  // One pass from left to right: a translation may put the marks in another
  // order, and an inserted argument (a path with "%2" in it) stays as it is.
  const ByteString text = Unit1Text(number);
  ByteString result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::size_t index = i + 1 < text.size() ? static_cast<std::size_t>(text[i + 1] - '1') : 9;
    if (text[i] == '%' && index < 9 && index < arguments.size()) {
      result += arguments[index];
      ++i;
    } else {
      result += text[i];
    }
  }
  return result;
}
