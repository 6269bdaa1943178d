<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en_US">
<context>
    <name>StringTable</name>
    <message>
        <source>About Tarvex(&amp;A)...</source>
        <translation>About Tarvex(&amp;A)...</translation>
    </message>
    <message>
        <source>This data is not compatible with KR640.</source>
        <translation>Die Daten sind nicht kompatibel.</translation>
    </message>
    <message>
        <source>Read error</source>
        <translation>Lesefehler.</translation>
    </message>
    <message>
        <source>Write error</source>
        <translation>Schreibfehler.</translation>
    </message>
    <message>
        <source>The writing suceeded.</source>
        <translation>Schreiben erfolgreich.</translation>
    </message>
    <message>
        <source>The data will be initialized to the default setting. Are you sure?</source>
        <translation>Die Kreiseldaten werden auf Standardwerte zurückgesetzt. Sicher?</translation>
    </message>
    <message>
        <source>If this parameter is modified, other parameters have to be initialized. Are you sure?</source>
        <translation>Eine Änderung des Flugmodus ändert auch andere Werte. Sicher?</translation>
    </message>
    <message>
        <source>File read error.</source>
        <translation>Lesefehler.</translation>
    </message>
    <message>
        <source>The file </source>
        <translation>Bestehende </translation>
    </message>
    <message>
        <source> already exist. May I overwrite the file?</source>
        <translation> Datei überschreiben?</translation>
    </message>
    <message>
        <source>Save file</source>
        <translation>Save file</translation>
    </message>
    <message>
        <source>File write error.</source>
        <translation>Schreibfehler.</translation>
    </message>
    <message>
        <source>There is not enough space in the drive.</source>
        <translation>Speicherplatzmangel, kann Daten nicht speichern.</translation>
    </message>
    <message>
        <source>Unknown error</source>
        <translation>Unbekannter Fehler.</translation>
    </message>
    <message>
        <source>The connection failed.</source>
        <translation>Kann keine Daten vom Kreisel lesen.</translation>
    </message>
    <message>
        <source>A KR640 is not connected.</source>
        <translation>Kreisel nicht angeschlossen.</translation>
    </message>
    <message>
        <source>The connection succeeded.</source>
        <translation>Daten eingelesen.</translation>
    </message>
    <message>
        <source>The device driver for TBX-3 is not installed.</source>
        <translation>Der TBX-3 Treiber ist nicht installiert.</translation>
    </message>
    <message>
        <source>A TBX-3 is not connected.</source>
        <translation>TBX-3 ist nicht verbunden.</translation>
    </message>
    <message>
        <source>The TBX-3 is not working.</source>
        <translation>TBX-3 arbeitet nicht.</translation>
    </message>
    <message>
        <source>Please set the first limit point.</source>
        <translation>Ersten Limitpunkt setzen.</translation>
    </message>
    <message>
        <source>Please set the second limit point.</source>
        <translation>Zweiten Limitpunkt setzen.</translation>
    </message>
    <message>
        <source>Push the write button.</source>
        <translation>Taste &apos;Schreiben&apos; betätigen.</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>Rechts</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>Links</translation>
    </message>
    <message>
        <source>Right/In</source>
        <translation>Rechts/Eingang</translation>
    </message>
    <message>
        <source>Right/Out</source>
        <translation>Rechts/Ausgang</translation>
    </message>
    <message>
        <source>Left/In</source>
        <translation>Links/Eingang</translation>
    </message>
    <message>
        <source>Left/Out</source>
        <translation>Links/Ausgang</translation>
    </message>
    <message>
        <source>Out of valid range.</source>
        <translation>Limitpunkt muss größer als 50% sein.</translation>
    </message>
    <message>
        <source>You cannot set limit points for same direction.</source>
        <translation>Limitpunkt für andere Seite festlegen!</translation>
    </message>
    <message>
        <source>Limit setting was aborted.</source>
        <translation>Limitpunkt setzen wurde abgebrochen.</translation>
    </message>
    <message>
        <source>The data have not been written to the gyro yet. Do you want to write data to the gyro?</source>
        <translation>Die Daten wurden noch nicht in den Kreisel geschrieben! Möchten Sie die Daten jetzt im Kreisel speichern?</translation>
    </message>
    <message>
        <source>The values will not be stored.</source>
        <translation>Die Daten werden nicht gespeichert!</translation>
    </message>
    <message>
        <source>The gyro&apos;s current settings could not be backed up to %1 (%2). Write anyway?</source>
        <translation>Die aktuellen Einstellungen des Kreisels konnten nicht in %1 gesichert werden (%2). Trotzdem schreiben?</translation>
    </message>
    <message>
        <source>The gyro&apos;s current settings could not be backed up to %1 (%2). Nothing was written; --no-backup writes without a backup.</source>
        <translation>Die aktuellen Einstellungen des Kreisels konnten nicht in %1 gesichert werden (%2). Es wurde nichts geschrieben; --no-backup schreibt ohne Sicherung.</translation>
    </message>
    <message>
        <source>%1 is in the backups folder (%2), which only the backup before a write fills. Please choose another file.</source>
        <translation>%1 liegt im Sicherungsordner (%2), den nur die Sicherung vor dem Schreiben füllt. Bitte eine andere Datei wählen.</translation>
    </message>
</context>
</TS>
