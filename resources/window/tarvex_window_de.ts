<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en_US">
<context>
    <name>CTarvexDlg</name>
    <message>
        <source>&amp;ID</source>
        <translation>&amp;Gerätenummer</translation>
    </message>
    <message>
        <source>Not using ID</source>
        <translation>Unbenutzte Gerätenummer</translation>
    </message>
    <message>
        <source>Channel</source>
        <translation>BUS-Kanal</translation>
    </message>
    <message>
        <source>R&amp;udder</source>
        <translation>Hec&amp;kr.</translation>
    </message>
    <message>
        <source>&amp;Gain</source>
        <translation>E&amp;mpf.</translation>
    </message>
    <message>
        <source>F&amp;light Mode</source>
        <translation>Fl&amp;ug Modus</translation>
    </message>
    <message>
        <source>F3C</source>
        <translation>F3C</translation>
    </message>
    <message>
        <source>3D</source>
        <translation>3D</translation>
    </message>
    <message>
        <source>Ser&amp;vo Mode</source>
        <translation>Ser&amp;vo Modus</translation>
    </message>
    <message>
        <source>Digital (1520)</source>
        <translation>Digital (1520)</translation>
    </message>
    <message>
        <source>Digital (760)</source>
        <translation>Digital (760)</translation>
    </message>
    <message>
        <source>Analog</source>
        <translation>Analog</translation>
    </message>
    <message>
        <source>G&amp;yro Reverse</source>
        <translation>Kreisel Um&amp;polung</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>Reverse</source>
        <translation>Reverse</translation>
    </message>
    <message>
        <source>&amp;Mounting Surface</source>
        <translation>Kreisel M&amp;ontage</translation>
    </message>
    <message>
        <source>Upper side</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>Bottom side</source>
        <translation>Reverse</translation>
    </message>
    <message>
        <source>Response Setting</source>
        <translation>Reaktions Einstellung Heckrotor</translation>
    </message>
    <message>
        <source>M&amp;ode</source>
        <translation>Mo&amp;dus</translation>
    </message>
    <message>
        <source>Fast</source>
        <translation>Schnell</translation>
    </message>
    <message>
        <source>Standard</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>Slow</source>
        <translation>Langsam</translation>
    </message>
    <message>
        <source>Co&amp;ntrol Response</source>
        <translation>Einstellung &amp;Normal Mode</translation>
    </message>
    <message>
        <source>Holde&amp;x Response</source>
        <translation>Einstellung Holde&amp;x Mode</translation>
    </message>
    <message>
        <source>&amp;Pirouette&#xa;Consistency</source>
        <translation>P&amp;irouetten&#xa;Konsistenz</translation>
    </message>
    <message>
        <source>EXP</source>
        <translation>EXP</translation>
    </message>
    <message>
        <source>Norm&amp;al</source>
        <translation>Norm&amp;al</translation>
    </message>
    <message>
        <source>Holdex</source>
        <translation>Holdex</translation>
    </message>
    <message>
        <source>Holdex setting</source>
        <translation>Holdex Einstellungen</translation>
    </message>
    <message>
        <source>Yaw Ra&amp;te</source>
        <translation>Gier &amp;Rate</translation>
    </message>
    <message>
        <source>Gain</source>
        <translation>Empfindlichkeit</translation>
    </message>
    <message>
        <source>Range</source>
        <translation>Bereich</translation>
    </message>
    <message>
        <source>&amp;D gain</source>
        <translation>D-Verst.</translation>
    </message>
    <message>
        <source>D damp.</source>
        <translation>D-Dämpf.</translation>
    </message>
    <message>
        <source>&amp;Base Gain</source>
        <translation>&amp;Basis Verst.</translation>
    </message>
    <message>
        <source>Limit</source>
        <translation>Limit Einstellung</translation>
    </message>
    <message>
        <source>&amp;Enter</source>
        <translation>&amp;Enter</translation>
    </message>
    <message>
        <source>&amp;Set</source>
        <translation>Se&amp;t</translation>
    </message>
    <message>
        <source>Position</source>
        <translation>Position</translation>
    </message>
    <message>
        <source>&amp;Read</source>
        <translation>&amp;Lesen</translation>
    </message>
    <message>
        <source>&amp;Write</source>
        <translation>&amp;Schreiben</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <comment>menu</comment>
        <translation>Datei(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Initialize...</source>
        <comment>menu</comment>
        <translation>Standard(&amp;I)</translation>
    </message>
    <message>
        <source>&amp;Open...</source>
        <comment>menu</comment>
        <translation>Öffnen(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Restore Previous Settings…</source>
        <comment>menu</comment>
        <translation>Vorherige Einstellungen wiederherstellen(&amp;R)</translation>
    </message>
    <message>
        <source>S&amp;hare Setup</source>
        <comment>menu</comment>
        <translation>Einstellungen teilen(&amp;H)</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <comment>menu</comment>
        <translation>Speichern(&amp;S)</translation>
    </message>
    <message>
        <source>Save &amp;As...</source>
        <comment>menu</comment>
        <translation>Speichern als(&amp;A)</translation>
    </message>
    <message>
        <source>Recent File</source>
        <comment>menu</comment>
        <translation>Zuletzt verwendete Datei</translation>
    </message>
    <message>
        <source>E&amp;xit&#x9;Alt+F4</source>
        <comment>menu</comment>
        <translation>Schließen(&amp;X)&#x9;Alt+F4</translation>
    </message>
    <message>
        <source>&amp;Connect</source>
        <comment>menu</comment>
        <translation>Lesen(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Read</source>
        <comment>menu</comment>
        <translation>Lesen(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Write</source>
        <comment>menu</comment>
        <translation>Schreiben(&amp;W)</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <comment>menu</comment>
        <translation>Hilfe(&amp;H)</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <comment>menu</comment>
        <translation>Info(&amp;A)</translation>
    </message>
    <message>
        <source>%1, row %2</source>
        <translation>%1, Zeile %2</translation>
    </message>
    <message>
        <source>Direction, %1, row %2</source>
        <translation>Richtung, %1, Zeile %2</translation>
    </message>
    <message>
        <source>Status, %1</source>
        <translation>Status, %1</translation>
    </message>
    <message>
        <source>Please enter a positive integer.</source>
        <translation>Geben Sie eine positive ganze Zahl ein.</translation>
    </message>
    <message>
        <source>Please enter an integer between %1 and %2.</source>
        <translation>Geben Sie eine ganze Zahl zwischen %1 und %2 ein.</translation>
    </message>
    <message>
        <source>%1 to %2</source>
        <translation>%1 bis %2</translation>
    </message>
    <message>
        <source>%1 to %2 percent</source>
        <translation>%1 bis %2 Prozent</translation>
    </message>
    <message>
        <source>Export Backups…</source>
        <comment>menu</comment>
        <translation>Sicherungen exportieren…</translation>
    </message>
    <message>
        <source>Import Backups…</source>
        <comment>menu</comment>
        <translation>Sicherungen importieren…</translation>
    </message>
</context>
</TS>
