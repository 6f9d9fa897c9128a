<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>RecViewWindow</name>
    <message>
        <source>Recording Viewer</source>
        <translation>Aufzeichnungsbetrachter</translation>
    </message>
    <message>
        <source>&amp;Play / Pause</source>
        <translation>&amp;Abspielen / Pause</translation>
    </message>
    <message>
        <source>&amp;Fast Play</source>
        <translation>S&amp;chnell abspielen</translation>
    </message>
    <message>
        <source>&amp;Stop</source>
        <translation>&amp;Stopp</translation>
    </message>
    <message>
        <source>Step &amp;Back</source>
        <translation>Schritt &amp;zurück</translation>
    </message>
    <message>
        <source>Step F&amp;orward</source>
        <translation>Schritt &amp;vor</translation>
    </message>
    <message>
        <source>Go to &amp;Begin</source>
        <translation>Zum A&amp;nfang</translation>
    </message>
    <message>
        <source>Go to &amp;End</source>
        <translation>Zum &amp;Ende</translation>
    </message>
    <message>
        <source>&amp;About Recording Viewer</source>
        <translation>Ü&amp;ber den Aufzeichnungsbetrachter</translation>
    </message>
    <message>
        <source>Replay</source>
        <translation>Wiedergabe</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>Frequencies in MHz</source>
        <translation>Frequenzen in MHz</translation>
    </message>
    <message>
        <source>Frequencies in kHz</source>
        <translation>Frequenzen in kHz</translation>
    </message>
    <message>
        <source>Frequencies in Hz</source>
        <translation>Frequenzen in Hz</translation>
    </message>
    <message>
        <source>&amp;Replay</source>
        <translation>&amp;Wiedergabe</translation>
    </message>
    <message>
        <source>Information panel hidden; Space shows it again</source>
        <translation>Informationsleiste ausgeblendet; die Leertaste zeigt sie wieder</translation>
    </message>
    <message>
        <source>no archive is configured (set TEV_MIREL_SERVER or &quot;Server&quot; in the &quot;Mirel&quot; group of the application configuration)</source>
        <translation>kein Archiv eingerichtet (TEV_MIREL_SERVER oder „Server“ in der Gruppe „Mirel“ der Anwendungskonfiguration setzen)</translation>
    </message>
    <message>
        <source>the recent-files menu has no room for the entry</source>
        <translation>die Liste der zuletzt geöffneten Dateien hat keinen Platz für den Eintrag</translation>
    </message>
    <message>
        <source>Recording cut short: %1 of %2 sweeps</source>
        <translation>Aufzeichnung unvollständig: %1 von %2 Sweeps</translation>
    </message>
    <message>
        <source>Recording Error</source>
        <translation>Aufzeichnungsfehler</translation>
    </message>
    <message>
        <source>The recording %1 cannot be shown:
%2</source>
        <translation>Die Aufzeichnung %1 kann nicht angezeigt werden:
%2</translation>
    </message>
    <message>
        <source>Sweep %1 / %2   %3</source>
        <translation>Sweep %1 / %2   %3</translation>
    </message>
    <message>
        <source>Maximum %1 dBm at %2 %3, above the level line</source>
        <translation>Maximum %1 dBm bei %2 %3, über der Pegellinie</translation>
    </message>
    <message>
        <source>Maximum %1 dBm at %2 %3</source>
        <translation>Maximum %1 dBm bei %2 %3</translation>
    </message>
    <message>
        <source>Idle</source>
        <translation>Bereit</translation>
    </message>
    <message>
        <source>Playing</source>
        <translation>Wiedergabe läuft</translation>
    </message>
    <message>
        <source>Fast play</source>
        <translation>Schnelle Wiedergabe</translation>
    </message>
    <message>
        <source>Stopped</source>
        <translation>Angehalten</translation>
    </message>
    <message>
        <source>No recording loaded</source>
        <translation>Keine Aufzeichnung geladen</translation>
    </message>
    <message>
        <source>Open one with %1 &gt; %2 (%3)</source>
        <translation>Öffnen mit %1 &gt; %2 (%3)</translation>
    </message>
    <message>
        <source>About Recording Viewer</source>
        <translation>Über den Aufzeichnungsbetrachter</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Recording Viewer %1&lt;/h3&gt;&lt;p&gt;Replays spectrum recordings (.rec files) sweep by sweep, with peak hold and level detection.&lt;/p&gt;&lt;p&gt;The demo front end of the TevFrameBase window library, built with Qt %2.&lt;/p&gt;</source>
        <translation>&lt;h3&gt;Aufzeichnungsbetrachter %1&lt;/h3&gt;&lt;p&gt;Spielt Spektrumaufzeichnungen (.rec-Dateien) Sweep für Sweep ab, mit Spitzenwertanzeige und Pegelerkennung.&lt;/p&gt;&lt;p&gt;Die Beispielanwendung der Fensterbibliothek TevFrameBase, erstellt mit Qt %2.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>The replay stopped: %1</source>
        <translation>Die Wiedergabe wurde angehalten: %1</translation>
    </message>
    <message>
        <source>The recording shrank while shown: the replay ends at its last complete sweep, %1</source>
        <translation>Die Aufzeichnung ist während der Anzeige geschrumpft: die Wiedergabe endet bei ihrem letzten vollständigen Sweep, %1</translation>
    </message>
    <message>
        <source>The recording shrank while shown: no complete sweep is left</source>
        <translation>Die Aufzeichnung ist während der Anzeige geschrumpft: kein vollständiger Sweep ist übrig</translation>
    </message>
</context>
<context>
    <name>SweepPlot</name>
    <message>
        <source>Sweep</source>
        <translation>Sweep</translation>
    </message>
    <message>
        <source>Peak hold</source>
        <translation>Spitzenwerte</translation>
    </message>
    <message>
        <source>Level line</source>
        <translation>Pegellinie</translation>
    </message>
    <message>
        <source>Frequency [%1]</source>
        <translation>Frequenz [%1]</translation>
    </message>
    <message>
        <source>Level [dBm]</source>
        <translation>Pegel [dBm]</translation>
    </message>
</context>
</TS>
