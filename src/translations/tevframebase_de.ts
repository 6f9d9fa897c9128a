<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>CFrameMainWnd</name>
    <message>
        <source>Help Contents</source>
        <translation>Hilfethemen</translation>
    </message>
    <message>
        <source>Display Hotkeys</source>
        <translation>Tastenkürzel anzeigen</translation>
    </message>
    <message>
        <source>Toggle Result Panel</source>
        <translation>Ergebnisfenster ein/aus</translation>
    </message>
    <message>
        <source>&amp;Open File</source>
        <translation>Datei ö&amp;ffnen</translation>
    </message>
    <message>
        <source>Ctrl+O</source>
        <translation>Ctrl+O</translation>
    </message>
    <message>
        <source>Open an existing file</source>
        <translation>Eine vorhandene Datei öffnen</translation>
    </message>
    <message>
        <source>&amp;Save as file...</source>
        <translation>&amp;Speichern unter...</translation>
    </message>
    <message>
        <source>Ctrl+A</source>
        <translation>Ctrl+A</translation>
    </message>
    <message>
        <source>Save as file...</source>
        <translation>Speichern unter...</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Quit Application</source>
        <translation>Anwendung beenden</translation>
    </message>
    <message>
        <source>Connection Error</source>
        <translation>Verbindungsfehler</translation>
    </message>
    <message>
        <source>Connection to Mirel failed.</source>
        <translation>Die Verbindung zu Mirel ist fehlgeschlagen.</translation>
    </message>
    <message>
        <source>Mirel Error</source>
        <translation>Mirel-Fehler</translation>
    </message>
    <message>
        <source>Replay tried to open a Mirel file but did not succeed. Perhaps the file transmission is not yet finished. Please try again later. 

</source>
        <translation>Die Wiedergabe konnte eine Mirel-Datei nicht öffnen. Möglicherweise ist die Übertragung der Datei noch nicht abgeschlossen. Bitte versuchen Sie es später erneut. 

</translation>
    </message>
    <message>
        <source>File Error</source>
        <translation>Dateifehler</translation>
    </message>
    <message>
        <source>File: %1 not found</source>
        <translation>Datei: %1 nicht gefunden</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>File: %1 is opened by another application!</source>
        <translation>Datei: %1 ist in einer anderen Anwendung geöffnet!</translation>
    </message>
    <message>
        <source>
Do you want to open the file anyway?

</source>
        <translation>
Möchten Sie die Datei trotzdem öffnen?

</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Ja</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Nein</translation>
    </message>
    <message>
        <source>Open File</source>
        <translation>Datei öffnen</translation>
    </message>
    <message>
        <source>*.*</source>
        <translation>*.*</translation>
    </message>
    <message>
        <source>Save File</source>
        <translation>Datei speichern</translation>
    </message>
    <message>
        <source>*.rec</source>
        <translation>*.rec</translation>
    </message>
    <message>
        <source>Open recording files</source>
        <translation>Aufzeichnungen öffnen</translation>
    </message>
    <message>
        <source>Copy File Information</source>
        <translation>Hinweis zum Kopieren</translation>
    </message>
    <message>
        <source>The destination filename: [%1] is equal to the current filename.
Please specify a unique destination filename!</source>
        <translation>Der Zieldateiname [%1] stimmt mit dem aktuellen Dateinamen überein.
Bitte geben Sie einen anderen Zieldateinamen an!</translation>
    </message>
    <message>
        <source>These files were not copied:
%1</source>
        <translation>Diese Dateien wurden nicht kopiert:
%1</translation>
    </message>
    <message>
        <source>%1 files dropped; only the first is opened: %2</source>
        <translation>%1 Dateien abgelegt; nur die erste wird geöffnet: %2</translation>
    </message>
    <message>
        <source>The connection to Mirel broke off while asking for %1. Please try again later.</source>
        <translation>Die Verbindung zu Mirel brach ab, während nach %1 gefragt wurde. Bitte versuchen Sie es später noch einmal.</translation>
    </message>
    <message>
        <source>Mirel did not answer in time when asked for %1. Please try again later.</source>
        <translation>Mirel hat auf die Frage nach %1 nicht rechtzeitig geantwortet. Bitte versuchen Sie es später noch einmal.</translation>
    </message>
    <message>
        <source>Mirel answered with an error when asked for %1. Please try again later.</source>
        <translation>Mirel hat auf die Frage nach %1 mit einem Fehler geantwortet. Bitte versuchen Sie es später noch einmal.</translation>
    </message>
    <message>
        <source>Mirel could not be asked for %1 (error %2). Please try again later.</source>
        <translation>Mirel konnte nicht nach %1 gefragt werden (Fehler %2). Bitte versuchen Sie es später noch einmal.</translation>
    </message>
</context>
<context>
    <name>CInfoBar</name>
    <message>
        <source>Devicename: </source>
        <translation>Gerätename: </translation>
    </message>
    <message>
        <source>Devicetype: </source>
        <translation>Gerätetyp: </translation>
    </message>
    <message>
        <source> Starttime: </source>
        <translation> Startzeit: </translation>
    </message>
    <message>
        <source> Stoptime: </source>
        <translation> Endzeit: </translation>
    </message>
    <message>
        <source> Freq min: </source>
        <translation> Freq. min: </translation>
    </message>
    <message>
        <source> Freq max: </source>
        <translation> Freq. max: </translation>
    </message>
</context>
<context>
    <name>CReplayBar</name>
    <message>
        <source>Goto Begin</source>
        <translation>Zum Anfang</translation>
    </message>
    <message>
        <source>Step Rewind</source>
        <translation>Schritt zurück</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Abspielen</translation>
    </message>
    <message>
        <source>Fast Play</source>
        <translation>Schnell abspielen</translation>
    </message>
    <message>
        <source>Step Forward</source>
        <translation>Schritt vor</translation>
    </message>
    <message>
        <source>Goto End</source>
        <translation>Zum Ende</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Wrap to Begin</source>
        <translation>Am Ende zum Anfang</translation>
    </message>
    <message>
        <source>Auto Play</source>
        <translation>Automatisch abspielen</translation>
    </message>
    <message>
        <source>Peak Hold</source>
        <translation>Spitzenwert halten</translation>
    </message>
    <message>
        <source>Level Detect</source>
        <translation>Pegelerkennung</translation>
    </message>
</context>
<context>
    <name>GuiCentral</name>
    <message>
        <source>Application Wide</source>
        <translation>Anwendungsweit</translation>
    </message>
</context>
</TS>
