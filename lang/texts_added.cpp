// Texts of the windows added beside the program's own table (history and data plots). They
// live in a table of their own so that the program's ids keep their meaning; ids start
// above the highest id of the program's table. UTF-8; ordered by id.
#include "lang/text_block.h"

namespace varnel {
namespace {

constexpr AddedText kAdded[] = {
    {607, "&Loggers...", "&Loggers...", "&Logger..."},
    {608, "&Data plot...", "&Gegevensgrafiek...", "&Datengrafik..."},
    {609, "Loggers", "Loggers", "Logger"},
    {610, "Data", "Gegevens", "Daten"},
    {611, "SN", "SN", "SN"},
    {612, "Identity", "Identiteit", "Kennung"},
    {613, "Last contact", "Laatste contact", "Letzter Kontakt"},
    {614, "Days since", "Dagen sinds", "Tage seit"},
    {615, "Battery %", "Batterij %", "Batterie %"},
    {616, "Battery %/day", "Batterij %/dag", "Batterie %/Tag"},
    {617, "Clock s", "Klok s", "Uhr s"},
    {618, "Clock s/day", "Klok s/dag", "Uhr s/Tag"},
    {619, "Ring use %", "Ringgebruik %", "Ringbelegung %"},
    {620, "Last result", "Laatste resultaat", "Letztes Ergebnis"},
    {621, "Warnings", "Waarschuwingen", "Warnungen"},
    {622, "Open file...", "Bestand openen...", "Datei öffnen..."},
    {623, "Reset zoom", "Zoom herstellen", "Zoom zurücksetzen"},
    {624, "Events", "Gebeurtenissen", "Ereignisse"},
    {625, "Time markers", "Tijdmarkeringen", "Zeitmarken"},
    {626, "Time", "Tijd", "Zeit"},
    {627, "The file holds no measurements", "Het bestand bevat geen metingen",
     "Die Datei enthält keine Messwerte"},
    {628, "The file cannot be read", "Het bestand kan niet gelezen worden",
     "Die Datei kann nicht gelesen werden"},
    {629, "Contact history not written", "Contactgeschiedenis niet geschreven",
     "Kontaktverlauf nicht geschrieben"},
    {630, "Refresh", "Vernieuwen", "Aktualisieren"},
    {631, "Contacts", "Contacten", "Kontakte"},
    {632, "battery low", "batterij bijna leeg", "Batterie schwach"},
    {633, "battery falling fast", "batterij loopt snel leeg", "Batterie fällt schnell"},
    {634, "clock off", "klok wijkt af", "Uhr weicht ab"},
    {635, "clock drifts", "klok loopt uit", "Uhr driftet"},
    {636, "ring nearly full", "ring bijna vol", "Ring fast voll"},
    {637, "contact overdue", "contact te laat", "Kontakt überfällig"},
    {638, "repeated partial readouts", "herhaald onvolledig uitgelezen",
     "wiederholt unvollständig ausgelesen"},
    {639, "complete", "volledig", "vollständig"},
    {640, "partial", "onvolledig", "unvollständig"},
    {641, "dropped", "afgebroken", "abgebrochen"},
    {642, "device changed", "ander apparaat", "Gerät gewechselt"},
    {643, "no communication", "geen communicatie", "keine Verbindung"},
    {644, "Drag to zoom, right click to zoom out", "Sleep om te zoomen, rechts klikken om uit te zoomen",
     "Ziehen zum Zoomen, Rechtsklick zum Verkleinern"},
    {645, "Channel", "Kanaal", "Kanal"},
    {646, "Newest file", "Nieuwste bestand", "Neueste Datei"},
};

}  // namespace

std::span<const AddedText> AddedTexts() { return kAdded; }

}  // namespace varnel
