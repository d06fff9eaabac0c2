#include "language/language_table.h"

#include "json/json_document.h"
#include "language/load_failure_text.h"
#include "platform/file_system.h"
#include "platform/text_codec.h"
#include "util/format_text.h"
#include "util/path_util.h"
#include "util/result_codes.h"

namespace kelvane {
namespace {

constexpr uint32_t kConfigMissing = 2;

struct BuiltInText {
  const wchar_t* key;
  const wchar_t* text;
};

const BuiltInText kBuiltInTexts[] = {
    {L"load_config_failed", L"Die Config-Datei konnte nicht geöffnet werden!"},
    {L"save_config_failed", L"Die Config-Datei konnte nicht gespeichert werden!"},
    {L"config_incorrect", L"Die Config-Datei scheint fehlerhaft zu sein!"},
    {L"load_backup_failed", L"Die Backup-Datei konnte nicht geöffnet werden!"},
    {L"save_backup_failed", L"Die Backup-Datei konnte nicht gespeichert werden!"},
    {L"valid_backup_failed", L"Geben Sie bitte alle nötigen Daten an!"},
    {L"open_archive_failed", L"Das Öffnen von [1] schlug fehl!"},
    {L"ui_collect_data", L"Ermittle Daten..."},
    {L"ui_diskspace",
     L"Der Platz auf [1] reicht nicht aus.\nBenötigt werden [2],\nvorhanden sind [3]."},
    {L"ui_processed_files", L"Anzahl: [1] von [2] ([3]%)"},
    {L"ui_processed_kb", L"Größe: [1] von [2] ([3]%)"},
    {L"ui_estimatetime1", L"Zeit: [1]"},
    {L"ui_estimatetime2", L"Zeit: [1], Restzeit: [2]"},
    {L"ui_userexit", L"Möchten Sie den Vorgang wirklich abbrechen?"},
    {L"ui_cancel", L"Abbruch"},
    {L"backup_error",
     L"Beim Erstellen des Backups wurden [1] Fehler protokolliert, möchten Sie das Logfile "
     L"öffnen?"},
    {L"password_unreadable",
     L"Das Archivpasswort im Auftrag kann nicht entschlüsselt werden; vielleicht wurde es im "
     L"Klartext in die Datei geschrieben. Geben Sie es im Editor neu ein."},
    {L"archive_name_invalid",
     L"Der Archivname \"[1]\" ist nicht zulässig: er darf nicht leer, \".\" oder \"..\" sein und "
     L"kein \"/\" enthalten."},
    {L"job_running",
     L"Dieser Auftrag läuft bereits (ein anderer Lauf hält [1]). Es wurde nichts verändert."},
    {L"lock_failed", L"Die Sperrdatei [1] konnte nicht angelegt werden.[2]"},
    {L"include_folder_failed",
     L"Der zu sichernde Ordner [1] kann nicht gelesen werden.[2] Das Backup wurde nicht erstellt; "
     L"ein älteres bleibt unverändert."},
    {L"log_write_failed", L"Das Protokoll [1] konnte nicht geschrieben werden.[2]"},
    {L"ui_save_changes", L"Der Auftrag wurde geändert. Sollen die Änderungen gespeichert werden?"},
    {L"ui_save", L"Speichern"},
    {L"ui_discard", L"Verwerfen"},
    {L"ui_password_show", L"Passwort zeigen"},
    {L"open_file_failed", L"Kein Programm konnte [1] öffnen. Die Datei liegt dort unverändert."},
    {L"console_no_window",
     L"Die Anzeige [1] lässt sich nicht öffnen; der Lauf geht im Terminal weiter."},
    {L"unknown_target_type", L"Der Auftrag hat den unbekannten Zieltyp [1]."},
    {L"exception_caught", L"Abgefangene Exception: [1]"},
    {L"exception_caught_unknown", L"Abgefangene Exception."},
    {L"console_cancelling", L"Abbruch: die laufende Datei wird noch fertig, dann endet der Lauf."},
    {L"job_member_wrong_type",
     L"Das Element \"[1]\" des Jobs hat den falschen Typ und gilt als [2]."},
    {L"diskspace_unknown",
     L"Der freie Platz für [1] lässt sich nicht ermitteln, daher wurde nichts gesichert."},
    {L"console_interrupted_early",
     L"Abgebrochen, bevor etwas geschrieben wurde. Nichts wurde verändert."},
    {L"console_see_file", L"Siehe [1]"},
    {L"console_done", L"Fertig: [1] von [2] Dateien ([3]) nach [4], [5] Fehler."},
    {L"console_summary_failed", L"Die Zusammenfassung [1] konnte nicht geschrieben werden."},
    {L"console_password_prompt", L"Neues Passwort (leer: keins): "},
    {L"console_password_again", L"Noch einmal dasselbe: "},
    {L"console_password_mismatch",
     L"Die beiden Eingaben unterscheiden sich; der Auftrag wurde nicht geändert."},
    {L"console_password_none_read",
     L"Auf der Standardeingabe kam kein Passwort; der Auftrag wurde nicht geändert."},
    {L"console_password_set", L"Das Passwort von [1] ist gesetzt."},
    {L"console_password_removed", L"Das Passwort von [1] ist entfernt."},
    {L"console_schedule_written", L"Geschrieben: [1] und [2]. Zum Einschalten: [3]"},
    {L"console_schedule_removed", L"Entfernt: [1] und [2] (soweit vorhanden)."},
    {L"console_schedule_invalid",
     L"\"[1]\" ist keine Zeitangabe, die systemd versteht (daily, weekly, hourly oder ein "
     L"Kalenderausdruck)."},
    {L"console_dry_run_total", L"Würde [1] Dateien ([2]) nach [3] sichern."},
    {L"console_dry_run_room", L"Platz: [1] frei bei [2], genug."},
    {L"console_dry_run_no_room",
     L"Platz: nur [1] frei bei [2], zu wenig: ein Lauf würde abbrechen."},
    {L"console_verified", L"Geprüft: [1] Dateien zurückgelesen, [2] fehlerhaft."},
    {L"ui_verify_files", L"Prüfe die Sicherung: [1] von [2] Dateien zurückgelesen"},
    {L"verify_failed",
     L"Das neue Archiv [1] hat die Prüfung nicht bestanden und wurde verworfen; ein älteres "
     L"Archiv ist unverändert. Das Protokoll [2] nennt die Dateien."},
    {L"console_aborted",
     L"Abgebrochen: vom neuen Archiv bleibt nichts; ein älteres ist unverändert."},
    {L"console_job_unreadable", L"Der Auftrag konnte nicht gelesen werden."},
    {L"console_no_job_given", L"keine Auftragsdatei angegeben"},
    {L"console_job_not_found", L"[1]: nicht gefunden"},
    {L"console_job_not_json", L"[1]: kein gültiges JSON ab Byte [2]"},
    {L"console_job_error", L"[1]: [2]"},
    {L"console_unknown_switch", L"unbekannter Schalter -[1]"},
    {L"console_usage",
     L"Aufruf: kelvane [AUFTRAG.kvnjob] [-start] [-console] [-minimize] [-summary DATEI] [-help]\n"
     L"        kelvane AUFTRAG.kvnjob -dry-run [-why] | -list | -compare | -set-password | "
     L"-schedule "
     L"WANN|off\n"
     L"        kelvane AUFTRAG.kvnjob|ARCHIV -restore -to ORDNER [-at PUNKT] [-only MUSTER]...\n"
     L"\n"
     L"  AUFTRAG.kvnjob  der Auftrag zum Öffnen oder Ausführen (auch: -file AUFTRAG.kvnjob)"},
    {L"console_usage_start",
     L"  -start          den Auftrag sofort ausführen, ohne den Editor\n"
     L"  -console        im Terminal ausführen, auch wenn ein Desktop da ist\n"
     L"  -minimize       das Fenster des Laufs minimiert öffnen\n"
     L"  -summary DATEI  nach dem Lauf festhalten, wie er ausging (JSON)"},
    {L"console_usage_dry_run",
     L"  -dry-run        zeigen, was ein Lauf sichern würde (\"+ PFAD\"), nichts schreiben;\n"
     L"                  -why zeigt auch, was er auslässt (\"- PFAD<TAB>GRUND\")"},
    {L"console_usage_set_password",
     L"  -set-password   das neue Passwort des Auftrags von der Standardeingabe lesen"},
    {L"console_usage_schedule",
     L"  -schedule WANN  ein systemd-Timer des Benutzers für den Auftrag (daily, weekly,\n"
     L"                  hourly oder ein Kalenderausdruck); off entfernt ihn"},
    {L"console_usage_list",
     L"  -list           die Wiederherstellungspunkte des Auftrags, neueste zuerst\n"
     L"                  (-json: als JSON)"},
    {L"console_usage_restore",
     L"  -restore -to ORDNER  einen Punkt in ORDNER (neu oder leer) zurückholen:\n"
     L"                  -at NAME, -at JJJJ-MM-TTTHH:MM oder -at latest; -only MUSTER\n"
     L"                  (mehrfach); -overwrite; -dry-run zeigt, was es schreiben würde;\n"
     L"                  -summary DATEI. Statt des Auftrags geht auch ein Archiv\n"
     L"                  (-password-stdin liest sein Passwort).\n                  -from ORT: von "
     L"einem Ablageort des Auftrags"},
    {L"console_list_none", L"Keine Wiederherstellungspunkte in [1]."},
    {L"console_list_complete", L"vollständig"},
    {L"console_list_incomplete", L"UNVOLLSTÄNDIG: es fehlen Archive, die er braucht:"},
    {L"console_list_no_manifest", L"ohne Manifest, nicht als Punkt wiederherstellbar ([1])"},
    {L"console_restore_no_to", L"Den Ordner für die Wiederherstellung mit -to ORDNER angeben."},
    {L"console_restore_no_point", L"Kein Wiederherstellungspunkt \"[1]\"; -list nennt sie."},
    {L"console_restore_only_unmatched",
     L"-only \"[1]\" passt auf nichts in [2]; -restore -dry-run ohne -only zeigt, was er enthält."},
    {L"console_restore_would", L"Würde [1] Dateien ([2]) wiederherstellen."},
    {L"console_restore_done",
     L"[1] Dateien ([2]) nach [3] wiederhergestellt, jede gegen ihre SHA-256 geprüft."},
    {L"console_restore_done_one",
     L"1 Datei ([2]) nach [3] wiederhergestellt, gegen ihre SHA-256 geprüft."},
    {L"console_restore_failed",
     L"[1] Dateien wiederhergestellt; [2] ließen sich nicht wiederherstellen. [3] nennt jede."},
    {L"console_restore_cancelled",
     L"Wiederherstellung abgebrochen: [1] Dateien in [2], keine halbe Datei."},
    {L"console_archive_password", L"Passwort des Archivs: "},
    {L"console_usage_compare",
     L"  -compare        eine Probe-Wiederherstellung: einen Punkt zurücklesen (-at wie\n"
     L"                  bei -restore) und mit Manifest und Dateien vergleichen; schreibt nichts"},
    {L"console_compare_missing",
     L"Vergleich verweigert: es fehlen Archive, die der Punkt braucht: [1]."},
    {L"console_compare_done",
     L"[1]: [2] Dateien zurückgelesen; [3] im Archiv beschädigt, [4] seitdem geändert, [5] nicht "
     L"mehr vorhanden."},
    {L"ui_restore_title", L"Wiederherstellen"},
    {L"ui_restore_points", L"Wiederherstellungspunkte"},
    {L"ui_restore_tree", L"Was wiederhergestellt wird"},
    {L"ui_restore_name", L"Name"},
    {L"ui_restore_size", L"Größe"},
    {L"ui_restore_ticked", L"[1] Dateien ([2]) ausgewählt"},
    {L"ui_restore_ticked_one", L"1 Datei ([2]) ausgewählt"},
    {L"ui_restore_target", L"Wiederherstellen nach"},
    {L"ui_restore_browse", L"Durchsuchen…"},
    {L"ui_restore_overwrite", L"Vorhandene Dateien überschreiben"},
    {L"ui_restore_start", L"Starten"},
    {L"ui_restore_default_folder", L"[1] wiederhergestellt [2]"},
    {L"ui_menu_restore", L"Zurückholen…"},
    {L"ui_tip_restore", L"Dateien aus einer Sicherung dieses Auftrags zurückholen"},
    {L"ui_restore_save_first",
     L"Bitte zuerst den Auftrag speichern: eine Wiederherstellung liest die Sicherungen des "
     L"gespeicherten Auftrags."},
    {L"console_list_check_passed", L"Prüfung bestanden"},
    {L"console_list_check_failed", L"PRÜFUNG FEHLGESCHLAGEN"},
    {L"console_list_not_checked", L"nicht geprüft"},
    {L"console_usage_end",
     L"  -help           diesen Text zeigen\n"
     L"\n"
     L"Rückgabewert eines Laufs: 0 fertig, 1 fertig, aber Fehler protokolliert,\n"
     L"2 abgebrochen (Abbruch, zu wenig Platz, Ziel nicht angelegt, Fehler beim\n"
     L"Schreiben, ein anderer Lauf des Auftrags, das neue Archiv hat die Prüfung\n"
     L"nicht bestanden), 3 Auftrag nicht lesbar oder nicht nutzbar, oder Aufruf\n"
     L"nicht verwendbar. Einer Wiederherstellung: 0 vollständig und geprüft, 1 nicht\n"
     L"alles wiederhergestellt, 2 verweigert oder abgebrochen, 3 Eingabe nicht\n"
     L"verwendbar. Die anderen Befehle: 0 fertig, 3 Eingabe nicht verwendbar."},
    {L"ui_menu_new", L"Neu"},
    {L"ui_menu_load", L"Laden"},
    {L"ui_menu_save", L"Speichern"},
    {L"ui_menu_saveas", L"Speichern als"},
    {L"ui_menu_start", L"Starten"},
    {L"ui_prg_about", L"Info über [1]..."},
    {L"ui_nav_folder", L"Ordner"},
    {L"ui_nav_prefs", L"Einstellungen"},
    {L"ui_nav_filter", L"Filter"},
    {L"ui_nav_security", L"Sicherheit"},
    {L"ui_nav_program", L"Programm"},
    {L"ui_program_7zip_path", L"7-Zip-Bibliothek"},
    {L"ui_open_7zip_failed",
     L"Die 7-Zip-Bibliothek konnte nicht geladen werden. Installieren Sie 7-Zip (etwa "
     L"das Paket p7zip-full) und wählen Sie seine Bibliothek (7z.so) unter 'Programm' "
     L"aus."},
    {L"ui_program_recent_file", L"Beim Start den letzten Auftrag laden."},
    {L"ui_security_test_files",
     L"Nach dem Backup, alle Dateien im Archiv überprüfen (diese werden einzeln entpackt und per "
     L"Checksumme geprüft)."},
    {L"ui_security_more_storage_locations", L"Weitere Ablageorte"},
    {L"ui_folderlist_label", L"Zu sichernde Verzeichnisse"},
    {L"ui_foldercolumn_path", L"Pfad"},
    {L"ui_foldercolumn_include", L"Include"},
    {L"ui_foldercolumn_exclude", L"Exclude"},
    {L"ui_foldercmd_add", L"Hinzufügen"},
    {L"ui_foldercmd_edit", L"Bearbeiten"},
    {L"ui_foldercmd_remove", L"Entfernen"},
    {L"ui_logfile", L"Protokoll"},
    {L"ui_enable_logging_folder", L"Ausgabe der untersuchten Ordner."},
    {L"ui_enable_logging_files", L"Ausgabe der ausgeschlossenen oder aufgenommenen Dateien."},
    {L"ui_enable_logging_blacklist",
     L"Ausgabe der durch die Ausschlussliste ausgeschiedenen Pfade."},
    {L"ui_enable_logging_errors", L"Ausgabe von Fehlern, die nicht zum Abbruch führen."},
    {L"ui_remove_log_if_no_error_occurred",
     L"Protokoll am Ende entfernen, wenn kein Fehler auftrat."},
    {L"ui_filter_skip_file_without_extension", L"Dateien ohne Endung übergehen."},
    {L"ui_filter_include_system_files", L"Systemdateien einschließen."},
    {L"ui_filter_include_hidden_files", L"Versteckte Dateien einschließen."},
    {L"ui_filter_include_links", L"Symbolische Links als Links sichern."},
    {L"ui_filter_archivebit_get", L"Nur Dateien mit Archivbit sichern."},
    {L"ui_filter_archivebit_set", L"Archivbit nach der Sicherung zurücksetzen."},
    {L"ui_filter_archivebit_hint",
     L"<b>Nur mit Archivbit</b>: nur was sich seit der letzten Sicherung mit <b>Zurücksetzen</b> "
     L"geändert hat. <b>Zurücksetzen</b>: merkt sich, was gesichert wurde."},
    {L"ui_filter_file_info",
     L"Geben Sie hier bitte die Dateimuster an, die aufgenommen oder übergangen werden "
     L"sollen. Lassen Sie <b>Dateien aufnehmen</b> leer, wird <b>*.*</b> verwendet. "
     L"Das Zeichen <b>|</b> trennt Einträge ebenfalls."},
    {L"ui_filter_file_white", L"Dateien aufnehmen"},
    {L"ui_filter_file_black", L"Dateien übergehen"},
    {L"ui_filter_folder_info",
     L"Geben Sie hier bitte die Pfade an, die übergangen werden sollen; sie können "
     L"Muster <b>(/Pfad?/)</b> enthalten."},
    {L"ui_filter_folder_button", L"Pfad auswählen..."},
    {L"ui_archive", L"Archiv"},
    {L"ui_archive_type", L"Archivtyp"},
    {L"ui_archive_type_folder", L"Daten in einen anderen Ordner kopieren."},
    {L"ui_archive_type_zip", L"Daten in einem Zip-Archiv sichern."},
    {L"ui_archive_type_7zip", L"Daten in einem 7z-Archiv sichern."},
    {L"ui_archive_folder", L"Archivablageort"},
    {L"ui_archive_name", L"Archivname"},
    {L"ui_archive_name_info", L"(Ohne Endung)"},
    {L"ui_archive_password", L"Passwort"},
    {L"ui_archive_complevel", L"Packstufe"},
    {L"ui_archive_name_add_date",
     L"Datum und Uhrzeit in der Form YYYY-MM-DD_HH-MM an den Archivnamen anhängen."},
    {L"ui_archive_overwrite",
     L"Beim Kopieren bestehende Dateien / bestehende Archive überschreiben."},
    {L"ui_run_files_waiting", L"Anzahl: …"},
    {L"ui_run_close_when_done", L"Nach dem Ende schließen"},
    {L"ui_run_open_folder", L"Ordner öffnen"},
    {L"ui_run_open_log", L"Protokoll öffnen"},
    {L"ui_close", L"Schließen"},
    {L"ui_tip_new", L"Einen neuen Auftrag beginnen (Strg+N)"},
    {L"ui_tip_load", L"Eine Auftragsdatei öffnen (Strg+O)"},
    {L"ui_tip_save", L"Den Auftrag speichern (Strg+S)"},
    {L"ui_tip_saveas", L"Den Auftrag unter einem anderen Namen speichern (Strg+Umschalt+S)"},
    {L"ui_tip_start", L"Den Auftrag jetzt ausführen; der Editor kommt danach wieder"},
    {L"ui_help", L"Hilfe"},
    {L"ui_help_text",
     L"Kelvane sichert die Ordner der Seite Ordner als Ordnerkopie, ZIP-Archiv oder "
     L"7z-Archiv, wie es die Seite Einstellungen sagt. Die Seite Filter wählt die "
     L"Dateien; die Seite Was gesichert wird zeigt, was ein Lauf sichern würde und was "
     L"er auslässt, und warum.\n\nTasten: Strg+N neuer Auftrag, Strg+O öffnen, Strg+S "
     L"speichern, Strg+Umschalt+S speichern als, Strg+W oder Strg+Q schließen, Escape "
     L"schließen, Entf entfernt die gewählten Quellordner, F1 diese Hilfe. Alt und der "
     L"unterstrichene Buchstabe drückt eine Schaltfläche.\n\nAus einem Terminal oder "
     L"einem Zeitplaner: kelvane AUFTRAG -start (kelvane -help sagt mehr)."},
    {L"ui_archive_password_repeat", L"Passwort wiederholen"},
    {L"ui_password_mismatch",
     L"Die beiden Passworteingaben unterscheiden sich. Geben Sie das Passwort in "
     L"beiden Feldern erneut ein, oder lassen Sie es sich zeigen, um das Getippte zu "
     L"prüfen."},
    {L"ui_archive_password_folder_hint",
     L"Eine Ordnerkopie wird nicht verschlüsselt: ein Passwort braucht ein ZIP- oder "
     L"7z-Archiv."},
    {L"ui_archive_overwrite_hint",
     L"Immer an: ein Archiv gleichen Namens wird ersetzt, sobald das neue fertig ist, "
     L"und eine Ordnerkopie aktualisiert ihre Dateien."},
    {L"ui_log_options_hint",
     L"Immer an: Fehler werden immer protokolliert, und ein Protokoll wird nur "
     L"entfernt, wenn es leer ist."},
    {L"ui_filter_system_files_hint",
     L"Linux kennzeichnet keine Datei als Systemdatei: diese Option ändert hier nichts."},
    {L"ui_filter_folder_field", L"Auszulassende Ordner"},
    {L"ui_choose_archive_folder", L"Den Archivablageort wählen"},
    {L"ui_choose_7zip_library", L"Die 7-Zip-Bibliothek wählen"},
    {L"ui_nav_pages", L"Seiten"},
    {L"ui_run_progress", L"Fortschritt"},
    {L"ui_choose_include_folder", L"Einen zu sichernden Ordner wählen"},
    {L"ui_choose_exclude_folder", L"Einen auszulassenden Ordner wählen"},
    {L"ui_open_job", L"Einen Auftrag öffnen"},
    {L"ui_save_job_as", L"Den Auftrag speichern unter"},
    {L"ui_nav_preview", L"Was gesichert wird"},
    {L"ui_preview_waiting", L"Durchsuche die Ordner …"},
    {L"ui_preview_summary",
     L"[1] Dateien ([2]) würden gesichert; [3] Dateien und Ordner bleiben außen vor."},
    {L"ui_preview_incomplete",
     L"Geben Sie dem Archiv einen Namen, um zu sehen, was ein Lauf sichern würde."},
    {L"ui_preview_filter", L"Nur zeigen"},
    {L"ui_preview_why", L"Warum"},
    {L"ui_preview_list", L"Ausgelassen"},
    {L"ui_left_out_no_extension", L"Ohne Endung"},
    {L"ui_left_out_hidden", L"Versteckt"},
    {L"ui_left_out_black_list", L"Passt zu „Dateien übergehen“"},
    {L"ui_left_out_not_in_white_list", L"Nicht in „Dateien aufnehmen“"},
    {L"ui_left_out_excluded_folder", L"Ausgeschlossener Ordner"},
    {L"ui_left_out_link", L"Symbolischer Link"},
    {L"ui_left_out_unchanged", L"Seit dem letzten Lauf unverändert"},
    {L"ui_left_out_other", L"Anderes"},
    {L"no_files_archive_kept",
     L"Die zu sichernden Ordner enthalten keine Datei (ist ein Laufwerk nicht "
     L"eingehängt?). [1] enthält eine frühere Sicherung und bleibt erhalten; nichts "
     L"wurde geändert."},
    {L"console_password_not_text",
     L"Das Passwort ist kein UTF-8-Text (ein Terminal mit anderer Kodierung?) oder "
     L"enthält ein NUL-Byte; der Auftrag wurde nicht geändert."},
    {L"console_schedule_no_home",
     L"Weder HOME noch XDG_CONFIG_HOME ist gesetzt: es gibt keinen Ordner für die "
     L"Timer des Benutzers; nichts wurde geschrieben."},
    {L"console_schedule_path_not_text",
     L"Der Pfad des Auftrags [1] ist kein UTF-8-Text und kann nicht in einen Timer "
     L"geschrieben werden; nichts wurde geschrieben."},
    {L"console_schedule_other_job", L"[1] führt einen anderen Auftrag aus; er bleibt, wie er ist."},
    {L"console_summary_is_output",
     L"Die Zusammenfassung [1] würde eine eigene Ausgabe des Auftrags ersetzen "
     L"(Archiv, Protokoll, Katalog oder Sperre); nichts wurde getan."},
    {L"console_aborted_before",
     L"Abgebrochen, bevor etwas geschrieben wurde; nichts wurde geändert."},
    {L"console_aborted_folder",
     L"Abgebrochen: die Ordnerkopie behält die bis dahin kopierten Dateien."},
    {L"console_aborted_new_folder", L"Abgebrochen: von der neuen Ordnerkopie bleibt nichts."},
    {L"console_job_empty", L"[1]: die Datei ist leer"},
    {L"console_done_nothing",
     L"Fertig: nichts geändert, keine Datei zu sichern; [1] steht als leerer "
     L"Wiederherstellungspunkt."},
    {L"console_done_nothing_folder", L"Fertig: nichts geändert, keine Datei nach [1] zu sichern."},
    {L"ui_on", L"An"},
    {L"ui_off", L"Aus"},
    {L"ui_ok", L"Ok"},
    {L"retention_keeps_all", L"Behält jede Sicherung."},
    {L"retention_keeps",
     L"Behält [1]; eine ältere Sicherung wird gelöscht, sobald keine behaltene sie braucht."},
    {L"retention_and", L" und "},
    {L"retention_last", L"die letzten [1] Läufe"},
    {L"retention_last_one", L"den letzten Lauf"},
    {L"retention_days", L"eine pro Tag für [1] Tage"},
    {L"retention_days_one", L"eine pro Tag für 1 Tag"},
    {L"retention_weeks", L"eine pro Woche für [1] Wochen"},
    {L"retention_weeks_one", L"eine pro Woche für 1 Woche"},
    {L"retention_months", L"eine pro Monat für [1] Monate"},
    {L"retention_months_one", L"eine pro Monat für 1 Monat"},
    {L"retention_full_every", L"Alle [1] Tage eine Vollsicherung."},
    {L"retention_full_every_one", L"Jeden Tag eine Vollsicherung."},
    {L"console_usage_prune",
     L"  -prune          die älteren Sicherungen des Auftrags löschen, die seine Regel\n           "
     L"       nicht behält (-dry-run: den Plan zeigen, nichts löschen)"},
    {L"ui_keep_group", L"Ältere Sicherungen"},
    {L"ui_keep_last", L"Die letzten Läufe behalten:"},
    {L"ui_keep_days", L"Eine pro Tag, für Tage:"},
    {L"ui_keep_weeks", L"Eine pro Woche, für Wochen:"},
    {L"ui_keep_months", L"Eine pro Monat, für Monate:"},
    {L"ui_full_every", L"Vollsicherung alle (Tage):"},
    {L"ui_keep_hint",
     L"0 schaltet eine Regel ab; stehen alle vier auf 0, bleibt jede Sicherung. Gelöscht wird nur "
     L"nach einem Lauf ohne Fehler. Die regelmäßige Vollsicherung gilt für Aufträge, die nur "
     L"geänderte Dateien nehmen."},
    {L"console_deleted",
     L"Von der Regel gelöschte ältere Sicherungen: [1] (das Protokoll nennt jede)."},
    {L"console_location_copied", L"Nach [1] kopiert."},
    {L"console_location_failed", L"Nicht nach [1] kopiert: [2]"},
    {L"console_list_location", L"In [1]:"},
    {L"console_from_needs_job",
     L"-from liest einen Ablageort eines Auftrags: den Auftrag angeben, kein Archiv."},
    {L"ui_location_title", L"Ablageort"},
    {L"ui_location_prompt",
     L"Ein vorhandener Ordner (eine andere Platte, eine eingebundene Freigabe) oder ein "
     L"rclone-Ziel ENTFERNT:PFAD:"},
    {L"ui_location_browse", L"Ordner…"},
    {L"ui_location_test", L"Testen"},
    {L"ui_location_test_ok", L"[1]: kann Sicherungen aufnehmen."},
    {L"ui_location_test_failed", L"[1]: [2]"},
    {L"ui_location_folder_job",
     L"Nur ZIP- und 7z-Sicherungen werden an weitere Ablageorte kopiert."},
    {L"ui_location_hint",
     L"Jede gelungene Sicherung und ihr Manifest werden auch dorthin kopiert und geprüft; die "
     L"Aufbewahrungsregel gilt dort wie hier."},
    {L"ui_copying_to", L"Kopiere nach [1]"},
    {L"console_usage_notify_test",
     L"  -notify-test    eine Testnachricht auf jedem Weg senden, den der Auftrag\n                "
     L" nennt (Desktop, Mail, Webhook), und sagen, wie es ging"},
    {L"console_notice_sent", L"Nachricht per [1]: gesendet."},
    {L"console_notice_failed", L"Nachricht per [1]: nicht gesendet: [2]"},
    {L"console_notice_none",
     L"Der Auftrag nennt keinen Weg, Ihnen Bescheid zu geben (Desktop, Mail oder Webhook)."},
    {L"notice_completed", L"[1] abgeschlossen"},
    {L"notice_completed_errors", L"[1] mit [2] Fehlern abgeschlossen"},
    {L"notice_failed", L"[1] fehlgeschlagen"},
    {L"notice_test", L"[1]: eine Testnachricht"},
    {L"notice_test_body",
     L"Dies ist eine Testnachricht für den Auftrag [1]. Das Ende seiner Läufe kommt auf diesem "
     L"Weg."},
    {L"notice_job", L"Auftrag:"},
    {L"notice_log_errors", L"Was das Protokoll [1] sagt:"},
    {L"last_backup_never", L"Letztes Backup: nie"},
    {L"last_backup_completed", L"Letztes Backup: abgeschlossen [1]"},
    {L"last_backup_errors", L"Letztes Backup: mit Fehlern abgeschlossen [1]"},
    {L"last_backup_failed", L"Letztes Backup: fehlgeschlagen [1]"},
    {L"age_now", L"gerade eben"},
    {L"age_minute", L"vor 1 Minute"},
    {L"age_minutes", L"vor [1] Minuten"},
    {L"age_hour", L"vor 1 Stunde"},
    {L"age_hours", L"vor [1] Stunden"},
    {L"age_days", L"vor [1] Tagen"},
    {L"ui_notice_group", L"Bescheid, wie ein Lauf ging"},
    {L"ui_notify_desktop", L"Desktop-Nachricht:"},
    {L"ui_notify_never", L"Nie"},
    {L"ui_notify_trouble", L"Bei Fehlern oder Abbruch"},
    {L"ui_notify_always", L"Immer"},
    {L"ui_notify_mail", L"Mail an:"},
    {L"ui_notify_webhook", L"Webhook-URL:"},
    {L"ui_notify_on", L"Mail und Webhook:"},
    {L"ui_notice_test", L"Testen"},
    {L"ui_notice_hint",
     L"Eine Desktop-Nachricht kommt am Ende von Läufen ohne Fenster (Zeitplan, Terminal). "
     L"Mail-Adressen werden durch Kommas getrennt. Eine Webhook-URL nach Art von Healthchecks hört "
     L"auch, wenn ein Lauf beginnt."},
    {L"ui_mail_group", L"Mailserver (für alle Aufträge)"},
    {L"ui_mail_server", L"Server:"},
    {L"ui_mail_port", L"Port (0: der übliche):"},
    {L"ui_mail_security", L"Sicherheit:"},
    {L"ui_mail_starttls", L"STARTTLS"},
    {L"ui_mail_tls", L"TLS"},
    {L"ui_mail_none", L"Keine (nur ein Server auf diesem Rechner)"},
    {L"ui_mail_user", L"Benutzer:"},
    {L"ui_mail_password", L"Passwort:"},
    {L"ui_mail_from", L"Absender:"},
};
static_assert(std::size(kBuiltInTexts) == 288);

}  // namespace

LanguageTable::LanguageTable() {
  for (const BuiltInText& entry : kBuiltInTexts) texts_.emplace(entry.key, entry.text);
}

std::wstring LanguageTable::GetText(std::wstring_view key) const {
  const auto found = texts_.find(std::wstring(key));
  if (found != texts_.end()) return found->second;
  return FormatText(L"Text: %s nicht gefunden?", key);
}

uint32_t LanguageTable::LoadLanguage(const MessageSink& showMessage) {
  return LoadLanguage(ProgramDataFile(L"Config.json"), showMessage);
}

uint32_t LanguageTable::LoadLanguage(const std::wstring& configPath,
                                     const MessageSink& showMessage) {
  if (!platform::Fs().Exists(configPath)) {
    showMessage(GetText(L"load_config_failed"));
    return kConfigMissing;
  }
  // One line that names the file and the problem; the built-in texts stay.
  JsonDocument doc;
  if (const platform::Status loaded = doc.LoadFile(configPath); !loaded.ok()) {
    showMessage(GetText(L"config_incorrect") + L" (" +
                LoadProblemText(doc, loaded, configPath, *this) + L")");
    return kResultFunctionFailed;
  }
  auto incorrect = [&]() {
    showMessage(GetText(L"config_incorrect") + L" (" + configPath + L")");
    return kResultFunctionFailed;
  };
  const JsonNode* language = doc.Find(nullptr, "Language");
  if (!language || language->kind != JsonKind::kObject) return incorrect();
  int32_t current = 0;
  if (!doc.GetInt(language, "Current", &current) || current == 0) return incorrect();
  const JsonNode* chosen = doc.Find(language, FormatText("%ld", current));
  if (!chosen || chosen->kind != JsonKind::kArray) return incorrect();

  for (const auto& element : chosen->children) {
    if (element->kind != JsonKind::kObject || element->children.empty()) return incorrect();
    const JsonNode& first = *element->children.front();
    const std::wstring key = platform::FromNative(first.key);
    if (key.empty() || first.kind != JsonKind::kString) return incorrect();
    std::wstring text = JsonDocument::ValueText(&first);
    if (text.empty()) return incorrect();
    texts_[key] = std::move(text);
  }
  return 0;
}

}  // namespace kelvane
