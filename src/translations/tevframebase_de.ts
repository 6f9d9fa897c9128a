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
        <translation>Datei &amp;öffnen</translation>
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
</context>
<context>
    <name>GuiCentral</name>
    <message>
        <source>Application Wide</source>
        <translation>Anwendungsweit</translation>
    </message>
</context>
</TS>
