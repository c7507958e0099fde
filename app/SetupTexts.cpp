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
